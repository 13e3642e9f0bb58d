// The file engine: SQLite through its C interface.
//
// Durability: WAL journal with synchronous=FULL, so a commit is on disk when it
// returns. Throughput: every write of this process to one file goes through
// that file's WriteQueue. The first writer to find no commit in progress leads:
// it takes every write queued so far, runs them in one transaction (each in
// its own savepoint, so one failing write fails alone) and commits once; the
// others wait until the commit that holds their write is done. One fsync then
// serves as many orders as arrived during the previous one, and writers of
// this process never wait on each other's locks.
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <unordered_map>

#include "data/connection.h"
#include "data/engine.h"

namespace tovi::data {
namespace {

class SqliteEngine;

struct WriteJob {
  std::function<std::int64_t(SqliteEngine&)> work;
  std::int64_t result = 0;
  std::exception_ptr error;
  bool done = false;
};

class WriteQueue {
 public:
  std::int64_t run(SqliteEngine& self, std::function<std::int64_t(SqliteEngine&)> work);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<WriteJob*> pending_;
  bool leading_ = false;
};

struct FileId {
  dev_t dev = 0;
  ino_t ino = 0;
  friend auto operator<=>(const FileId&, const FileId&) = default;
};

std::shared_ptr<WriteQueue> queueFor(FileId id) {
  static std::mutex mutex;
  static std::map<FileId, std::weak_ptr<WriteQueue>> queues;
  std::lock_guard lock(mutex);
  for (auto it = queues.begin(); it != queues.end();) it = it->second.expired() ? queues.erase(it) : std::next(it);
  auto& slot = queues[id];
  auto q = slot.lock();
  if (!q) {
    q = std::make_shared<WriteQueue>();
    slot = q;
  }
  return q;
}

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
  sqlite3_stmt* get() const { return s_; }

 private:
  sqlite3_stmt* s_;
};

class SqliteEngine final : public Engine {
 public:
  SqliteEngine(const std::string& path, FileId id) : path_(path), id_(id) {
    int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
      std::string msg = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
      sqlite3_close_v2(db_);
      throw Error("cannot open database " + path + ": " + msg);
    }
    try {
      sqlite3_extended_result_codes(db_, 1);
      // A misspelt quoted name must fail, not turn into a text literal.
      sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
      sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
      sqlite3_busy_timeout(db_, 5000);
      run("pragma journal_mode=wal");
      run("pragma synchronous=full");
      // Lists read through the file mapping rather than a read call per page.
      run("pragma mmap_size=268435456");
    } catch (...) {
      sqlite3_close_v2(db_);
      throw;
    }
    queue_ = queueFor(id);
  }

  ~SqliteEngine() override {
    for (auto& [text, stmt] : cache_) sqlite3_finalize(stmt);
    sqlite3_close_v2(db_);
  }

  const std::string& path() const { return path_; }
  FileId id() const { return id_; }

  int execute(const jet::Statement& st, std::span<const Value> params) override {
    sqlite3_stmt* s = prepared(st.text);
    if (sqlite3_stmt_readonly(s)) {
      Use use(s);
      bindAll(s, params, 0);
      while (step(s)) {
      }
      return 0;
    }
    return static_cast<int>(queue_->run(*this, [&](SqliteEngine& leader) -> std::int64_t {
      sqlite3_stmt* w = leader.prepared(st.text);
      Use use(w);
      leader.bindAll(w, params, 0);
      while (leader.step(w)) {
      }
      return sqlite3_changes(leader.db_);
    }));
  }

