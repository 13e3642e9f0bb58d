#include "accounts/throttle.h"

#include "frame/text.h"

namespace tovi::accounts {
namespace {

// Names are compared without regard to ASCII letter case, so "Admin" and
// "admin" share one count.
std::string nameKey(std::string_view name) { return frame::asciiLower(frame::trim(name)); }

}  // namespace

bool LoginThrottle::locked(Table& table, const std::string& key, std::int64_t now) {
  auto it = table.find(key);
  return it != table.end() && now < it->second.lockedUntil;
}

bool LoginThrottle::refused(std::string_view address, std::string_view name, std::int64_t now) {
  std::lock_guard lock(mutex_);
  return locked(byAddress_, std::string(address), now) || locked(byName_, nameKey(name), now);
}

void LoginThrottle::makeRoom(Table& table, std::int64_t now) {
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

void LoginThrottle::count(Table& table, const std::string& key, int limit, std::int64_t now) {
  auto it = table.find(key);
  if (it == table.end()) {
    makeRoom(table, now);
    it = table.emplace(key, Entry{0, now, 0}).first;
  }
  Entry& e = it->second;
  if (now - e.since >= limits_.window && now >= e.lockedUntil) e = Entry{0, now, 0};
  if (++e.failures >= limit) e.lockedUntil = now + limits_.lockout;
}

void LoginThrottle::failed(std::string_view address, std::string_view name, std::int64_t now) {
  std::lock_guard lock(mutex_);
  count(byAddress_, std::string(address), limits_.perAddress, now);
  std::string key = nameKey(name);
  if (!key.empty()) count(byName_, key, limits_.perName, now);
}

void LoginThrottle::succeeded(std::string_view address, std::string_view name) {
  std::lock_guard lock(mutex_);
  byAddress_.erase(std::string(address));
  byName_.erase(nameKey(name));
}

std::size_t LoginThrottle::size() {
  std::lock_guard lock(mutex_);
  return byAddress_.size() + byName_.size();
}

}  // namespace tovi::accounts
