// The change stamp (change_stamp.h) of a PostgreSQL database, shared by every
// node that serves it (internal to the data layer).
//
//   StampWatch& w = StampWatch::of(url);
//   w.wrote();                                     // after each write of this process
//   std::uint64_t s = w.stamp([&] { return readCounter(); });
//
// In the database a sequence, tovi_change, moves at every statement that
// changes a table of the site (statement triggers, see pg_schema), and each
// move is sent with pg_notify on the channel tovi_change when it commits.
// One thread per process and database LISTENs there and moves the stamp at
// each notice, so reading the stamp costs no round trip; a write of this
// process moves it at once. While that thread has no connection, stamp()
// reads the sequence itself (one round trip) and moves the stamp when it
// moved; the stamp moves again when the thread is back.
// Threads: any. Errors: stamp() throws data::Error when the sequence cannot be read.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace tovi::data::internal {

// The channel and the sequence of the change stamp.
inline constexpr char kStampChannel[] = "tovi_change";

class StampWatch {
 public:
  // The watch of `url` for this process, made (without its thread) on first use.
  static StampWatch& of(const std::string& url);

  void wrote() { events_.fetch_add(1); }
  // The stamp; `readCounter` gives the sequence's value when the listening thread has no connection.
  std::uint64_t stamp(const std::function<std::int64_t()>& readCounter);

  StampWatch(std::string url, std::uint64_t base) : url_(std::move(url)), events_(base) {}
  ~StampWatch();

 private:
  void listen();
  std::string url_;
  std::atomic<std::uint64_t> events_;
  std::atomic<bool> live_{false}, stop_{false};
  std::atomic<std::int64_t> seen_{-1};
  std::once_flag started_;
  std::thread thread_;
};

}  // namespace tovi::data::internal
