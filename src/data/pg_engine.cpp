#include "data/pg_engine.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "data/change_stamp.h"
#include "data/connection.h"
#include "data/list_planner.h"
#include "data/schema.h"

namespace tovi::data::internal {
namespace {

std::string marks(std::size_t from, std::size_t n) {
  std::string out;
  for (std::size_t i = 1; i <= n; ++i) out += (i > 1 ? ", $" : "$") + std::to_string(from + i);
  return out;
}

// The ordering made total by the key, so that every window (and the list
// read backwards) places ties alike: the key goes the way the last term goes.
std::string totalOrder(const std::string& orderBy, const std::string& key) {
  if (orderBy.empty()) return key;
  std::string last = splitTerms(orderBy).back();
  while (!last.empty() && last.back() == ' ') last.pop_back();
  bool desc = last.size() >= 5 && (last.ends_with(" desc") || last.ends_with(" DESC"));
  return orderBy + ", " + key + (desc ? " desc" : "");
}

// Moves this process's change stamp when a write ends, however it ends (a
// failed one may have been committed all the same). Writes to the tables
// that keep what several servers share between requests (sessions, counts)
// change nothing a page shows, so they move no stamp, as their tables have no
// stamp trigger: otherwise every sign-in would throw away every node's
// rendered pages.
class Wrote {
 public:
  Wrote(StampWatch& watch, std::string_view table) : w_(watch), moves_(!isSharedState(table)) {}
  ~Wrote() {
    if (moves_) w_.wrote();
  }

 private:
  static bool isSharedState(std::string_view table) {
    const auto& shared = sharedStateTables();
    auto same = [table](const std::string& t) {
      return std::equal(t.begin(), t.end(), table.begin(), table.end(),
                        [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) ==
                                                    std::tolower(static_cast<unsigned char>(b)); });
    };
    return std::any_of(shared.begin(), shared.end(), same);
  }
  StampWatch& w_;
  bool moves_;
};

// The table a write changes: "update t ...", "insert into t ...", "delete from t ...".
std::string writtenTable(const jet::Statement& st) {
  std::istringstream words(st.text);
  std::string verb, second, third;
  words >> verb >> second >> third;
  return verb == "update" ? second : third;
}

// The table a write with a subquery changes ("update t set ... where (select
// count(*) from t ...) > 1"): such a write runs alone on its table, so that
// what its subquery counts is what the other writers left, as on the file
// engine, whose writes run one at a time. Empty for any other write.
std::string lockedTable(const jet::Statement& st, const std::string& written) {
  return st.text.find("select") == std::string::npos ? std::string() : written;
}

}  // namespace

PgEngine::PgEngine(const std::string& url) : db_(url), watch_(StampWatch::of(url)) {}

std::int64_t PgEngine::storedStamp() {
  return db_.run(std::string("select last_value from ") + kStampChannel, {}, true).value(0, 0).toInteger();
}

const PgEngine::Table& PgEngine::table(const std::string& name) {
  if (auto it = tables_.find(name); it != tables_.end()) return it->second;
  const std::string q =
      "select a.attname, exists (select 1 from pg_index i where i.indrelid = a.attrelid and i.indisprimary and "
      "a.attnum = any (i.indkey)) from pg_attribute a where a.attrelid = to_regclass($1) and a.attnum > 0 and not "
      "a.attisdropped order by a.attnum";
  Value arg[] = {Value(name)};
  PgResult r = db_.run(q, arg, true);
  if (r.rows() == 0) throw Error("database: no table " + name);
  Table t;
  std::string columns;
  for (int i = 0; i < r.rows(); ++i) {
    std::string col = jet::pgName(r.value(i, 0).text());
    if (r.value(i, 1).toBool()) t.key = col;
    if (col != kHiddenKey) columns += ", " + col;
  }
  if (t.key.empty()) throw Error("database: table " + name + " has no key");
  t.columns = t.key + columns;
  return tables_.emplace(name, std::move(t)).first->second;
}

std::string PgEngine::windowText(const jet::Statement& st, bool reverse) {
  const Table& t = table(st.table);
  std::string order = totalOrder(st.orderBy, t.key);
  if (reverse) order = reversedOrder(order);
  std::string text = "select " + t.columns + " from " + st.table;
  if (!st.where.empty()) text += " where " + st.where;
  const auto n = static_cast<std::size_t>(st.params);
  return text + " order by " + order + " limit $" + std::to_string(n + 1) + " offset $" + std::to_string(n + 2);
}

int PgEngine::execute(const jet::Statement& st, std::span<const Value> params) {
  if (st.kind == jet::Statement::Kind::Select) return static_cast<int>(db_.run(st.text, params, true).changed());
  const std::string written = writtenTable(st);
  Wrote wrote(watch_, written);
  const std::string locked = lockedTable(st, written);
  if (locked.empty()) return static_cast<int>(db_.run(st.text, params, false).changed());
  db_.exec("begin");
  try {
    db_.exec("lock table " + locked + " in share row exclusive mode");
    const auto n = db_.run(st.text, params, false).changed();
    db_.exec("commit");
    return static_cast<int>(n);
  } catch (...) {
    try {
      db_.exec("rollback");
    } catch (const Error&) {  // a broken connection has rolled back already
    }
    throw;
  }
}

