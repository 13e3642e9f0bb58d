#include "accounts/throttle.h"

#include <algorithm>
#include <vector>

#include "data/connection.h"
#include "data/engine.h"
#include "frame/text.h"

namespace tovi::accounts {
namespace {

// Names are compared without regard to ASCII letter case, so "Admin" and
// "admin" share one count.
std::string nameKey(std::string_view name) { return frame::asciiLower(frame::trim(name)); }

}  // namespace

bool InProcessLoginThrottle::locked(Table& table, const std::string& key, std::int64_t now) {
  auto it = table.find(key);
  return it != table.end() && now < it->second.lockedUntil;
}

bool InProcessLoginThrottle::refused(std::string_view address, std::string_view name, std::int64_t now) {
  std::lock_guard lock(mutex_);
  return locked(byAddress_, std::string(address), now) || locked(byName_, nameKey(name), now);
}

void InProcessLoginThrottle::makeRoom(Table& table, std::int64_t now) {
  if (table.size() < limits_.maxEntries) return;
  for (auto it = table.begin(); it != table.end();) {
    bool lapsed = now >= it->second.lockedUntil && now - it->second.since >= limits_.window;
    it = lapsed ? table.erase(it) : std::next(it);
  }
  while (table.size() >= limits_.maxEntries) {
    auto oldest = table.begin();
    for (auto it = table.begin(); it != table.end(); ++it)
      if (it->second.since < oldest->second.since) oldest = it;
    table.erase(oldest);
  }
}

void InProcessLoginThrottle::count(Table& table, const std::string& key, int limit, std::int64_t now) {
  auto it = table.find(key);
  if (it == table.end()) {
    makeRoom(table, now);
    it = table.emplace(key, Entry{0, now, 0}).first;
  }
  Entry& e = it->second;
  if (now - e.since >= limits_.window && now >= e.lockedUntil) e = Entry{0, now, 0};
  if (++e.failures >= limit) e.lockedUntil = now + limits_.lockout;
}

void InProcessLoginThrottle::failed(std::string_view address, std::string_view name, std::int64_t now) {
  std::lock_guard lock(mutex_);
  count(byAddress_, std::string(address), limits_.perAddress, now);
  std::string key = nameKey(name);
  if (!key.empty()) count(byName_, key, limits_.perName, now);
}

void InProcessLoginThrottle::succeeded(std::string_view address, std::string_view name) {
  std::lock_guard lock(mutex_);
  byAddress_.erase(std::string(address));
  byName_.erase(nameKey(name));
}

std::size_t InProcessLoginThrottle::size() {
  std::lock_guard lock(mutex_);
  return byAddress_.size() + byName_.size();
}

namespace {

}  // namespace

DatabaseLoginThrottle::DatabaseLoginThrottle(std::string location, std::string scope, Limits limits)
    : location_(std::move(location)), scope_(std::move(scope)), limits_(limits) {}

bool DatabaseLoginThrottle::refused(std::string_view address, std::string_view name, std::int64_t now) {
  const std::string byAddress = scope_ + " a " + std::string(address), byName = scope_ + " n " + nameKey(name);
  data::Connection db(location_);
  const data::Sql sql("select count(*) from tovi_throttle where (k=? or k=?) and locked_until>?",
                      {byAddress, byName, now});
  return db.rows(sql).at(0).at(1).toInteger() > 0;
}

void DatabaseLoginThrottle::count(const std::string& key, int limit, std::int64_t now) {
  data::Connection db(location_);
  // The row keeps a time after which it means nothing, for the sweep.
  const std::int64_t lapse = now + std::max(limits_.window, limits_.lockout), lockUntil = now + limits_.lockout;
  const std::int64_t windowStart = now - limits_.window;
  for (int attempt = 0;; ++attempt) {
    // One of three, each in one statement: a count in the current window
    // below the limit, one that reaches it (and locks), a lapsed window
    // started afresh; else a first failure.
    if (db.Execute({"update tovi_throttle set failures=failures+1, lapse=? where k=? and failures<? and "
                    "(since>? or locked_until>?)",
                    {lapse, key, limit - 1, windowStart, now}}) ||
        db.Execute(
            {"update tovi_throttle set failures=failures+1, locked_until=?, lapse=? where k=? and failures>=? and "
             "(since>? or locked_until>?)",
             {lockUntil, lapse, key, limit - 1, windowStart, now}}) ||
        db.Execute({"update tovi_throttle set failures=1, since=?, locked_until=?, lapse=? where k=? and since<=? and "
                    "locked_until<=?",
                    {now, limit <= 1 ? lockUntil : 0, lapse, key, windowStart, now}}))
      return;
    try {
      db.Execute(
          {"insert into tovi_throttle (k, scope, failures, since, locked_until, lapse) values (?, ?, 1, ?, ?, ?)",
           {key, scope_, now, limit <= 1 ? lockUntil : 0, lapse}});
      return;
    } catch (const data::Error&) {
      if (attempt > 0) throw;  // another server added the row meanwhile: counted on it
    }
  }
}

void DatabaseLoginThrottle::sweep(std::int64_t now) {
  std::int64_t last = lastSweep_.load();
  if (now - last < 60 || !lastSweep_.compare_exchange_strong(last, now)) return;
  data::Connection db(location_);
  db.Execute({"delete from tovi_throttle where scope=? and lapse<=?", {scope_, now}});
  // Beyond the bound (two tables' worth): the rows that lapse first go.
  std::vector<data::Row> edge = db.rows({"select lapse from tovi_throttle where scope=? order by lapse desc", {scope_}},
                                        static_cast<std::int64_t>(2 * limits_.maxEntries));
  if (!edge.empty()) db.Execute({"delete from tovi_throttle where scope=? and lapse<=?", {scope_, edge[0][1]}});
}

void DatabaseLoginThrottle::failed(std::string_view address, std::string_view name, std::int64_t now) {
  sweep(now);
  count(scope_ + " a " + std::string(address), limits_.perAddress, now);
  std::string key = nameKey(name);
  if (!key.empty()) count(scope_ + " n " + key, limits_.perName, now);
}

void DatabaseLoginThrottle::succeeded(std::string_view address, std::string_view name) {
  data::Connection(location_).Execute({"delete from tovi_throttle where k=? or k=?",
                         {scope_ + " a " + std::string(address), scope_ + " n " + nameKey(name)}});
}

std::shared_ptr<LoginThrottle> makeLoginThrottle(const std::string& sharedState, std::string scope,
                                                 LoginThrottle::Limits limits) {
  if (sharedState.empty()) return std::make_shared<InProcessLoginThrottle>(limits);
  return std::make_shared<DatabaseLoginThrottle>(sharedState, std::move(scope), limits);
}

}  // namespace tovi::accounts
