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
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <unordered_map>

#include "data/change_stamp.h"
#include "data/connection.h"
#include "data/engine.h"
#include "data/schema.h"

namespace tovi::data {
namespace {

class SqliteEngine;

struct WriteJob {
  std::function<std::int64_t(SqliteEngine&)> work;
  std::int64_t result = 0;
  std::exception_ptr error;
  bool done = false;
};

// Generations of files' contents, drawn from one counter so that no value is
// ever handed out twice in this process.
std::uint64_t freshGeneration() {
  static std::atomic<std::uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

class WriteQueue {
 public:
  std::int64_t run(SqliteEngine& self, std::function<std::int64_t(SqliteEngine&)> work);

  WriteQueue() = default;
  WriteQueue(const WriteQueue&) = delete;
  WriteQueue& operator=(const WriteQueue&) = delete;
  ~WriteQueue() {
    sqlite3_finalize(version_);
    sqlite3_close_v2(observer_);
  }

  // The file's present generation (see changeStamp); bump() moves it on.
  std::uint64_t generation() const { return generation_.load(std::memory_order_acquire); }
  void bump() { generation_.store(freshGeneration(), std::memory_order_release); }

  // The generation, moved on first when the file's observer sees a commit
  // since it last looked. The observer is one connection of its own that
  // never writes, so its data_version moves for every commit to the file, by
  // any connection of this process or another program, and one commit moves
  // the generation once, whichever thread looks first.
  std::uint64_t observe(const std::string& path) {
    std::lock_guard lock(observeMutex_);
    if (!observer_) openObserver(path);
    std::int64_t v = 0;
    int rc = sqlite3_step(version_);
    if (rc == SQLITE_ROW) v = sqlite3_column_int64(version_, 0);
    sqlite3_reset(version_);
    if (rc != SQLITE_ROW) throw Error(std::string("database: ") + sqlite3_errmsg(observer_));
    if (!seen_ || *seen_ != v) {
      seen_ = v;
      bump();
    }
    return generation();
  }

 private:
  void openObserver(const std::string& path) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) {
      // No busy wait: a file locked at that moment is an error the caller
      // treats as "changed" (the stamp is read on the server's I/O thread).
      sqlite3_busy_timeout(db, 0);
      rc = sqlite3_prepare_v2(db, "pragma data_version", -1, &version_, nullptr);
    }
    if (rc != SQLITE_OK) {
      std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
      sqlite3_finalize(version_);
      version_ = nullptr;
      sqlite3_close_v2(db);
      throw Error("cannot open database " + path + ": " + msg);
    }
    observer_ = db;
  }

  std::atomic<std::uint64_t> generation_{freshGeneration()};
  std::mutex observeMutex_;
  sqlite3* observer_ = nullptr;
  sqlite3_stmt* version_ = nullptr;
  std::optional<std::int64_t> seen_;
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

