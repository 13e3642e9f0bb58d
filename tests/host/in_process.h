// The host's serve() run inside the test program over a temporary web root,
// with probe components that show what a page sees of the request. Requests
// go over loopback exactly as from a browser.
#pragma once

#include <filesystem>
#include <fstream>
#include <future>

#include "data/schema.h"
#include "frame/component.h"
#include "host/server.h"
#include "support/live_server.h"
#include "support/testing.h"

namespace tovi::testing {

class InProcessServer {
 public:
  // `setup` registers the probe components; `files` are written into the root
  // (relative path -> text) before the server starts.
  InProcessServer(const std::function<void(frame::Registry&)>& setup,
                  const std::vector<std::pair<std::string, std::string>>& files, host::ServeOptions options = {}) {
    char tmpl[] = "/tmp/tovi-inproc-XXXXXX";
    if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
    root_ = tmpl;
    std::filesystem::create_directories(root_ + "/database");
    data::ensureDatabase(root_ + "/database/tamlo.mdb");
    for (const auto& [path, text] : files) {
      std::filesystem::create_directories(std::filesystem::path(root_ + "/" + path).parent_path());
      std::ofstream(root_ + "/" + path, std::ios::binary) << text;
    }
    setup(registry_);
    options_ = options;
    options_.root = root_;
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
  std::string errorLog() const {
    std::ifstream in(root_ + ".errors");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  frame::Registry registry_;
  host::ServeOptions options_;
  std::string root_;
  unsigned short port_ = 0;
  std::function<void()> stop_;
  std::future<int> done_;
};

// A probe component whose page operation `main` runs `body`.
struct Probe : frame::Component {
  std::function<void()> body;
  void main() { body(); }
};
inline void addProbe(frame::Registry& r, const std::string& id, std::function<void()> body,
                     frame::Output output = frame::Output::PerRequest) {
  r.add(
      id,
      [body] {
        auto c = std::make_unique<Probe>();
        c->body = body;
        return c;
      },
      {frame::op("main", &Probe::main)}, output);
}

// A page file that hosts component `id`, with literal text around it.
inline std::string hostPage(const std::string& id, const std::string& before = "", const std::string& after = "") {
  return "<%@ Language=VBScript %>\n" + before + "<%\nDim obj\nSet obj = Server.CreateObject(\"" + id +
         "\")\nobj.main\nSet obj = Nothing\n%>" + after;
}

}  // namespace tovi::testing
