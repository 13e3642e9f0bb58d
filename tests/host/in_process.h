// The host's serve() run inside the test program over a ProbeRoot, whose probe
// components show what a page sees of the request. Requests go over loopback
// exactly as from a browser.
#pragma once

#include <future>

#include "support/live_server.h"
#include "support/probe_root.h"
#include "support/site_rows.h"
#include "support/testing.h"

namespace tovi::testing {

class InProcessServer {
 public:
  InProcessServer(const std::vector<ProbePage>& pages, const Fields& files = {}, host::ServeOptions options = {})
      : site_(pages, files, std::move(options)) {
    std::promise<unsigned short> listening;
    std::promise<std::function<void()>> started;
    site_.options.port = 0;
    site_.options.onListening = [&](unsigned short port) { listening.set_value(port); };
    site_.options.onStarted = [&](std::function<void()> stop) { started.set_value(std::move(stop)); };
    done_ = std::async(std::launch::async, [this] { return host::serve(site_.options, site_.registry); });
    port_ = listening.get_future().get();
    stop_ = started.get_future().get();
  }
  ~InProcessServer() { stop(); }
  // Stops as SIGTERM does; returns serve()'s result.
  int stop() {
    if (!done_.valid()) return -1;
    stop_();
    return done_.get();
  }
  unsigned short port() const { return port_; }
  const std::string& root() const { return site_.root; }
  std::string errorLog() const { return site_.errorLog(); }

 private:
  ProbeRoot site_;
  unsigned short port_ = 0;
  std::function<void()> stop_;
  std::future<int> done_;
};

}  // namespace tovi::testing