  std::uint64_t changeStamp() { return queue_->observe(path_); }

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
    run("begin");
    try {
      std::vector<std::int64_t> keys = windowKeys(st, params, offset, limit);
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
    prepared(keysText(st, false));  // the condition and ordering are checked here, before any row is wanted
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
      n = tableCount(st, params);
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

  // What is known of one one-table select with its values, at one version of
  // the file: its count, the windows read so far, or all its keys in order.
  // Forgotten as soon as the file changes (by anyone).
  struct ListState {
    std::string text;
    std::vector<Value> params;
    std::pair<std::int64_t, std::int64_t> version;
    std::optional<std::int64_t> count;
    struct Window {
      std::int64_t offset = 0, limit = 0;
      std::vector<std::int64_t> keys;
    };
    std::deque<Window> windows;  // most recent first
    std::optional<std::vector<std::int64_t>> keys;
    bool searched = false;  // whether a name search was tried for all the keys
  };

  // Deeper than this, a window is reached from whichever end of the list is nearer.
  static constexpr std::int64_t kDeep = 1000;

  std::pair<std::int64_t, std::int64_t> fileVersion() {
    sqlite3_stmt* s = prepared("pragma data_version");
    Use use(s);
    std::int64_t v = step(s) ? sqlite3_column_int64(s, 0) : 0;
    return {v, static_cast<std::int64_t>(sqlite3_total_changes64(db_))};
  }

  // The state of a list at the file's present version. The version is read
  // before the list is, so a change landing in between makes the state look
  // older than it is, never newer.
  ListState& list(const jet::Statement& st, std::span<const Value> params) {
    auto version = fileVersion();
    for (auto it = lists_.begin(); it != lists_.end(); ++it) {
      if (it->text != st.text || !std::equal(it->params.begin(), it->params.end(), params.begin(), params.end()))
        continue;
      if (it->version != version) {
        lists_.erase(it);
        break;
      }
      if (it != lists_.begin()) {
        ListState moved = std::move(*it);
        lists_.erase(it);
        lists_.push_front(std::move(moved));
      }
      return lists_.front();
    }
    ListState fresh;
    fresh.text = st.text;
    fresh.params.assign(params.begin(), params.end());
    fresh.version = version;
    lists_.push_front(std::move(fresh));
    if (lists_.size() > 4) lists_.pop_back();
    return lists_.front();
  }

  // Counted by the engine over the narrowest index that holds the condition's columns.
  // A condition that reads only a tally's group column is counted from the
  // tally; one with a name a name search can narrow, by reading its keys.
  std::int64_t tableCount(const jet::Statement& st, std::span<const Value> params, ListState& l) {
    if (l.keys) return static_cast<std::int64_t>(l.keys->size());
    if (!l.count && searchAll(st, params, l)) return static_cast<std::int64_t>(l.keys->size());
    if (!l.count) {
      std::string text = "select count(*) from " + st.table;
      if (const Tally* t = tallyFor(st)) text = "select coalesce(sum(n), 0) from " + jet::quoteName(t->name);
      if (!st.where.empty()) text += " where " + st.where;
      sqlite3_stmt* s = prepared(text);
      Use use(s);
      bindAll(s, params, 0);
      l.count = step(s) ? sqlite3_column_int64(s, 0) : 0;
    }
    return *l.count;
  }

  std::int64_t tableCount(const jet::Statement& st, std::span<const Value> params) {
    return tableCount(st, params, list(st, params));
  }

  static std::vector<std::int64_t> slice(const std::vector<std::int64_t>& keys, std::int64_t offset,
                                         std::int64_t limit) {
    auto from = std::min<std::size_t>(static_cast<std::size_t>(offset), keys.size());
    auto to = std::min<std::size_t>(from + static_cast<std::size_t>(limit), keys.size());
    return {keys.begin() + static_cast<long>(from), keys.begin() + static_cast<long>(to)};
  }

  // The keys of rows [offset, offset + limit) of a one-table select. A window
  // near the start is read from the start. A deep one is read from the nearer
  // end over the index that orders the list, without the rows it skips. A
  // deep window that continues the previous one (a walk through the list)
  // reads all keys once; they serve every window until the file changes.
  std::vector<std::int64_t> windowKeys(const jet::Statement& st, std::span<const Value> params, std::int64_t offset,
                                       std::int64_t limit) {
    ListState& l = list(st, params);
    if (l.keys || searchAll(st, params, l)) return slice(*l.keys, offset, limit);
    for (const auto& w : l.windows)
      if (w.offset == offset && w.limit == limit) return w.keys;
    const bool deep = offset > kDeep;
    if (deep)
      if (auto keys = tallyWindow(st, params, l, offset, limit)) {
        l.windows.push_front({offset, limit, *keys});
        if (l.windows.size() > 8) l.windows.pop_back();
        return *keys;
      }
    const bool walking =
        std::any_of(l.windows.begin(), l.windows.end(), [&](const auto& w) { return w.offset + w.limit == offset; });
    if (deep && walking) {
      std::string text = keysText(st, false);
      sqlite3_stmt* s = prepared(text);
      Use use(s);
      bindAll(s, params, 0);
      std::vector<std::int64_t> all;
      while (step(s)) all.push_back(sqlite3_column_int64(s, 0));
      l.windows.clear();
      l.keys = std::move(all);
      return slice(*l.keys, offset, limit);
    }
    std::vector<std::int64_t> keys;
    bool reverse = false;
    std::int64_t from = offset, rows = limit;
    if (deep) {
      std::int64_t total = tableCount(st, params, l);
      std::int64_t rest = total - offset;
      if (rest <= 0) return keys;
      if (rest < offset && !st.top && reversible(st)) {
        reverse = true;
        rows = std::min(limit, rest);
        from = rest - rows;
      }
    }
    sqlite3_stmt* s = prepared(keysText(st, reverse) + " limit ? offset ?");
    Use use(s);
    int n = bindAll(s, params, 2);
    check(sqlite3_bind_int64(s, n + 1, rows));
    check(sqlite3_bind_int64(s, n + 2, from));
    while (step(s)) keys.push_back(sqlite3_column_int64(s, 0));
    if (reverse) std::reverse(keys.begin(), keys.end());
    l.windows.push_front({offset, limit, keys});
    if (l.windows.size() > 8) l.windows.pop_back();
    return keys;
  }

  static std::string rowText(const std::string& table) {
    return "select " + table + ".rowid, * from " + table + " where rowid=?";
  }

  // The terms of an ordering, split at the commas outside quotes and brackets.
  static std::vector<std::string> splitTerms(const std::string& order) {
    std::vector<std::string> terms;
    std::string term;
    int depth = 0;
    char quote = 0;
    for (char c : order) {
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '(') {
        ++depth;
      } else if (c == ')') {
        --depth;
      } else if (c == ',' && depth == 0) {
        terms.push_back(term);
        term.clear();
        continue;
      }
      term += c;
    }
    terms.push_back(term);
    return terms;
  }

