// The visitors' sessions: values kept between one visitor's requests, found by
// a random, unguessable id sent in a cookie.
//
//   SessionStore store(std::chrono::minutes(20));
//   auto s = store.find(idFromCookie);          // null when unknown or expired
//   if (!s) s = store.create();                 // new id from libsodium
//   s->set("Admin", "boss"); s->get("admin");   // keys in any letter case
//
// Safe under many threads: the store is split into shards with a lock each,
// and each session locks its own values. Sessions idle longer than the timeout
// are gone for find() at once and are swept from memory by sweep().
#pragma once

#include <array>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "data/value.h"

namespace tovi::host {

class Session {
 public:
  explicit Session(std::string id) : id_(std::move(id)) {}
  // The id as sent in the cookie (changes on renew).
  std::string id() const;
  data::Value get(std::string_view key) const;
  void set(std::string_view key, data::Value value);

 private:
  friend class SessionStore;
  struct KeyLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  mutable std::mutex mutex_;
  std::string id_;
  std::map<std::string, data::Value, KeyLess> values_;
  std::chrono::steady_clock::time_point lastUsed_ = std::chrono::steady_clock::now();
};

class SessionStore {
 public:
  using Clock = std::chrono::steady_clock;
  explicit SessionStore(Clock::duration idleTimeout);

  // A new, empty session with a fresh id (256 random bits, hex).
  std::shared_ptr<Session> create();
  // The live session of that id, its idle time restarted; null when the id is
  // unknown, malformed or its session has been idle too long.
  std::shared_ptr<Session> find(std::string_view id);
  // Gives the session a fresh id, keeping its values; the old id stops working.
  void renew(Session& session);
  // Forgets the session (Session.Abandon).
  void remove(std::string_view id);
  // Drops every session idle longer than the timeout; returns how many.
  std::size_t sweep();
  std::size_t size() const;

 private:
  static constexpr std::size_t kShards = 16;
  struct Shard {
    mutable std::mutex mutex;
    std::unordered_map<std::string, std::shared_ptr<Session>> sessions;
  };
  Shard& shardOf(std::string_view id);
  static std::string newId();

  Clock::duration timeout_;
  std::array<Shard, kShards> shards_;
};

}  // namespace tovi::host
