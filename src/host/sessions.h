// The visitors' sessions: values kept between one visitor's requests, found by
// a random, unguessable id sent in a cookie.
//
//   InProcessSessionStore store(std::chrono::minutes(20));
//   auto s = store.find(idFromCookie);          // null when unknown or expired
//   if (!s) s = store.create();                 // new id from libsodium
//   s->set("Admin", "boss"); s->get("admin");   // keys in any letter case
//   store.save(*s);                             // at the end of the request
//
// Two stores: InProcessSessionStore keeps the sessions in this process (one
// server on the site's file); DatabaseSessionStore keeps them in the site's
// database, so that any of several servers answers any request. A session a
// request holds is then its own copy: read once by find(), written back once
// by save() when the request changed it (set, renew), its last use refreshed
// by find() at most once a minute. Sessions idle longer than the timeout are
// gone for find() at once and are swept by sweep().
// Threads: every member may be called from any thread; a Session locks its
// own values.
// Errors: the database store throws data::Error when the database fails.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
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
  friend class InProcessSessionStore;
  friend class DatabaseSessionStore;
  struct KeyLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  mutable std::mutex mutex_;
  std::string id_;
  std::map<std::string, data::Value, KeyLess> values_;
  std::chrono::steady_clock::time_point lastUsed_ = std::chrono::steady_clock::now();
  // The database store's copy: the id its row is stored under ("": none yet)
  // and whether the values changed since it was read.
  std::string storedId_;
  bool changed_ = false;
};

class SessionStore {
 public:
  virtual ~SessionStore() = default;
  // A new, empty session with a fresh id (256 random bits, hex).
  virtual std::shared_ptr<Session> create() = 0;
  // The live session of that id, its idle time restarted; null when the id is
  // unknown, malformed or its session has been idle too long.
  virtual std::shared_ptr<Session> find(std::string_view id) = 0;
  // Gives the session a fresh id, keeping its values; the old id stops
  // working (in the database once the session is saved).
  virtual void renew(Session& session) = 0;
  // Forgets the session (Session.Abandon).
  virtual void remove(std::string_view id) = 0;
  // Keeps what a request changed in `session`, at its end.
  virtual void save(Session& session) = 0;
  // Drops every session idle longer than the timeout; returns how many.
  virtual std::size_t sweep() = 0;
  virtual std::size_t size() const = 0;

 protected:
  SessionStore();
  static std::string newId();
};

class InProcessSessionStore final : public SessionStore {
 public:
  using Clock = std::chrono::steady_clock;
  explicit InProcessSessionStore(Clock::duration idleTimeout);

  std::shared_ptr<Session> create() override;
  std::shared_ptr<Session> find(std::string_view id) override;
  void renew(Session& session) override;
  void remove(std::string_view id) override;
  void save(Session&) override {}  // the session found is the one kept
  std::size_t sweep() override;
  std::size_t size() const override;

 private:
  static constexpr std::size_t kShards = 16;
  struct Shard {
    mutable std::mutex mutex;
    std::unordered_map<std::string, std::shared_ptr<Session>> sessions;
  };
  Shard& shardOf(std::string_view id);

  Clock::duration timeout_;
  std::array<Shard, kShards> shards_;
};

// In the table tovi_sessions of the database at `location` (a data source
// text, see data/connection.h): a row per session under a hash of its id (the
// database never holds an id that works as a cookie), its values serialized
// with their kinds, and its last use in wall-clock milliseconds, which every
// server reads alike.
class DatabaseSessionStore final : public SessionStore {
 public:
  DatabaseSessionStore(std::string location, std::chrono::steady_clock::duration idleTimeout);

  std::shared_ptr<Session> create() override;
  std::shared_ptr<Session> find(std::string_view id) override;
  void renew(Session& session) override;
  void remove(std::string_view id) override;
  void save(Session& session) override;
  std::size_t sweep() override;
  std::size_t size() const override;

 private:
  std::string location_;
  std::int64_t timeoutMs_;
};

}  // namespace tovi::host