  // The ordering with every term turned the other way; empty when a term says
  // where nulls go (turning it would not reverse the rows).
  static std::string reversedOrder(const std::string& order) {
    std::string out;
    for (std::string t : splitTerms(order)) {
      while (!t.empty() && t.back() == ' ') t.pop_back();
      std::string upper(t);
      std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
      if (upper.find("NULLS") != std::string::npos) return {};
      if (upper.ends_with(" DESC")) t = t.substr(0, t.size() - 5) + " asc";
      else if (upper.ends_with(" ASC")) t = t.substr(0, t.size() - 4) + " desc";
      else t += " desc";
      out += (out.empty() ? "" : ", ") + t;
    }
    return out;
  }

  // The keys of one table's select in its order (or the reverse). Without an
  // ordering the rows come in key order; ties of an ordering come in the order
  // of the index or sort that answers it, which is the same for every window.
  static std::string keysText(const jet::Statement& st, bool reverse) {
    std::string order = st.orderBy.empty() ? std::string("rowid") : st.orderBy;
    if (reverse) order = reversedOrder(order);
    std::string text = "select " + st.table + ".rowid from " + st.table;
    if (!st.where.empty()) text += " where " + st.where;
    return text + " order by " + order;
  }

  // The planner's steps for a statement, one line each.
  std::vector<std::string> plan(const std::string& text) {
    sqlite3_stmt* s = nullptr;
    std::string q = "explain query plan " + text;
    if (sqlite3_prepare_v2(db_, q.c_str(), static_cast<int>(q.size()), &s, nullptr) != SQLITE_OK) {
      sqlite3_finalize(s);
      return {};
    }
    std::vector<std::string> lines;
    while (sqlite3_step(s) == SQLITE_ROW) {
      const auto* d = reinterpret_cast<const char*>(sqlite3_column_text(s, 3));
      lines.emplace_back(d ? d : "");
    }
    sqlite3_finalize(s);
    return lines;
  }

