#include "host/sessions.h"

#include <sodium.h>

#include <stdexcept>

#include <algorithm>

namespace tovi::host {

bool Session::KeyLess::operator()(std::string_view a, std::string_view b) const {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

std::string Session::id() const {
  std::lock_guard lock(mutex_);
  return id_;
}

data::Value Session::get(std::string_view key) const {
  std::lock_guard lock(mutex_);
  auto it = values_.find(key);
  return it == values_.end() ? data::Value() : it->second;
}

void Session::set(std::string_view key, data::Value value) {
  std::lock_guard lock(mutex_);
  auto it = values_.find(key);
  if (it == values_.end()) values_.emplace(std::string(key), std::move(value));
  else it->second = std::move(value);
}

SessionStore::SessionStore(Clock::duration idleTimeout) : timeout_(idleTimeout) {
  if (sodium_init() < 0) throw std::runtime_error("libsodium could not start");
}

std::string SessionStore::newId() {
  unsigned char bytes[32];
  randombytes_buf(bytes, sizeof bytes);
  char hex[sizeof bytes * 2 + 1];
  sodium_bin2hex(hex, sizeof hex, bytes, sizeof bytes);
  return hex;
}

SessionStore::Shard& SessionStore::shardOf(std::string_view id) {
  // Ids are random hex: their first character spreads them evenly.
  unsigned char c = id.empty() ? 0 : static_cast<unsigned char>(id[0]);
  return shards_[c % kShards];
}

std::shared_ptr<Session> SessionStore::create() {
  auto s = std::make_shared<Session>(newId());
  Shard& shard = shardOf(s->id_);
  std::lock_guard lock(shard.mutex);
  shard.sessions.emplace(s->id_, s);
  return s;
}

std::shared_ptr<Session> SessionStore::find(std::string_view id) {
  if (id.size() != 64) return nullptr;
  Shard& shard = shardOf(id);
  std::lock_guard lock(shard.mutex);
  auto it = shard.sessions.find(std::string(id));
  if (it == shard.sessions.end()) return nullptr;
  std::shared_ptr<Session> s = it->second;
  std::lock_guard slock(s->mutex_);
  Clock::time_point now = Clock::now();
  if (now - s->lastUsed_ > timeout_) {
    shard.sessions.erase(it);
    return nullptr;
  }
  s->lastUsed_ = now;
  return s;
}

void SessionStore::renew(Session& session) {
  std::string oldId = session.id();
  std::shared_ptr<Session> keep;
  {
    Shard& shard = shardOf(oldId);
    std::lock_guard lock(shard.mutex);
    auto it = shard.sessions.find(oldId);
    if (it != shard.sessions.end()) {
      keep = it->second;
      shard.sessions.erase(it);
    }
  }
  std::string fresh = newId();
  {
    std::lock_guard slock(session.mutex_);
    session.id_ = fresh;
    session.lastUsed_ = Clock::now();
  }
  if (keep) {
    Shard& shard = shardOf(fresh);
    std::lock_guard lock(shard.mutex);
    shard.sessions.emplace(fresh, std::move(keep));
  }
}

void SessionStore::remove(std::string_view id) {
  Shard& shard = shardOf(id);
  std::lock_guard lock(shard.mutex);
  shard.sessions.erase(std::string(id));
}

std::size_t SessionStore::sweep() {
  std::size_t dropped = 0;
  Clock::time_point now = Clock::now();
  for (Shard& shard : shards_) {
    std::lock_guard lock(shard.mutex);
    for (auto it = shard.sessions.begin(); it != shard.sessions.end();) {
      bool idle;
      {
        std::lock_guard slock(it->second->mutex_);
        idle = now - it->second->lastUsed_ > timeout_;
      }
      if (idle) {
        it = shard.sessions.erase(it);
        ++dropped;
      } else {
        ++it;
      }
    }
  }
  return dropped;
}

std::size_t SessionStore::size() const {
  std::size_t n = 0;
  for (const Shard& shard : shards_) {
    std::lock_guard lock(shard.mutex);
    n += shard.sessions.size();
  }
  return n;
}

}  // namespace tovi::host
