// The web server that hosts the site's pages and its event streams.
//
//   host::ServeOptions options;
//   options.root = "site";
//   options.port = 8080;
//   options.hiddenFolders = {"database"};
//   options.changeStamp = [db] { return data::changeStamp(db); };
//   options.streams.push_back(orders::liveEvents(db, options.changeStamp));
//   frame::Registry registry;
//   frame::registerPages(registry);
//   return host::serve(options, registry);     // until SIGTERM or SIGINT
//
// The host knows HTTP, not the site: where the database is, which folders
// hold what and which streams exist come from the caller (main).
// RESTinio's I/O threads only move bytes; every page runs on a worker pool, one
// request at a time per worker, start to end on that worker's thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "frame/component.h"
#include "frame/event_stream.h"

namespace tovi::host {

struct ServeOptions {
  std::string root = "site";       // the web root
  // Top folders of the web root kept elsewhere: name -> directory (web_root.h).
  // A site installed from the package keeps its root read-only and its
  // database and uploaded pictures in /var/lib/tovi.
  std::vector<std::pair<std::string, std::string>> mounts;
  // Top folders no URL reaches (the pages still map paths into them).
  std::vector<std::string> hiddenFolders;
  // The database's change stamp (data/change_stamp.h); pages that promise
  // Output::DatabaseOnly are answered from a rendered copy while it holds.
  // Called from every thread, I/O threads too: cheap, never waiting for a
  // lock. Empty: every page runs each time.
  std::function<std::uint64_t()> changeStamp;
  // The event streams served (frame/event_stream.h), and the time between
  // the comment lines that keep a quiet one open.
  std::vector<frame::EventStream> streams;
  std::chrono::milliseconds eventHeartbeat{15000};
  std::string address = "127.0.0.1";
  unsigned short port = 8080;      // 0: any free port (printed at start)
  unsigned threads = 0;            // page workers; 0: chosen for the machine
  unsigned ioThreads = 1;          // RESTinio I/O threads
  bool https = false;              // served behind TLS: session cookies get Secure, answers HSTS
  // Peers (reverse proxies) whose X-Forwarded-For and X-Forwarded-Proto are
  // believed: the client's address and scheme then come from those headers.
  std::vector<std::string> trustedProxies;
  std::map<std::string, std::string> options;  // start options the site's pages read ("fixed-code")
  std::string accessLog;           // file; "" for standard output, "-" for none
  std::string errorLog;            // file; "" for standard error ("-" for none)
  // A request body larger than this gets 413 and a short page, as soon as its
  // length is known or, sent in chunks, once it grows past it; the connection
  // is then closed (limited_socket.h). Nothing beyond the limit is kept.
  std::size_t maxBodyBytes = 8u << 20;
  // Paths allowed another limit: path prefix (any letter case) -> limit.
  std::vector<std::pair<std::string, std::size_t>> bodyLimits;
  std::chrono::seconds sessionTimeout{20 * 60};  // idle time after which a session ends
  // The database (a data source text) that keeps the sessions when several
  // servers answer the site's requests; empty: this process keeps them.
  std::string sharedState;
  std::chrono::seconds idleTimeout{30};   // keep-alive wait, and the limit for receiving one request
  std::chrono::seconds pageTimeout{120};  // a page that takes longer loses its connection
  // Called once listening, with the bound port (tests and benchmarks use it).
  std::function<void(unsigned short)> onListening;
  // Called once listening, with a function that stops the server as SIGTERM
  // does (for running the server inside a test program). Callable from any thread.
  std::function<void(std::function<void()> stop)> onStarted;
};

// Prints "tovi: listening on http://ADDR:PORT/" once listening, then serves
// until SIGTERM or SIGINT (or the stop handed to onStarted) and finishes the
// requests in flight. Returns the process exit status (0 after a clean stop;
// 1 when it cannot listen, the web root is missing or an option is invalid).
int serve(const ServeOptions& options, const frame::Registry& registry);

// The largest body the server receives for any path (the largest limit).
[[nodiscard]] std::uint64_t receiveLimit(const ServeOptions& options);

}  // namespace tovi::host
