// The web server that hosts the site's pages.
//
//   host::ServeOptions options;
//   options.root = "site";
//   options.port = 8080;
//   frame::Registry registry;
//   frame::registerAllComponents(registry);
//   return host::serve(options, registry);     // until SIGTERM or SIGINT
//
// RESTinio's I/O threads only move bytes; every page runs on a worker pool, one
// request at a time per worker, start to end on that worker's thread.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "frame/component.h"

namespace tovi::host {

struct ServeOptions {
  std::string root = "site";       // the web root
  std::string address = "127.0.0.1";
  unsigned short port = 8080;      // 0: any free port (printed at start)
  unsigned threads = 0;            // page workers; 0: chosen for the machine
  unsigned ioThreads = 1;          // RESTinio I/O threads
  bool https = false;              // served behind TLS: session cookies get Secure
  std::map<std::string, std::string> options;  // start options the site's pages read ("fixed-code")
  std::string accessLog;           // file; "" for standard output, "-" for none
  std::string errorLog;            // file; "" for standard error
  // Called once listening, with the bound port (tests and benchmarks use it).
  std::function<void(unsigned short)> onListening;
};

// Serves until SIGTERM or SIGINT, then finishes the requests in flight.
// Returns the process exit status (0 after a clean stop). Creates the
// database at <root>/database/tamlo.mdb when it is missing.
int serve(const ServeOptions& options, const frame::Registry& registry);

}  // namespace tovi::host