std::size_t PgEngine::fetch(const jet::Statement& st, std::span<const Value> params, std::int64_t offset,
                            std::int64_t limit, std::vector<Row>& out, std::vector<Column>* columns) {
  if (st.top) limit = std::min(limit, std::max<std::int64_t>(0, *st.top - offset));
  if (columns) *columns = describe(st);
  if (limit <= 0) return 0;
  std::vector<Value> all(params.begin(), params.end());
  if (st.table.empty()) {
    all.emplace_back(static_cast<long long>(limit));
    all.emplace_back(static_cast<long long>(offset));
    const auto n = static_cast<std::size_t>(st.params);
    PgResult r = db_.run(st.text + " limit $" + std::to_string(n + 1) + " offset $" + std::to_string(n + 2), all, true);
    for (int i = 0; i < r.rows(); ++i) out.push_back(r.row(i, -1, 0));
    return static_cast<std::size_t>(r.rows());
  }
  // A window past the middle of a long list is read from its end: the rows
  // it skips are then the fewer.
  bool reverse = false;
  std::int64_t from = offset, rows = limit;
  if (offset > kDeep && !st.top) {
    std::int64_t total = listCount(st, params);
    if (total <= offset) return 0;
    if (total - offset < offset) {
      reverse = true;
      Reach r = fromTheEnd(offset, limit, total);
      from = r.from;
      rows = r.rows;
    }
  }
  all.emplace_back(static_cast<long long>(rows));
  all.emplace_back(static_cast<long long>(from));
  PgResult r = db_.run(windowText(st, reverse), all, true);
  const std::size_t before = out.size();
  for (int i = 0; i < r.rows(); ++i) out.push_back(r.row(i, 0, 1));
  if (reverse) std::reverse(out.begin() + static_cast<long>(before), out.end());
  return static_cast<std::size_t>(r.rows());
}

std::vector<Column> PgEngine::describe(const jet::Statement& st) {
  const auto n = static_cast<std::size_t>(st.params);
  if (st.table.empty())
    return db_.columnsOf(st.text + " limit $" + std::to_string(n + 1) + " offset $" + std::to_string(n + 2), 0);
  return db_.columnsOf(windowText(st, false), 1);  // the condition and ordering are checked here
}

std::int64_t PgEngine::listCount(const jet::Statement& st, std::span<const Value> params) {
  // What the database held when the count was read: while the stamp stands, the count does.
  const std::uint64_t stamp = changeStamp(url());
  for (auto it = counts_.begin(); it != counts_.end(); ++it) {
    if (it->text != st.text || !std::equal(it->params.begin(), it->params.end(), params.begin(), params.end()))
      continue;
    if (it->stamp == stamp) return it->n;
    counts_.erase(it);
    break;
  }
  std::string text = "select count(*) from " + st.table;
  if (!st.where.empty()) text += " where " + st.where;
  const std::int64_t n = db_.run(text, params, true).value(0, 0).toInteger();
  counts_.push_front({st.text, {params.begin(), params.end()}, stamp, n});
  if (counts_.size() > 8) counts_.pop_back();
  return n;
}

std::int64_t PgEngine::count(const jet::Statement& st, std::span<const Value> params) {
  std::int64_t n = 0;
  if (st.table.empty())
    n = db_.run("select count(*) from (" + st.text + ") q", params, true).value(0, 0).toInteger();
  else
    n = listCount(st, params);
  return st.top ? std::min(n, *st.top) : n;
}

std::optional<Row> PgEngine::row(const std::string& name, std::int64_t rowid) {
  const Table& t = table(name);
  Value key[] = {Value(static_cast<long long>(rowid))};
  PgResult r = db_.run("select " + t.columns + " from " + name + " where " + t.key + " = $1", key, true);
  if (r.rows() == 0) return std::nullopt;
  return r.row(0, 0, 1);
}

Row PgEngine::insert(const std::string& name, const std::vector<std::string>& columns,
                     const std::vector<Value>& values) {
  const Table& t = table(name);
  std::string text = "insert into " + name;
  if (columns.empty()) {
    text += " default values";
  } else {
    std::string names;
    for (const auto& c : columns) names += (names.empty() ? "" : ", ") + jet::pgName(c);
    text += " (" + names + ") values (" + marks(0, columns.size()) + ")";
  }
  Wrote wrote(watch_, name);
  PgResult r = db_.run(text + " returning " + t.columns, values, false);
  if (r.rows() != 1) throw Error("the written row cannot be read back");
  return r.row(0, 0, 1);
}

std::optional<Row> PgEngine::update(const std::string& name, std::int64_t rowid,
                                    const std::vector<std::string>& columns, const std::vector<Value>& values) {
  if (columns.empty()) return row(name, rowid);
  const Table& t = table(name);
  std::string sets;
  for (std::size_t i = 0; i < columns.size(); ++i)
    sets += (i ? ", " : "") + jet::pgName(columns[i]) + " = $" + std::to_string(i + 1);
  std::vector<Value> all(values);
  all.emplace_back(static_cast<long long>(rowid));
  Wrote wrote(watch_, name);
  PgResult r = db_.run("update " + name + " set " + sets + " where " + t.key + " = $" +
                           std::to_string(columns.size() + 1) + " returning " + t.columns,
                       all, false);
  if (r.rows() == 0) return std::nullopt;
  return r.row(0, 0, 1);
}

}  // namespace tovi::data::internal
