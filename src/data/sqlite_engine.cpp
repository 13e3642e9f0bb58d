#include "data/sqlite_engine.h"

#include <algorithm>

#include "data/connection.h"

namespace tovi::data::internal {
namespace {

std::optional<Row> readRow(Statements& db, const std::string& table, std::int64_t rowid) {
  sqlite3_stmt* s = db.prepared(rowText(table));
  Use use(s);
  db.bindInt(s, 1, rowid);
  if (!db.step(s)) return std::nullopt;
  Row r;
  int cols = sqlite3_column_count(s);
  r.reserve(static_cast<std::size_t>(cols));
  for (int c = 0; c < cols; ++c) r.push_back(Statements::read(s, c));
  return r;
}

}  // namespace

SqliteEngine::SqliteEngine(const std::string& path, FileId id)
    : path_(path), id_(id), db_(path), queue_(WriteQueue::of(id, path)) {}

int SqliteEngine::execute(const jet::Statement& st, std::span<const Value> params) {
  sqlite3_stmt* s = db_.prepared(st.text);
  if (sqlite3_stmt_readonly(s)) {
    Use use(s);
    db_.bindAll(s, params, 0);
    while (db_.step(s)) {
    }
    return 0;
  }
  return static_cast<int>(queue_->run([&](Statements& w) -> std::int64_t {
    sqlite3_stmt* ws = w.prepared(st.text);
    Use use(ws);
    w.bindAll(ws, params, 0);
    while (w.step(ws)) {
    }
    return sqlite3_changes(w.db());
  }));
}

std::size_t SqliteEngine::fetch(const jet::Statement& st, std::span<const Value> params, std::int64_t offset,
                                std::int64_t limit, std::vector<Row>& out, std::vector<Column>* columns) {
  if (st.top) limit = std::min(limit, std::max<std::int64_t>(0, *st.top - offset));
  if (columns) *columns = describe(st);
  if (limit <= 0) return 0;
  if (st.table.empty()) {
    sqlite3_stmt* s = db_.prepared(st.text + " limit ? offset ?");
    Use use(s);
    int n = db_.bindAll(s, params, 2);
    db_.bindInt(s, n + 1, limit);
    db_.bindInt(s, n + 2, offset);
    std::size_t added = 0;
    int cols = sqlite3_column_count(s);
    while (db_.step(s)) {
      Row row;
      row.reserve(static_cast<std::size_t>(cols) + 1);
      row.push_back(Value::null());
      for (int c = 0; c < cols; ++c) row.push_back(Statements::read(s, c));
      out.push_back(std::move(row));
      ++added;
    }
    return added;
  }
  // One table's rows: the window's keys first, which the indexes of the
  // lists answer without touching the rows they skip, then those rows by key,
  // all in one read snapshot.
  db_.run("begin");
  try {
    std::vector<std::int64_t> keys = lists_.windowKeys(st, params, offset, limit);
    std::size_t added = 0;
    for (std::int64_t key : keys) {
      if (auto r = row(st.table, key)) {
        out.push_back(std::move(*r));
        ++added;
      }
    }
    db_.run("commit");
    return added;
  } catch (...) {
    sqlite3_exec(db_.db(), "rollback", nullptr, nullptr, nullptr);
    throw;
  }
}

std::vector<Column> SqliteEngine::describe(const jet::Statement& st) {
  if (st.table.empty()) return Statements::columnsOf(db_.prepared(st.text + " limit ? offset ?"), 0);
  db_.prepared(keysText(st, false));  // the condition and ordering are checked here, before any row is wanted
  return Statements::columnsOf(db_.prepared(rowText(st.table)), 1);
}

std::int64_t SqliteEngine::count(const jet::Statement& st, std::span<const Value> params) {
  std::int64_t n = 0;
  if (st.table.empty()) {
    sqlite3_stmt* s = db_.prepared("select count(*) from (" + st.text + ")");
    Use use(s);
    db_.bindAll(s, params, 0);
    n = db_.step(s) ? sqlite3_column_int64(s, 0) : 0;
  } else {
    n = lists_.count(st, params);
  }
  return st.top ? std::min(n, *st.top) : n;
}

std::optional<Row> SqliteEngine::row(const std::string& table, std::int64_t rowid) {
  return readRow(db_, table, rowid);
}

// The row as stored is read back in the write's own transaction, on the
// writer's connection, whose cache holds the pages just written.
Row SqliteEngine::insert(const std::string& table, const std::vector<std::string>& columns,
                         const std::vector<Value>& values) {
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
  Row stored;
  queue_->run([&](Statements& w) -> std::int64_t {
    {
      sqlite3_stmt* s = w.prepared(text);
      Use use(s);
      w.bindAll(s, values, 0);
      w.step(s);
    }
    auto r = readRow(w, table, sqlite3_last_insert_rowid(w.db()));
    if (!r) throw Error("the written row cannot be read back");
    stored = std::move(*r);
    return 0;
  });
  return stored;
}

std::optional<Row> SqliteEngine::update(const std::string& table, std::int64_t rowid,
                                        const std::vector<std::string>& columns, const std::vector<Value>& values) {
  if (columns.empty()) return row(table, rowid);
  std::string sets;
  for (const auto& c : columns) sets += (sets.empty() ? "" : ", ") + jet::quoteName(c) + "=?";
  std::string text = "update " + table + " set " + sets + " where rowid=?";
  std::vector<Value> all(values);
  all.emplace_back(static_cast<long long>(rowid));
  std::optional<Row> stored;
  queue_->run([&](Statements& w) -> std::int64_t {
    {
      sqlite3_stmt* s = w.prepared(text);
      Use use(s);
      w.bindAll(s, all, 0);
      w.step(s);
    }
    if (sqlite3_changes(w.db()) > 0) stored = readRow(w, table, rowid);
    return 0;
  });
  return stored;
}

}  // namespace tovi::data::internal
