#include "data/sqlite_statements.h"

#include "data/connection.h"

namespace tovi::data::internal {

Statements::Statements(const std::string& path, int cacheKiB) {
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
    run("pragma cache_size=" + std::to_string(-cacheKiB));  // negative: KiB rather than pages
    // No file mapping (SQLite's default): a connection that sees another's
    // commit unmaps the whole file at its next read, a cross-thread TLB flush
    // that under a stream of orders costs more than the read calls it saves.
  } catch (...) {
    for (auto& [text, stmt] : cache_) sqlite3_finalize(stmt);
    sqlite3_close_v2(db_);
    throw;
  }
}

Statements::~Statements() {
  for (auto& [text, stmt] : cache_) sqlite3_finalize(stmt);
  sqlite3_close_v2(db_);
}

void Statements::check(int rc) const {
  if (rc != SQLITE_OK) throw Error(std::string("database: ") + sqlite3_errmsg(db_));
}

bool Statements::step(sqlite3_stmt* s) {
  int rc = sqlite3_step(s);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  throw Error(std::string("database: ") + sqlite3_errmsg(db_));
}

void Statements::run(const std::string& text) {
  sqlite3_stmt* s = prepared(text);
  Use use(s);
  while (step(s)) {
  }
}

sqlite3_stmt* Statements::prepared(const std::string& text) {
  if (auto it = cache_.find(text); it != cache_.end()) return it->second;
  // No statement is held across calls, so a full cache can be emptied here.
  if (cache_.size() >= 256) {
    for (auto& [t, stmt] : cache_) sqlite3_finalize(stmt);
    cache_.clear();
  }
  sqlite3_stmt* s = nullptr;
  const char* tail = nullptr;
  int rc = sqlite3_prepare_v3(db_, text.c_str(), static_cast<int>(text.size()), SQLITE_PREPARE_PERSISTENT, &s, &tail);
  if (rc != SQLITE_OK) {
    std::string msg = sqlite3_errmsg(db_);
    sqlite3_finalize(s);
    throw Error("database: " + msg + " in: " + text.substr(0, 300));
  }
  if (s == nullptr) throw Error("database: empty statement");
  cache_.emplace(text, s);
  return s;
}

int Statements::bindAll(sqlite3_stmt* s, std::span<const Value> params, int extra) {
  int marks = sqlite3_bind_parameter_count(s) - extra;
  if (marks != static_cast<int>(params.size()))
    throw Error("statement has " + std::to_string(marks) + " parameter marks but " + std::to_string(params.size()) +
                " values were given");
  int i = 0;
  for (const Value& v : params) bind(s, ++i, v);
  return i;
}

void Statements::bind(sqlite3_stmt* s, int i, const Value& v) {
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
          bindText(s, i, x.iso());
        } else if constexpr (std::is_same_v<T, bool>) {
          check(sqlite3_bind_int(s, i, x ? 1 : 0));
        } else {
          check(sqlite3_bind_null(s, i));
        }
      },
      v.raw());
}

void Statements::bindText(sqlite3_stmt* s, int i, const std::string& text) {
  check(sqlite3_bind_text64(s, i, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
}

void Statements::bindInt(sqlite3_stmt* s, int i, std::int64_t v) { check(sqlite3_bind_int64(s, i, v)); }

std::vector<std::string> Statements::plan(const std::string& text) {
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

std::vector<Column> Statements::columnsOf(sqlite3_stmt* s, int skip) {
  std::vector<Column> cols;
  int n = sqlite3_column_count(s);
  for (int c = skip; c < n; ++c) {
    const char* decl = sqlite3_column_decltype(s, c);
    cols.push_back({sqlite3_column_name(s, c), columnTypeOf(decl ? decl : "")});
  }
  return cols;
}

Value Statements::read(sqlite3_stmt* s, int c) {
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

}  // namespace tovi::data::internal
