// One SQLite connection with its prepared statements: the file engine's way
// to the file (internal to the data layer).
//
//   Statements db(path);                 // WAL, synchronous=FULL, 5 s busy timeout, bounded cache
//   sqlite3_stmt* s = db.prepared("select yhm from tdgl where id=?");
//   Use use(s);                          // reset and unbound when the scope ends
//   db.bindAll(s, params, 0);
//   while (db.step(s)) names.push_back(Statements::read(s, 0));
//
// A statement is prepared once per text and kept; when 256 are kept they are
// all finalised at once, so no statement may be held across a call of
// prepared() (each use is one scope).
// Threads: one thread at a time.
// Errors: data::Error with SQLite's message (and the text, when it does not prepare).
#pragma once

#include <sqlite3.h>

#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/engine.h"

namespace tovi::data::internal {

// Page cache of one connection, in KiB. A reader's cache is emptied at its
// first read after another connection's commit (WAL), so it only ever needs
// what one read touches; the writer's keeps the pages its commits come back
// to. Bounded, so that the memory of a server whose file grows stops growing
// once the caches are full (see openEngine for how many connections there are).
constexpr int kReaderCacheKiB = 512;
constexpr int kWriterCacheKiB = 2048;

class Statements {
 public:
  // Opens the existing file at `path` with a page cache of `cacheKiB`. Throws data::Error.
  explicit Statements(const std::string& path, int cacheKiB = kReaderCacheKiB);
  ~Statements();
  Statements(const Statements&) = delete;
  Statements& operator=(const Statements&) = delete;

  sqlite3* db() const { return db_; }

  // The statement for `text`, prepared on first use.
  sqlite3_stmt* prepared(const std::string& text);
  // Runs a statement that gives no rows worth reading (pragmas, transaction control).
  void run(const std::string& text);
  // Steps once: true when a row is ready, false when done.
  bool step(sqlite3_stmt* s);
  // Throws data::Error unless `rc` is SQLITE_OK.
  void check(int rc) const;

  // Binds the values in order; `extra` marks are left for the caller.
  // Returns the values bound. Throws when the count of marks differs.
  int bindAll(sqlite3_stmt* s, std::span<const Value> params, int extra);
  void bind(sqlite3_stmt* s, int i, const Value& v);
  void bindText(sqlite3_stmt* s, int i, const std::string& text);
  void bindInt(sqlite3_stmt* s, int i, std::int64_t v);

  // The planner's steps for a statement, one line each; empty when it does not prepare.
  std::vector<std::string> plan(const std::string& text);

  // The columns of a statement's result from column `skip` on.
  static std::vector<Column> columnsOf(sqlite3_stmt* s, int skip);
  // Column `c` of the present row, as its declared type reads it.
  static Value read(sqlite3_stmt* s, int c);

 private:
  sqlite3* db_ = nullptr;
  std::unordered_map<std::string, sqlite3_stmt*> cache_;
};

// Resets a statement when the call that uses it ends, however it ends.
class Use {
 public:
  explicit Use(sqlite3_stmt* s) : s_(s) {}
  ~Use() {
    sqlite3_reset(s_);
    sqlite3_clear_bindings(s_);
  }
  Use(const Use&) = delete;
  Use& operator=(const Use&) = delete;

 private:
  sqlite3_stmt* s_;
};

}  // namespace tovi::data::internal
