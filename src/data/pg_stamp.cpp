#include "data/pg_stamp.h"

#include <libpq-fe.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
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

StampWatch::StampWatch(std::string url, std::uint64_t base)
    : url_(std::move(url)), events_(base), wake_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

StampWatch::~StampWatch() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (wake_ >= 0) ::close(wake_);
}

void StampWatch::wrote() {
  events_.fetch_add(1);
  if (wake_ >= 0 && !unsent_.exchange(true)) {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_, &one, sizeof one);
  }
}

std::uint64_t StampWatch::stamp(const std::function<std::int64_t()>& readCounter) {
  std::call_once(started_, [this] { thread_ = std::thread([this] { listen(); }); });
  if (!live_) {
    const std::int64_t v = readCounter();
    if (seen_.exchange(v) != v) events_.fetch_add(1);
  }
  return events_.load();
}

namespace {

// One statement on the listening connection; false when it failed.
bool run(PGconn* c, const std::string& sql, std::int64_t* value = nullptr) {
  PGresult* r = PQexec(c, sql.c_str());
  const ExecStatusType status = PQresultStatus(r);
  if (value && status == PGRES_TUPLES_OK && PQntuples(r) == 1) *value = std::atoll(PQgetvalue(r, 0, 0));
  PQclear(r);
  return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

}  // namespace

void StampWatch::listen() {
  using namespace std::chrono_literals;
  using Clock = std::chrono::steady_clock;
  const std::string readSequence = std::string("select last_value from ") + kStampChannel;
  while (!stop_) {
    PGconn* c = PQconnectdb(url_.c_str());
    // Its notices need not wait for the disk: a lost one is caught by the reading each second.
    if (PQstatus(c) == CONNECTION_OK && run(c, "set synchronous_commit = off") &&
        run(c, std::string("listen ") + kStampChannel)) {
      events_.fetch_add(1);  // whatever changed while nobody listened
      live_ = true;
      std::int64_t sequence = -1;
      Clock::time_point nextRead = Clock::now();
      bool sound = true;
      while (!stop_ && sound) {
        if (Clock::now() >= nextRead) {
          std::int64_t now = sequence;
          sound = run(c, readSequence, &now);
          if (now != sequence) events_.fetch_add(1);
          sequence = now;
          nextRead = Clock::now() + 1s;
        }
        if (sound && unsent_.exchange(false))
          sound = run(c, std::string("select pg_notify('") + kStampChannel + "', '')");
        pollfd p[2] = {{PQsocket(c), POLLIN, 0}, {wake_, POLLIN, 0}};
        const int n = ::poll(p, 2, 250);
        if (n < 0 && errno != EINTR) break;
        if (n <= 0) continue;
        if (p[1].revents & POLLIN) {
          std::uint64_t count;
          [[maybe_unused]] ssize_t r = ::read(wake_, &count, sizeof count);
        }
        if (!(p[0].revents & POLLIN)) continue;
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
    PQfinish(c);
    for (int i = 0; i < 4 && !stop_; ++i) std::this_thread::sleep_for(250ms);
  }
}

}  // namespace tovi::data::internal
