// The event streams registered with the server (frame/event_stream.h): a GET
// of a stream's path answered with server-sent events that stay open, every
// stream of every source fed by one thread.
//
//   EventStreams streams(state, options.streams, options.eventHeartbeat);    // starts the feed thread
//   if (streams.take(req)) return restinio::request_accepted();   // in the request handler
//   streams.stop();                        // at the clean stop; ended() once every stream is closed
//
// The answer: 200, text/event-stream, chunked, never cached nor buffered by a
// proxy; first "retry: 2000" and the events the stream missed (after its
// Last-Event-ID, or ?after=N on a first connect), then every event its
// source hands out (of its channel, or of none), and a comment line each heartbeat (15 s) so that proxies
// and the browser keep the connection. Refused: 401 or 403 with the source's
// reason, 503 while the source fails or the server stops. An open stream
// keeps the query string and cookies it was asked with, for the source's later
// admissions, and keeps its session alive; it ends after the source's next
// change or at the next heartbeat once its admission lapses.
// Threads: take() runs on an I/O thread and only hands the request over. The
// feed thread does the rest: it polls each source every 100 ms, opens the
// streams asked for, and hands the bytes to RESTinio, so an idle stream costs
// no thread at all.
// Timeouts: while a response is unfinished RESTinio applies the server's
// handle_request_timeout afresh after each completed write, so the heartbeat
// (well inside it) keeps a quiet stream open; a visitor who stops reading is
// cut by the write time limit, and a write that fails drops the stream.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <restinio/all.hpp>

#include "frame/event_stream.h"
#include "host/host_state.h"

namespace tovi::host {

class EventStreams {
 public:
  // Starts the feed thread when any stream is registered.
  EventStreams(HostState& state, std::vector<frame::EventStream> streams, std::chrono::milliseconds heartbeat);
  ~EventStreams();  // stops and joins the feed thread
  EventStreams(const EventStreams&) = delete;
  EventStreams& operator=(const EventStreams&) = delete;

  // Whether `req` asks for a registered stream; if so it is taken (and
  // answered later, from the feed thread). Cheap: a path comparison each.
  [[nodiscard]] bool take(const restinio::request_handle_t& req);
  // Ends every open stream and refuses new ones (503). Returns at once; any thread.
  void stop();
  // After stop(): whether every stream has been ended.
  [[nodiscard]] bool ended() const { return ended_.load(); }
  // Open streams now.
  [[nodiscard]] std::size_t open() const { return open_.load(); }

 private:
  class Feed;
  struct Pending {
    restinio::request_handle_t req;
    std::size_t source;  // its place in streams_
  };

  void run();

  HostState& state_;
  const std::vector<frame::EventStream> streams_;
  const std::chrono::milliseconds heartbeat_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Pending> pending_;
  bool stopping_ = false;
  std::atomic<bool> ended_{false};
  std::atomic<std::size_t> open_{0};
  std::thread thread_;
};

// Where a stream resumes: its Last-Event-ID, else the `after` of its query
// string, as a whole number above 0; 0 for neither.
[[nodiscard]] std::int64_t resumeAfter(std::string_view lastEventId, std::string_view query);

// The text of those of `events` a stream on `channel` gets: the ones of no
// channel and of that one.
[[nodiscard]] std::string textFor(const std::vector<frame::Event>& events, const std::string& channel);

// An event as sent: its event, id and data lines (one for each line of its
// data) and the blank line that ends it.
[[nodiscard]] std::string eventText(const frame::Event& event);

}  // namespace tovi::host