  std::size_t fetch(const jet::Statement& st, std::span<const Value> params, std::int64_t offset, std::int64_t limit,
                    std::vector<Row>& out, std::vector<Column>* columns) override {
    if (st.top) limit = std::min(limit, std::max<std::int64_t>(0, *st.top - offset));
    if (columns) *columns = describe(st);
    if (limit <= 0) return 0;
    if (st.table.empty()) {
      sqlite3_stmt* s = prepared(st.text + " limit ? offset ?");
      Use use(s);
      int n = bindAll(s, params, 2);
      check(sqlite3_bind_int64(s, n + 1, limit));
      check(sqlite3_bind_int64(s, n + 2, offset));
      std::size_t added = 0;
      int cols = sqlite3_column_count(s);
      while (step(s)) {
        Row row;
        row.reserve(static_cast<std::size_t>(cols) + 1);
        row.push_back(Value::null());
        for (int c = 0; c < cols; ++c) row.push_back(read(s, c));
        out.push_back(std::move(row));
        ++added;
      }
      return added;
    }
    // One table's rows: the window's keys first, which the indexes of the
    // lists answer without touching the rows they skip, then those rows by key,
    // all in one read snapshot.
    std::vector<std::int64_t> keys;
    run("begin");
    try {
      const std::vector<std::int64_t>* known = cachedKeys(st, params);
      // Far into a list, reading all its keys once costs what one deep window
      // costs, and serves the count and every later page until the file changes.
      if (!known && offset > 1000) known = &allKeys(st, params);
      if (known) {
        auto from = std::min<std::size_t>(static_cast<std::size_t>(offset), known->size());
        auto to = std::min<std::size_t>(from + static_cast<std::size_t>(limit), known->size());
        keys.assign(known->begin() + static_cast<long>(from), known->begin() + static_cast<long>(to));
      } else {
        sqlite3_stmt* s = prepared(keysText(st));
        Use use(s);
        int n = bindAll(s, params, 2);
        check(sqlite3_bind_int64(s, n + 1, limit));
        check(sqlite3_bind_int64(s, n + 2, offset));
        while (step(s)) keys.push_back(sqlite3_column_int64(s, 0));
      }
      std::size_t added = 0;
      for (std::int64_t key : keys) {
        if (auto r = row(st.table, key)) {
          out.push_back(std::move(*r));
          ++added;
        }
      }
      run("commit");
      return added;
    } catch (...) {
      sqlite3_exec(db_, "rollback", nullptr, nullptr, nullptr);
      throw;
    }
  }

  std::vector<Column> describe(const jet::Statement& st) override {
    if (st.table.empty()) return columnsOf(prepared(st.text + " limit ? offset ?"), 0);
    prepared(keysText(st));  // the condition and ordering are checked here, before any row is wanted
    return columnsOf(prepared(rowText(st.table)), 1);
  }

  std::int64_t count(const jet::Statement& st, std::span<const Value> params) override {
    std::int64_t n = 0;
    if (st.table.empty()) {
      sqlite3_stmt* s = prepared("select count(*) from (" + st.text + ")");
      Use use(s);
      bindAll(s, params, 0);
      n = step(s) ? sqlite3_column_int64(s, 0) : 0;
    } else {
      n = static_cast<std::int64_t>(allKeys(st, params).size());
    }
    return st.top ? std::min(n, *st.top) : n;
  }

  std::optional<Row> row(const std::string& table, std::int64_t rowid) override {
    sqlite3_stmt* s = prepared(rowText(table));
    Use use(s);
    check(sqlite3_bind_int64(s, 1, rowid));
    if (!step(s)) return std::nullopt;
    Row r;
    int cols = sqlite3_column_count(s);
    for (int c = 0; c < cols; ++c) r.push_back(read(s, c));
    return r;
  }

  std::int64_t insert(const std::string& table, const std::vector<std::string>& columns,
                      const std::vector<Value>& values) override {
    std::string text = "insert into " + table;
    if (columns.empty()) {
      text += " default values";
    } else {
      std::string names, marks;
      for (const auto& c : columns) {
        names += (names.empty() ? "" : ", ") + jet::quoteName(c);
        marks += marks.empty() ? "?" : ", ?";
      }
      text += " (" + names + ") values (" + marks + ")";
    }
    return queue_->run(*this, [&](SqliteEngine& leader) -> std::int64_t {
      sqlite3_stmt* s = leader.prepared(text);
      Use use(s);
      leader.bindAll(s, values, 0);
      leader.step(s);
      return sqlite3_last_insert_rowid(leader.db_);
    });
  }

  bool update(const std::string& table, std::int64_t rowid, const std::vector<std::string>& columns,
              const std::vector<Value>& values) override {
    if (columns.empty()) return true;
    std::string sets;
    for (const auto& c : columns) sets += (sets.empty() ? "" : ", ") + jet::quoteName(c) + "=?";
    std::string text = "update " + table + " set " + sets + " where rowid=?";
    std::vector<Value> all(values);
    all.emplace_back(static_cast<long long>(rowid));
    return queue_->run(*this, [&](SqliteEngine& leader) -> std::int64_t {
             sqlite3_stmt* s = leader.prepared(text);
             Use use(s);
             leader.bindAll(s, all, 0);
             leader.step(s);
             return sqlite3_changes(leader.db_);
           }) > 0;
  }

