// The host's serve() run inside the test program over a temporary web root,
// with probe components that show what a page sees of the request. Requests
// go over loopback exactly as from a browser.
#pragma once

#include <filesystem>
#include <fstream>
#include <future>

#include "data/change_stamp.h"
#include "data/schema.h"
#include "frame/component.h"
#include "host/server.h"
#include "support/live_server.h"
#include "support/site_rows.h"
#include "support/testing.h"

namespace tovi::testing {

struct Probe : frame::Component {
  explicit Probe(std::function<void()> body) : body(std::move(body)) {}
  void main() { body(); }
  std::function<void()> body;
};

// A page of the test root whose one component runs `body`.
struct ProbePage {
  std::string path;  // relative to the root, as on disk
  std::function<void()> body;
  std::string before = "", after = "";  // literal text around the component
  frame::Output output = frame::Output::PerRequest;
};

// A page file that hosts component `id`, with literal text around it.
inline std::string hostPage(const std::string& id, const std::string& before = "", const std::string& after = "") {
  return "<%@ Language=VBScript %>\n" + before + "<%\nDim obj\nSet obj = Server.CreateObject(\"" + id +
         "\")\nobj.main\nSet obj = Nothing\n%>" + after;
}

class InProcessServer {
 public:
  // Each page's component is "probe.N", N its place in `pages`; `files` are
  // more files of the root (relative path -> text).
  InProcessServer(const std::vector<ProbePage>& pages, const Fields& files = {}, host::ServeOptions options = {}) {
    char tmpl[] = "/tmp/tovi-inproc-XXXXXX";
    if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
    root_ = tmpl;
    std::filesystem::create_directories(root_ + "/database");
    data::ensureDatabase(root_ + "/database/tamlo.mdb");
    auto write = [&](const std::string& path, const std::string& text) {
      std::filesystem::create_directories(std::filesystem::path(root_ + "/" + path).parent_path());
      std::ofstream(root_ + "/" + path, std::ios::binary) << text;
    };
    for (const auto& [path, text] : files) write(path, text);
    for (std::size_t i = 0; i < pages.size(); ++i) {
      const std::string id = "probe." + std::to_string(i);
      write(pages[i].path, hostPage(id, pages[i].before, pages[i].after));
      registry_.add(
          id, [body = pages[i].body] { return std::make_unique<Probe>(body); }, {frame::op("main", &Probe::main)},
          pages[i].output);
    }
    options_ = options;
    options_.root = root_;
    options_.hiddenFolders = {"database"};
    options_.changeStamp = [db = root_ + "/database/tamlo.mdb"] { return data::changeStamp(db); };
    options_.port = 0;
    options_.accessLog = "-";
    options_.errorLog = root_ + ".errors";
    std::promise<unsigned short> listening;
    std::promise<std::function<void()>> started;
    options_.onListening = [&](unsigned short port) { listening.set_value(port); };
    options_.onStarted = [&](std::function<void()> stop) { started.set_value(std::move(stop)); };
    done_ = std::async(std::launch::async, [this] { return host::serve(options_, registry_); });
    port_ = listening.get_future().get();
    stop_ = started.get_future().get();
  }
  ~InProcessServer() {
    stop();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
    std::filesystem::remove(root_ + ".errors", ec);
  }
  // Stops as SIGTERM does; returns serve()'s result.
  int stop() {
    if (!done_.valid()) return -1;
    stop_();
    return done_.get();
  }
  unsigned short port() const { return port_; }
  const std::string& root() const { return root_; }
  std::string errorLog() const { return readFile(root_ + ".errors"); }

 private:
  frame::Registry registry_;
  host::ServeOptions options_;
  std::string root_;
  unsigned short port_ = 0;
  std::function<void()> stop_;
  std::future<int> done_;
};

}  // namespace tovi::testing
