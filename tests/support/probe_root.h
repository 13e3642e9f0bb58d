// A temporary web root for the host's tests and the fuzz harnesses: a fresh
// database, the test's files, and page files whose one component runs a
// function of the test's; and the host's serve() run over one inside the test
// program. Header only and without GoogleTest: the fuzz harnesses build it.
//
//   ProbeRoot site({{"echo.asp", [] { Response().Write(Request()("a")); }}}, {{"Style.css", "body{}"}});
//   InProcessServer server({{"echo.asp", [] { Response().Write(Request()("a")); }}});
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <stdexcept>
#include <string>
#include <vector>

#include "data/change_stamp.h"
#include "data/schema.h"
#include "frame/component.h"
#include "host/server.h"

namespace tovi::testing {

using Fields = std::vector<std::pair<std::string, std::string>>;  // names and texts, in order

// A page of the root whose one component ("probe.N", N its place among the pages) runs `body`.
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

class ProbeRoot {
 public:
  // `files`: more files, relative path -> bytes (a path may lead out of the
  // root into the temporary folder around it). `options`: `base` serving this
  // root with database/ hidden, no access log and the errors to ../errors.log.
  ProbeRoot(const std::vector<ProbePage>& pages, const Fields& files, host::ServeOptions base = {})
      : options(std::move(base)) {
    char tmpl[] = "/tmp/tovi-probe-XXXXXX";
    if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
    dir_ = tmpl;
    root = dir_ + "/site";
    std::filesystem::create_directories(root + "/database");
    data::ensureDatabase(root + "/database/tamlo.mdb");
    for (const auto& [path, text] : files) write(path, text);
    for (std::size_t i = 0; i < pages.size(); ++i) {
      const std::string id = "probe." + std::to_string(i);
      write(pages[i].path, hostPage(id, pages[i].before, pages[i].after));
      registry.add(id, [] { return std::make_unique<frame::Component>(); },
                   {{"main", [body = pages[i].body](frame::Component&) { body(); }}}, pages[i].output);
    }
    options.root = root;
    options.hiddenFolders = {"database"};
    options.changeStamp = [db = root + "/database/tamlo.mdb"] { return data::changeStamp(db); };
    options.accessLog = "-";
    options.errorLog = dir_ + "/errors.log";
  }
  ~ProbeRoot() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  ProbeRoot(const ProbeRoot&) = delete;

  std::string root;
  frame::Registry registry;
  host::ServeOptions options;

 private:
  void write(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(root + "/" + path).parent_path());
    std::ofstream(root + "/" + path, std::ios::binary) << bytes;
  }
  std::string dir_;
};

// The root served by host::serve() inside the test program, on a free loopback port.
class InProcessServer : public ProbeRoot {
 public:
  InProcessServer(const std::vector<ProbePage>& pages, const Fields& files = {}, host::ServeOptions base = {})
      : ProbeRoot(pages, files, std::move(base)) {
    std::promise<unsigned short> listening;
    std::promise<std::function<void()>> started;
    options.port = 0;
    options.onListening = [&](unsigned short port) { listening.set_value(port); };
    options.onStarted = [&](std::function<void()> stop) { started.set_value(std::move(stop)); };
    done_ = std::async(std::launch::async, [this] { return host::serve(options, registry); });
    port_ = listening.get_future().get();
    stop_ = started.get_future().get();
  }
  ~InProcessServer() { stop(); }
  // Stops as SIGTERM does; returns serve()'s result.
  int stop() { return done_.valid() ? (stop_(), done_.get()) : -1; }
  unsigned short port() const { return port_; }

 private:
  unsigned short port_ = 0;
  std::function<void()> stop_;
  std::future<int> done_;
};

}  // namespace tovi::testing
