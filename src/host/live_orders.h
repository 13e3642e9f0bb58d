// The kitchen screen's event stream: GET /admin/live_events answered with
// server-sent events that stay open, one per open live screen.
//
//   LiveOrders live(state);                 // starts the feed thread
//   if (live.take(req)) return restinio::request_accepted();   // in the request handler
//   live.stop();                            // at the clean stop; ended() once all streams are closed
//
// Events:  "event: order" with "id: <order id>" and the order as JSON
//          (orders/live_board.h) for every order committed to tdgl, by this
//          process or any other; "event: status" with {"id","status"} when a
//          board order's status moves (status 0: the order was deleted);
//          a comment line every 15 s so proxies and the browser keep the
//          connection. A stream that reconnects with Last-Event-ID (or
//          ?after=<id> on its first connect) first gets every order above that
//          id, so none is missed and none is sent twice.
// Admission: the session cookie must name a live session with an account of
// right 1 or 2 (as the back-office guards read it) that wq_admin still holds
// with that right: 401 without a login, 403 otherwise. An open stream keeps
// its session alive; it ends at the next event or heartbeat once the session
// is gone or the account lost its right.
// Threads: take() runs on an I/O thread and only hands the request over. One
// feed thread does all the rest: it looks at the database's change stamp
// every 100 ms, runs the few queries a change needs (for all streams at once)
// and hands the bytes to RESTinio, so an idle stream costs no thread at all.
// Timeouts: while a response is unfinished RESTinio applies the server's
// handle_request_timeout afresh after each completed write, so the heartbeat
// (15 s, well inside it) keeps a quiet stream open; a screen that stops
// reading is cut by the write time limit, and a write that fails drops it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include <restinio/all.hpp>

namespace tovi::host {

struct HostState;

class LiveOrders {
 public:
  explicit LiveOrders(HostState& state);
  ~LiveOrders();  // stops and joins the feed thread
  LiveOrders(const LiveOrders&) = delete;
  LiveOrders& operator=(const LiveOrders&) = delete;

  // Whether `req` asks for the event stream; if so it is taken (and answered
  // later, from the feed thread). Cheap: a path comparison.
  [[nodiscard]] bool take(const restinio::request_handle_t& req);
  // Ends every open stream and refuses new ones (503). Returns at once; any thread.
  void stop();
  // After stop(): whether every stream has been ended.
  [[nodiscard]] bool ended() const { return ended_.load(); }
  // Open streams now (for tests and the log).
  [[nodiscard]] std::size_t streams() const { return open_.load(); }

 private:
  struct Stream;
  struct Pending {
    restinio::request_handle_t req;
  };
  class Feed;

  HostState& state_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Pending> pending_;
  bool stopping_ = false;
  std::atomic<bool> ended_{false};
  std::atomic<std::size_t> open_{0};
  std::thread thread_;

  void run();
};

}  // namespace tovi::host
