#include "data/pg_stamp.h"

#include <libpq-fe.h>
#include <poll.h>

#include <chrono>
#include <map>
#include <memory>

namespace tovi::data::internal {

StampWatch& StampWatch::of(const std::string& url) {
  static std::mutex lock;
  static std::map<std::string, std::unique_ptr<StampWatch>> watches;
  std::lock_guard<std::mutex> hold(lock);
  auto& w = watches[url];
  // Each database's stamps start far from the others', so that they never meet.
  if (!w) w = std::make_unique<StampWatch>(url, (watches.size() + 1) << 40);
  return *w;
}

StampWatch::~StampWatch() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

std::uint64_t StampWatch::stamp(const std::function<std::int64_t()>& readCounter) {
  std::call_once(started_, [this] { thread_ = std::thread([this] { listen(); }); });
  if (!live_) {
    const std::int64_t v = readCounter();
    if (seen_.exchange(v) != v) events_.fetch_add(1);
  }
  return events_.load();
}

void StampWatch::listen() {
  using namespace std::chrono_literals;
  while (!stop_) {
    PGconn* c = PQconnectdb(url_.c_str());
    if (PQstatus(c) == CONNECTION_OK) {
      PGresult* r = PQexec(c, (std::string("listen ") + kStampChannel).c_str());
      const bool listening = PQresultStatus(r) == PGRES_COMMAND_OK;
      PQclear(r);
      if (listening) {
        events_.fetch_add(1);  // whatever changed while nobody listened
        live_ = true;
        while (!stop_) {
          pollfd p{PQsocket(c), POLLIN, 0};
          const int n = ::poll(&p, 1, 250);
          if (n < 0 && errno != EINTR) break;
          if (n <= 0) continue;
          if (!PQconsumeInput(c)) break;  // the connection is gone
          bool moved = false;
          while (PGnotify* note = PQnotifies(c)) {
            moved = true;
            PQfreemem(note);
          }
          if (moved) events_.fetch_add(1);
        }
        live_ = false;
      }
    }
    PQfinish(c);
    for (int i = 0; i < 4 && !stop_; ++i) std::this_thread::sleep_for(250ms);
  }
}

}  // namespace tovi::data::internal