  // Whether reading a list backwards gives exactly its rows in reverse, ties
  // included: true when both directions are one walk of the same index with
  // no sort, which visits the same entries in opposite orders.
  bool reversible(const jet::Statement& st) {
    checkSchema();
    if (auto it = reversible_.find(st.text); it != reversible_.end()) return it->second;
    bool ok = false;
    if (!reversedOrder(st.orderBy.empty() ? std::string("rowid") : st.orderBy).empty()) {
      auto forward = plan(keysText(st, false)), backward = plan(keysText(st, true));
      ok = forward.size() == 1 && forward == backward && forward[0].find("TEMP B-TREE") == std::string::npos;
    }
    if (reversible_.size() > 256) reversible_.clear();
    reversible_.emplace(st.text, ok);
    return ok;
  }

  std::string path_;
  FileId id_;
  sqlite3* db_ = nullptr;
  std::shared_ptr<WriteQueue> queue_;
  std::unordered_map<std::string, sqlite3_stmt*> cache_;
  std::deque<ListState> lists_;  // most recently used first
  // Plans follow the indexes and the helper tables may come and go (a restored
  // copy), so what is learnt of them holds for one schema version.
  void checkSchema() {
    sqlite3_stmt* v = prepared("pragma schema_version");
    std::int64_t schema = 0;
    {
      Use use(v);
      schema = step(v) ? sqlite3_column_int64(v, 0) : 0;
    }
    if (schema == schema_) return;
    reversible_.clear();
    ties_.clear();
    bounded_.clear();
    helpers_.clear();
    std::set<std::string> names;
    {
      sqlite3_stmt* s = prepared("select lower(name) from sqlite_schema where type in ('table', 'trigger')");
      Use use(s);
      while (step(s)) names.insert(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
    }
    auto present = [&](const std::string& helper) {
      if (!names.count(lowerText(helper))) return;
      for (const auto& trigger : triggersOf(helper))
        if (!names.count(lowerText(trigger))) return;
      helpers_.insert(lowerText(helper));
    };
    for (const Tally& t : tallies()) present(t.name);
    for (const NameSearch& n : nameSearches()) present(n.name);
    schema_ = schema;
  }

  static std::string lowerText(std::string s) {
    for (char& c : s)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
  }
  static bool sameTable(const jet::Statement& st, const char* table) {
    return lowerText(st.table) == lowerText(jet::quoteName(table));
  }

  // The index a statement's plan walks, when the plan is that one walk with no sort; else empty.
  std::string walkedIndex(const std::string& text) {
    auto lines = plan(text);
    if (lines.size() != 1 || lines[0].find("TEMP B-TREE") != std::string::npos) return {};
    auto at = lines[0].find("INDEX ");
    if (at == std::string::npos) return {};
    std::string name = lines[0].substr(at + 6);
    return name.substr(0, name.find(' '));
  }

  // Whether the ordering is the one column, and which way: true for descending.
  static std::optional<bool> orderedBy(const std::string& orderBy, const char* column) {
    std::string o = lowerText(orderBy), c = lowerText(jet::quoteName(column));
    if (o == c || o == c + " asc") return false;
    if (o == c + " desc") return true;
    return std::nullopt;
  }

  // Whether a condition is `column = ?`, `column = n` or `column in (n, ...)`
  // with whole numbers n: one that reads only the column and holds for no row
  // whose value is null (which a tally does not count).
  static bool valueCondition(const std::string& where, const char* column) {
    const std::string name = lowerText(jet::quoteName(column)) + " ";
    if (!lowerText(where).starts_with(name)) return false;
    std::string_view rest = std::string_view(where).substr(name.size());
    auto number = [&] {
      std::size_t n = !rest.empty() && rest.front() == '-' ? 1 : 0, digits = n;
      while (n < rest.size() && rest[n] >= '0' && rest[n] <= '9') ++n;
      if (n == digits) return false;
      rest.remove_prefix(n);
      return true;
    };
    if (rest == "= ?") return true;
    if (rest.starts_with("= ")) {
      rest.remove_prefix(2);
      return number() && rest.empty();
    }
    if (!rest.starts_with("in (")) return false;
    rest.remove_prefix(4);
    while (number()) {
      if (rest == ")") return true;
      if (!rest.starts_with(", ")) return false;
      rest.remove_prefix(2);
    }
    return false;
  }

  // The tally that counts a one-table select's rows: one the file has, whose
  // group column is what the condition asks for (valueCondition).
  const Tally* tallyFor(const jet::Statement& st) {
    if (st.where.empty()) return nullptr;
    checkSchema();
    for (const Tally& t : tallies())
      if (helpers_.count(lowerText(t.name)) && sameTable(st, t.table) && valueCondition(st.where, t.group)) return &t;
    return nullptr;
  }

  // The keys of a deep window of a list in the order of the tally's day
  // column, found from the tally: the day that holds the window's first row
  // and how many of the list's rows come before it; then the window is read
  // from that day on. Empty when the tally cannot place every row of the list
  // (a time that is no date text), or when the list read from a day on would
  // not walk the same index as the whole list (so its ties would differ).
  std::optional<std::vector<std::int64_t>> tallyWindow(const jet::Statement& st, std::span<const Value> params,
                                                       ListState& l, std::int64_t offset, std::int64_t limit) {
    if (st.top) return std::nullopt;
    const Tally* t = tallyFor(st);
    if (!t) return std::nullopt;
    const std::optional<bool> desc = orderedBy(st.orderBy, t->day);
    if (!desc) return std::nullopt;
    const std::string from = "select " + st.table + ".rowid from " + st.table + " where (" + st.where + ") and " +
                             jet::quoteName(t->day) + (*desc ? " < ?" : " >= ?") + " order by " + st.orderBy;
    auto known = bounded_.find(st.text);
    if (known == bounded_.end()) {
      const std::string index = walkedIndex(keysText(st, false));
      if (bounded_.size() > 256) bounded_.clear();
      known = bounded_.emplace(st.text, !index.empty() && walkedIndex(from) == index).first;
    }
    if (!known->second) return std::nullopt;

    std::vector<std::pair<std::string, std::int64_t>> days;
    {
      sqlite3_stmt* s = prepared("select day, sum(n) from " + jet::quoteName(t->name) + " where " + st.where +
                                 " group by day having sum(n) > 0 order by day " + (*desc ? "desc" : "asc"));
      Use use(s);
      bindAll(s, params, 0);
      while (step(s)) {
        const auto* d = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        days.emplace_back(d ? d : "", sqlite3_column_int64(s, 1));
        if (days.back().first.size() != 10) return std::nullopt;
      }
    }
    std::int64_t before = 0;
    std::size_t at = 0;
    while (at < days.size() && before + days[at].second <= offset) before += days[at++].second;
    if (!l.count) {
      std::int64_t total = before;
      for (std::size_t i = at; i < days.size(); ++i) total += days[i].second;
      l.count = total;
    }
    std::vector<std::int64_t> keys;
    if (at == days.size()) return keys;
    // Descending: every row before the day's end; ascending: every row from its start.
    std::string bound = days[at].first;
    if (*desc) ++bound.back();
    sqlite3_stmt* s = prepared(from + " limit ? offset ?");
    Use use(s);
    int n = bindAll(s, params, 3);
    check(sqlite3_bind_text64(s, n + 1, bound.data(), bound.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
    check(sqlite3_bind_int64(s, n + 2, limit));
    check(sqlite3_bind_int64(s, n + 3, offset - before));
    while (step(s)) keys.push_back(sqlite3_column_int64(s, 0));
    return keys;
  }

  // The distinct trigrams (letters in lower case, as the name search keeps
  // them) of a `like` pattern's runs between wildcards; every text the
  // pattern matches holds each of them. Empty when no run has three
  // characters, or the pattern holds a NUL (where `like` stops reading it).
  static std::vector<std::string> patternGrams(std::string_view pattern) {
    std::vector<std::string> grams;
    std::vector<std::size_t> starts;  // of the present run's characters
    for (std::size_t i = 0; i <= pattern.size(); ++i) {
      const char c = i < pattern.size() ? pattern[i] : '%';
      if (c == '\0') return {};
      if (c == '%' || c == '_') {
        for (std::size_t k = 0; k + 3 <= starts.size(); ++k) {
          const std::size_t end = k + 3 < starts.size() ? starts[k + 3] : i;
          std::string g = lowerText(std::string(pattern.substr(starts[k], end - starts[k])));
          if (std::find(grams.begin(), grams.end(), g) == grams.end()) grams.push_back(std::move(g));
        }
        starts.clear();
      } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
        starts.push_back(i);
      }
    }
    return grams;
  }

  // The ordering of the whole list's index walk, spelt out: the list's own
  // terms, then the walked index's other columns and the row key (`key`), all
  // in the walk's direction; with `columns` the names it may use (of the
  // name search's table, whose columns compare as the index's do). Empty when
  // the list is no walk of one index in one direction, or needs other columns.
  std::string walkOrder(const jet::Statement& st, const std::string& key, const std::set<std::string>& columns) {
    checkSchema();
    const std::string cacheKey = st.text + '\n' + key;
    if (auto it = ties_.find(cacheKey); it != ties_.end()) return it->second;
    std::string order;
    const std::string index = walkedIndex(keysText(st, false));
    std::optional<bool> desc;
    bool uniform = !st.orderBy.empty();
    std::set<std::string> ordered;  // the columns the list's own terms name
    for (std::string term : splitTerms(st.orderBy)) {
      term = lowerText(term);
      while (!term.empty() && term.front() == ' ') term.erase(0, 1);
      const bool d = term.ends_with(" desc");
      std::string name = term.substr(0, term.find(' '));
      ordered.insert(name);
      if (name.size() < 2 || name.front() != '"' || name.back() != '"' ||
          !columns.count(name.substr(1, name.size() - 2)) || (desc && *desc != d) ||
          (term != name && term != name + " asc" && term != name + " desc"))
        uniform = false;
      desc = d;
    }
    if (!index.empty() && uniform && index.find('"') == std::string::npos) {
      const std::string dir = *desc ? " desc" : " asc";
      order = st.orderBy;
      sqlite3_stmt* s = prepared("pragma index_xinfo(\"" + index + "\")");
      Use use(s);
      while (step(s)) {
        if (sqlite3_column_int(s, 5) == 0) continue;  // the row id, which is `key` here
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(s, 2));
        const auto* coll = reinterpret_cast<const char*>(sqlite3_column_text(s, 4));
        if (!name || !columns.count(lowerText(name)) || sqlite3_column_int(s, 3) != 0 || !coll ||
            lowerText(coll) != "binary") {
          order.clear();
          break;
        }
        // A column named twice would make the engine sort what the index gives in order.
        if (!ordered.count(lowerText(jet::quoteName(name)))) order += ", " + jet::quoteName(name) + dir;
      }
      if (!order.empty()) order += ", " + key + dir;
    }
    if (ties_.size() > 256) ties_.clear();
    ties_.emplace(cacheKey, order);
    return order;
  }

  // Rows of one trigram counted up to this many when choosing the rarest.
  static constexpr std::int64_t kGramCount = 4000;

  // All keys of a list whose condition has `column like ?` on a column with a
  // name search and reads only columns the search keeps: read from the
  // search's rows of the pattern's rarest trigram, narrowed by the whole
  // condition (the `like` itself included, so the rows are exactly the
  // condition's), in the order the list's own index walk gives them.
  // False, trying no more for this list, when no search applies.
  bool searchAll(const jet::Statement& st, std::span<const Value> params, ListState& l) {
    if (l.searched) return false;
    l.searched = true;
    if (st.top || st.likes.empty()) return false;
    checkSchema();
    for (const NameSearch& n : nameSearches()) {
      if (!helpers_.count(lowerText(n.name)) || !sameTable(st, n.table)) continue;
      std::set<std::string> columns{lowerText(n.key)};
      for (const char* c : n.columns) columns.insert(lowerText(c));
      if (!std::all_of(st.whereColumns.begin(), st.whereColumns.end(), [&](const auto& c) { return columns.count(c); }))
        continue;
      for (const auto& like : st.likes) {
        if (like.column != lowerText(n.column) || like.param < 0 ||
            static_cast<std::size_t>(like.param) >= params.size())
          continue;
        const auto* pattern = std::get_if<std::string>(&params[static_cast<std::size_t>(like.param)].raw());
        if (!pattern) continue;
        const std::vector<std::string> grams = patternGrams(*pattern);
        if (grams.empty()) continue;
        const std::string order = walkOrder(st, jet::quoteName(n.key), columns);
        if (order.empty()) return false;
        const std::string search = jet::quoteName(n.name);
        const std::string* rarest = &grams.front();
        if (grams.size() > 1) {
          // Counted from the pattern's end (a name's last characters tell it apart more often
          // than its first), each count stopping at the fewest found so far.
          sqlite3_stmt* s = prepared("select count(*) from (select 1 from " + search + " where gram = ? limit ?)");
          std::int64_t fewest = kGramCount + 1;
          for (auto g = grams.rbegin(); g != grams.rend() && fewest > 0; ++g) {
            Use use(s);
            check(sqlite3_bind_text64(s, 1, g->data(), g->size(), SQLITE_STATIC, SQLITE_UTF8));
            check(sqlite3_bind_int64(s, 2, std::min(fewest, kGramCount)));
            const std::int64_t rows = step(s) ? sqlite3_column_int64(s, 0) : 0;
            if (rows < fewest) {
              fewest = rows;
              rarest = &*g;
            }
          }
        }
        sqlite3_stmt* s = prepared("select " + jet::quoteName(n.key) + " from " + search + " where gram = ? and (" +
                                   st.where + ") order by " + order);
        Use use(s);
        check(sqlite3_bind_text64(s, 1, rarest->data(), rarest->size(), SQLITE_STATIC, SQLITE_UTF8));
        for (std::size_t i = 0; i < params.size(); ++i) bind(s, static_cast<int>(i) + 2, params[i]);
        std::vector<std::int64_t> keys;
        while (step(s)) keys.push_back(sqlite3_column_int64(s, 0));
        l.keys = std::move(keys);
        return true;
      }
    }
    return false;
  }

  std::unordered_map<std::string, bool> reversible_;  // by statement text
  std::unordered_map<std::string, std::string> ties_;  // walkOrder by statement text and key
  std::unordered_map<std::string, bool> bounded_;      // whether tallyWindow may read from a day on
  std::set<std::string> helpers_;                      // helper tables the file has, lower case
  std::int64_t schema_ = -1;
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
    // Before any writer of the batch returns: a stamp taken after that differs.
    bump();
    lock.lock();
    for (auto* j : batch) j->done = true;
    leading_ = false;
    changed_.notify_all();
  }
  if (job.error) std::rethrow_exception(job.error);
  return job.result;
}

}  // namespace

namespace {

std::shared_ptr<SqliteEngine> pooledEngine(const std::string& path) {
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

}  // namespace

std::shared_ptr<Engine> openEngine(const std::string& path) { return pooledEngine(path); }

std::uint64_t changeStamp(const std::string& path) { return pooledEngine(path)->changeStamp(); }

}  // namespace tovi::data