  // Runs one batch of writes in one transaction; every job gets its result or its error.
  void commitBatch(const std::vector<WriteJob*>& batch) noexcept {
    try {
      run("begin immediate");
    } catch (...) {
      for (auto* j : batch) j->error = std::current_exception();
      return;
    }
    bool single = batch.size() == 1;
    bool anyDone = false;
    for (auto* j : batch) {
      try {
        if (!single) run("savepoint w");
        j->result = j->work(*this);
        if (!single) run("release w");
        anyDone = true;
      } catch (...) {
        j->error = std::current_exception();
        if (!single) {
          try {
            run("rollback to w");
            run("release w");
          } catch (...) {
          }
        }
      }
    }
    try {
      run(anyDone ? "commit" : "rollback");
    } catch (...) {
      auto failure = std::current_exception();
      for (auto* j : batch)
        if (!j->error) j->error = failure;
      sqlite3_exec(db_, "rollback", nullptr, nullptr, nullptr);
    }
  }

 private:
  void check(int rc) const {
    if (rc != SQLITE_OK) throw Error(std::string("database: ") + sqlite3_errmsg(db_));
  }

  // Steps once: true when a row is ready, false when done.
  bool step(sqlite3_stmt* s) {
    int rc = sqlite3_step(s);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw Error(std::string("database: ") + sqlite3_errmsg(db_));
  }

  void run(const std::string& text) {
    sqlite3_stmt* s = prepared(text);
    Use use(s);
    while (step(s)) {
    }
  }

  sqlite3_stmt* prepared(const std::string& text) {
    if (auto it = cache_.find(text); it != cache_.end()) return it->second;
    // No statement is held across calls, so a full cache can be emptied here.
    if (cache_.size() >= 256) {
      for (auto& [t, stmt] : cache_) sqlite3_finalize(stmt);
      cache_.clear();
    }
    sqlite3_stmt* s = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v3(db_, text.c_str(), static_cast<int>(text.size()), SQLITE_PREPARE_PERSISTENT, &s,
                                &tail);
    if (rc != SQLITE_OK) {
      std::string msg = sqlite3_errmsg(db_);
      sqlite3_finalize(s);
      throw Error("database: " + msg + " in: " + text.substr(0, 300));
    }
    if (s == nullptr) throw Error("database: empty statement");
    cache_.emplace(text, s);
    return s;
  }

  // Binds the values in order; `extra` marks are left for the caller. Returns the values bound.
  int bindAll(sqlite3_stmt* s, std::span<const Value> params, int extra) {
    int marks = sqlite3_bind_parameter_count(s) - extra;
    if (marks != static_cast<int>(params.size()))
      throw Error("statement has " + std::to_string(marks) + " parameter marks but " + std::to_string(params.size()) +
                  " values were given");
    int i = 0;
    for (const Value& v : params) bind(s, ++i, v);
    return i;
  }

  void bind(sqlite3_stmt* s, int i, const Value& v) {
    std::visit(
        [&](const auto& x) {
          using T = std::decay_t<decltype(x)>;
          if constexpr (std::is_same_v<T, std::int64_t>) {
            check(sqlite3_bind_int64(s, i, x));
          } else if constexpr (std::is_same_v<T, double>) {
            check(sqlite3_bind_double(s, i, x));
          } else if constexpr (std::is_same_v<T, std::string>) {
            check(sqlite3_bind_text64(s, i, x.data(), x.size(), SQLITE_STATIC, SQLITE_UTF8));
          } else if constexpr (std::is_same_v<T, DateTime>) {
            std::string iso = x.iso();
            check(sqlite3_bind_text64(s, i, iso.data(), iso.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
          } else if constexpr (std::is_same_v<T, bool>) {
            check(sqlite3_bind_int(s, i, x ? 1 : 0));
          } else {
            check(sqlite3_bind_null(s, i));
          }
        },
        v.raw());
  }

  static std::vector<Column> columnsOf(sqlite3_stmt* s, int skip) {
    std::vector<Column> cols;
    int n = sqlite3_column_count(s);
    for (int c = skip; c < n; ++c) {
      const char* decl = sqlite3_column_decltype(s, c);
      cols.push_back({sqlite3_column_name(s, c), columnTypeOf(decl ? decl : "")});
    }
    return cols;
  }

  static Value read(sqlite3_stmt* s, int c) {
    const char* decl = sqlite3_column_decltype(s, c);
    ColumnType type = columnTypeOf(decl ? decl : "");
    switch (sqlite3_column_type(s, c)) {
      case SQLITE_NULL:
        return Value::null();
      case SQLITE_INTEGER: {
        auto v = static_cast<long long>(sqlite3_column_int64(s, c));
        if (type == ColumnType::Boolean) return Value(v != 0);
        if (type == ColumnType::Decimal) return Value(static_cast<double>(v));
        return Value(v);
      }
      case SQLITE_FLOAT: {
        double d = sqlite3_column_double(s, c);
        if (type == ColumnType::Boolean) return Value(d != 0);
        return Value(d);
      }
      default: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, c));
        std::string_view text(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(s, c)));
        if (type == ColumnType::Date)
          if (auto d = DateTime::parse(text)) return Value(*d);
        return Value(text);
      }
    }
  }

  // The keys of every row of a one-table select, in its order; kept for reuse
  // until this file changes (by anyone).
  struct KeyList {
    std::string text;
    std::vector<Value> params;
    std::int64_t version = 0, changes = 0;
    std::vector<std::int64_t> keys;
  };

  std::pair<std::int64_t, std::int64_t> fileVersion() {
    sqlite3_stmt* s = prepared("pragma data_version");
    Use use(s);
    std::int64_t v = step(s) ? sqlite3_column_int64(s, 0) : 0;
    return {v, static_cast<std::int64_t>(sqlite3_total_changes64(db_))};
  }

  const std::vector<std::int64_t>* cachedKeys(const jet::Statement& st, std::span<const Value> params) {
    if (!keys_ || keys_->text != st.text || !std::equal(keys_->params.begin(), keys_->params.end(), params.begin(),
                                                         params.end()))
      return nullptr;
    if (fileVersion() != std::pair{keys_->version, keys_->changes}) return nullptr;
    return &keys_->keys;
  }

  const std::vector<std::int64_t>& allKeys(const jet::Statement& st, std::span<const Value> params) {
    if (const auto* known = cachedKeys(st, params)) return *known;
    KeyList list;
    std::tie(list.version, list.changes) = fileVersion();
    list.text = st.text;
    list.params.assign(params.begin(), params.end());
    std::string text = keysText(st);
    text.erase(text.size() - std::string(" limit ? offset ?").size());
    sqlite3_stmt* s = prepared(text);
    Use use(s);
    bindAll(s, params, 0);
    while (step(s)) list.keys.push_back(sqlite3_column_int64(s, 0));
    keys_ = std::move(list);
    return keys_->keys;
  }

  static std::string rowText(const std::string& table) {
    return "select " + table + ".rowid, * from " + table + " where rowid=?";
  }

  // The keys of a window of one table's rows. Without an ordering the rows come
  // in key order; ties of an ordering come in the order of the index or sort
  // that answers it, which is the same for every window of the query.
  static std::string keysText(const jet::Statement& st) {
    std::string text = "select " + st.table + ".rowid from " + st.table;
    if (!st.where.empty()) text += " where " + st.where;
    text += " order by " + (st.orderBy.empty() ? std::string("rowid") : st.orderBy);
    return text + " limit ? offset ?";
  }

  std::string path_;
  FileId id_;
  sqlite3* db_ = nullptr;
  std::shared_ptr<WriteQueue> queue_;
  std::unordered_map<std::string, sqlite3_stmt*> cache_;
  std::optional<KeyList> keys_;
};

std::int64_t WriteQueue::run(SqliteEngine& self, std::function<std::int64_t(SqliteEngine&)> work) {
  WriteJob job;
  job.work = std::move(work);
  std::unique_lock lock(mutex_);
  pending_.push_back(&job);
  while (!job.done) {
    if (leading_) {
      changed_.wait(lock);
      continue;
    }
    leading_ = true;
    std::vector<WriteJob*> batch;
    batch.swap(pending_);
    lock.unlock();
    self.commitBatch(batch);
    lock.lock();
    for (auto* j : batch) j->done = true;
    leading_ = false;
    changed_.notify_all();
  }
  if (job.error) std::rethrow_exception(job.error);
  return job.result;
}

}  // namespace

std::shared_ptr<Engine> openEngine(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    throw Error("database file not found: " + path);
  FileId id{st.st_dev, st.st_ino};
  // Most recently used first; a handful of files per thread at most (tests open many).
  thread_local std::vector<std::shared_ptr<SqliteEngine>> pool;
  for (auto it = pool.begin(); it != pool.end(); ++it) {
    if ((*it)->path() != path) continue;
    if ((*it)->id() != id) {  // the file was replaced: its old engine is of no use
      pool.erase(it);
      break;
    }
    std::rotate(pool.begin(), it, it + 1);
    return pool.front();
  }
  auto engine = std::make_shared<SqliteEngine>(path, id);
  pool.insert(pool.begin(), engine);
  if (pool.size() > 8) pool.pop_back();
  return engine;
}

}  // namespace tovi::data
