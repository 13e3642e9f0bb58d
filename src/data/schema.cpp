#include "data/schema.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "data/connection.h"
#include "data/jet_sql.h"
#include "data/engine.h"
#include "data/maintenance.h"
#include "data/pg_schema.h"

namespace tovi::data {
namespace {

struct ColumnDef {
  const char* name;
  const char* type;  // declared type; it decides how values read and write
};

struct TableDef {
  const char* name;
  const char* key;  // auto-number key column, or nullptr
  std::vector<ColumnDef> columns;
  const char* row = nullptr;  // the single row of a settings table, as "(columns) values (...)"
};

const std::vector<TableDef>& tables() {
  static const std::vector<TableDef> defs = {
      {"cygl",
       "id",
       {{"name", "TEXT"},
        {"jiage", "TEXT"},
        {"pic", "TEXT"},
        {"content", "TEXT"},
        {"lei", "TEXT"},
        {"lei2", "INTEGER"},
        {"dates", "DATETIME"}}},
      {"cyxw", "id", {{"title", "TEXT"}, {"content", "TEXT"}, {"dates", "DATETIME"}}},
      {"tdgl",
       "id",
       {{"yhm", "TEXT"},
        {"telsss", "TEXT"},
        {"addresss", "TEXT"},
        {"dcqk", "TEXT"},
        {"dczj", "TEXT"},
        {"hours", "TEXT"},
        {"minutes", "TEXT"},
        {"qtbz", "TEXT"},
        {"zffs", "TEXT"},
        {"fromdate", "DATETIME"},
        {"years", "INTEGER"},
        {"months", "INTEGER"},
        {"days", "INTEGER"},
        {"hourss", "INTEGER"},
        {"minutess", "INTEGER"},
        {"dczt", "INTEGER"},
        // Who took the order by phone in the back office; empty for the storefront's.
        {"taker", "TEXT"}}},
      {"set_tamloall",
       nullptr,
       {{"order_time_state", "INTEGER"},
        {"order_time", "INTEGER"},
        {"order_times", "INTEGER"},
        {"order_delet_state", "INTEGER"},
        {"order_deletkey", "TEXT"},
        // 1: every back-office account must sign in with a one-time code as well.
        {"otp_required", "INTEGER DEFAULT 0"},
        // The flood guard per client address: orders per window of minutes (0: off), and the orders it refused.
        {"order_flood_times", "INTEGER DEFAULT 30"},
        {"order_flood_time", "INTEGER DEFAULT 10"},
        {"order_flood_refused", "INTEGER DEFAULT 0"}},
       "(order_time_state, order_time, order_times, order_delet_state, order_deletkey) values (0, 10, 3, 0, '')"},
      {"err_record", "id", {{"add_err_str", "TEXT"}}},
      {"reg",
       "id",
       {{"names", "TEXT"},
        {"password", "TEXT"},
        {"sh", "INTEGER DEFAULT 0"},
        {"question", "TEXT"},
        {"answer", "TEXT"},
        {"sex", "INTEGER"},
        {"tel", "TEXT"},
        {"address", "TEXT"},
        {"email", "TEXT"},
        {"postcode", "TEXT"},
        {"vocation", "TEXT"},
        {"profession", "TEXT"},
        {"education", "TEXT"},
        {"income", "TEXT"},
        {"yearss", "INTEGER"},
        {"monthss", "INTEGER"},
        {"dayss", "INTEGER"},
        {"dates", "DATETIME"}}},
      {"wq_admin",
       "adminid",
       {{"admin", "TEXT"},
        {"password", "TEXT"},
        {"flag", "INTEGER"},
        // The one-time-code secret (base32; empty: none) and the last time step a code was accepted for.
        {"otp_secret", "TEXT"},
        {"otp_step", "INTEGER"}}},
      // One-time recovery codes of back-office accounts, as argon2id strings; a row goes when its code is used.
      {"wq_admin_recovery", "id", {{"adminid", "INTEGER"}, {"hash", "TEXT"}}},
      // Rows come from the public guestbook; unset flags mean an ordinary, kept message.
      // Title is the guestbook's own column (the back office does not show it).
      {"Feedback",
       "ID",
       {{"UserName", "TEXT"},
        {"UserMail", "TEXT"},
        {"qq", "TEXT"},
        {"Comments", "TEXT"},
        {"PostDate", "DATETIME"},
        {"Dates", "DATETIME"},
        {"Replay", "TEXT"},
        {"ReplayDate", "DATETIME"},
        {"top", "INTEGER DEFAULT 0"},
        {"Online", "INTEGER DEFAULT 0"},
        {"del", "BOOLEAN DEFAULT 0"},
        {"Title", "TEXT"}}},
      {"view2", nullptr, {{"view", "INTEGER"}}, "(view) values (1)"},
      {"bulletin", nullptr, {{"content", "TEXT"}}, "(content) values ('')"},
      // Keys the site signs with, made once on first use (orders/order_token.h); never shown.
      {"site_secret", nullptr, {{"order_key", "TEXT"}}, "(order_key) values ('')"},
  };
  return defs;
}

// Indexes for the lists' conditions and orderings. The order list filters on
// status, time and customer name and orders by time: both of its indexes hold
// all three, so a count or a deep window walks index entries only and reads a
// table row for the rows it returns. Led by time, the list in time order needs
// no sort; led by status, one status (and the count of several) is a range.
constexpr const char* kIndexes[][3] = {
    {"tdgl_fromdate", "tdgl", "fromdate, dczt, yhm"},
    {"tdgl_dczt", "tdgl", "dczt, fromdate, yhm"},
    {"tdgl_yhm", "tdgl", "yhm"},
    {"cygl_lei2", "cygl", "lei2, dates"},
    {"cygl_lei", "cygl", "lei"},
    {"cygl_dates", "cygl", "dates"},
    {"cyxw_dates", "cyxw", "dates"},
    {"feedback_list", "Feedback", "del, \"top\", PostDate"},
    // The public guestbook: shown, kept messages, pinned first, newest next.
    {"feedback_public", "Feedback", "Online, del, \"top\", PostDate"},
    {"wq_admin_admin", "wq_admin", "admin"},
    {"wq_admin_flag", "wq_admin", "flag"},
    {"wq_admin_recovery_adminid", "wq_admin_recovery", "adminid"},
    {"reg_names", "reg", "names"},
};

// Fixed planner statistics for the order list's indexes, the shape of a busy
// site's order table: many orders, a handful of statuses, times nearly unique,
// a few thousand customers. Without them the planner takes any status
// condition for a narrow one and sorts every listed order by time instead of
// walking the time index; with them the choice does not depend on what the
// file holds at the moment (a new site has no orders). Read when a connection
// loads the schema.
constexpr const char* kStats[][3] = {
    {"tdgl", "tdgl_fromdate", "100000 2 2 2"},
    {"tdgl", "tdgl_dczt", "100000 20000 2 2"},
    {"tdgl", "tdgl_yhm", "100000 20"},
};

// The site's tables and indexes above, made on a PostgreSQL server instead.
bool ensureServer(const std::string& url) {
  std::vector<internal::TableShape> shapes;
  for (const TableDef& t : tables()) {
    internal::TableShape s{t.name, t.key ? t.key : "", {}, t.row ? t.row : ""};
    for (const ColumnDef& c : t.columns) s.columns.emplace_back(c.name, c.type);
    shapes.push_back(std::move(s));
  }
  std::vector<internal::IndexShape> indexes;
  for (const auto& ix : kIndexes) indexes.push_back({ix[0], ix[1], ix[2]});
  return internal::ensureServerSchema(url, shapes, indexes);
}

class Db {
 public:
  explicit Db(const std::string& path) {
    int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
      std::string msg = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
      sqlite3_close_v2(db_);
      throw Error("cannot create database " + path + ": " + msg);
    }
    sqlite3_busy_timeout(db_, 5000);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  }
  ~Db() { sqlite3_close_v2(db_); }
  Db(const Db&) = delete;
  Db& operator=(const Db&) = delete;

  void exec(const std::string& sql) {
    char* err = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
      std::string msg = err ? err : sqlite3_errmsg(db_);
      sqlite3_free(err);
      throw Error("database: " + msg + " in: " + sql);
    }
  }

  // The first column of every row of a query.
  std::vector<std::string> column(const std::string& sql, int col) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
      std::string msg = sqlite3_errmsg(db_);
      sqlite3_finalize(s);
      throw Error("database: " + msg + " in: " + sql);
    }
    std::vector<std::string> out;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
      const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s, col));
      out.emplace_back(t ? t : "");
    }
    sqlite3_finalize(s);
    if (rc != SQLITE_DONE) throw Error(std::string("database: ") + sqlite3_errmsg(db_) + " in: " + sql);
    return out;
  }

 private:
  sqlite3* db_ = nullptr;
};

std::string lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string declaredType(const std::string& table, const std::string& column) {
  for (const TableDef& t : tables())
    if (lower(t.name) == lower(table))
      for (const ColumnDef& c : t.columns)
        if (lower(c.name) == lower(column)) return c.type;
  throw Error("schema: no column " + table + "." + column);
}

// The day of a date-time value: 'YYYY-MM-DD' of a text that starts so, else ''.
// Text order is time order, and such prefixes keep it.
std::string dayOf(const std::string& v) {
  return "CASE WHEN typeof(" + v + ") = 'text' AND " + v +
         " GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]*' THEN substr(" + v + ", 1, 10) ELSE '' END";
}

// A helper table: how it is made and filled, the triggers that keep it in
// step (in the order of triggersOf), and a query that gives 1 when its
// contents agree with its table.
struct Helper {
  std::string name, create, fill, inStep;
  std::vector<std::string> triggers;
};

Helper tallyHelper(const Tally& t) {
  const std::string h = jet::quoteName(t.name), T = jet::quoteName(t.table), G = jet::quoteName(t.group),
                    D = jet::quoteName(t.day);
  const std::string bump = "ON CONFLICT (day, " + G + ") DO UPDATE SET n = n + 1";
  const auto names = triggersOf(t.name);
  Helper x;
  x.name = t.name;
  x.create = "CREATE TABLE " + h + " (day TEXT NOT NULL, " + G + " " + declaredType(t.table, t.group) +
             " NOT NULL, n INTEGER NOT NULL, PRIMARY KEY (day, " + G + ")) WITHOUT ROWID";
  x.fill = "INSERT INTO " + h + " (day, " + G + ", n) SELECT " + dayOf(D) + ", " + G + ", count(*) FROM " + T +
           " WHERE " + G + " IS NOT NULL GROUP BY 1, 2";
  x.inStep = "SELECT (SELECT coalesce(sum(n), 0) FROM " + h + ") = (SELECT count(*) FROM " + T + " WHERE " + G +
             " IS NOT NULL)";
  x.triggers = {
      "CREATE TRIGGER " + names[0] + " AFTER INSERT ON " + T + " WHEN new." + G + " IS NOT NULL BEGIN INSERT INTO " +
          h + " (day, " + G + ", n) VALUES (" + dayOf("new." + D) + ", new." + G + ", 1) " + bump + "; END",
      "CREATE TRIGGER " + names[1] + " AFTER DELETE ON " + T + " WHEN old." + G + " IS NOT NULL BEGIN UPDATE " + h +
          " SET n = n - 1 WHERE day = " + dayOf("old." + D) + " AND " + G + " = old." + G + "; END",
      "CREATE TRIGGER " + names[2] + " AFTER UPDATE OF " + D + ", " + G + " ON " + T + " BEGIN UPDATE " + h +
          " SET n = n - 1 WHERE old." + G + " IS NOT NULL AND day = " + dayOf("old." + D) + " AND " + G +
          " = old." + G + "; INSERT INTO " + h + " (day, " + G + ", n) SELECT " + dayOf("new." + D) + ", new." + G +
          ", 1 WHERE new." + G + " IS NOT NULL " + bump + "; END",
  };
  return x;
}

// The numbers 0 .. length(text) - 3, as rows of json_each's `key`: a text's trigram starts.
std::string gramStarts(const std::string& v) {
  return "json_each('[' || substr(replace(hex(zeroblob(max(coalesce(length(" + v +
         "), 0) - 2, 0))), '00', ',0'), 2) || ']')";
}

Helper searchHelper(const NameSearch& s) {
  const std::string h = jet::quoteName(s.name), T = jet::quoteName(s.table), K = jet::quoteName(s.key),
                    C = jet::quoteName(s.column);
  std::string defs, names;
  for (const char* c : s.columns) {
    defs += ", " + jet::quoteName(c) + " " + declaredType(s.table, c);
    names += ", " + jet::quoteName(c);
  }
  // The distinct trigrams of one row (`row` is "new" in a trigger, "t" over the table).
  auto grams = [&](const std::string& row) {
    std::string out = "SELECT " + row + ".rowid, lower(substr(" + row + "." + C + ", j.key + 1, 3))";
    for (const char* c : s.columns) out += ", " + row + "." + jet::quoteName(c);
    return out + " FROM " + (row == "t" ? T + " t, " : std::string()) + gramStarts(row + "." + C) + " j";
  };
  const std::string add = "INSERT OR IGNORE INTO " + h + " (" + K + ", gram" + names + ") " + grams("new") + ";";
  const std::string drop = "DELETE FROM " + h + " WHERE " + K + " = old.rowid;";
  std::string watched = K;
  for (const char* c : s.columns) watched += ", " + jet::quoteName(c);
  const auto triggers = triggersOf(s.name);
  Helper x;
  x.name = s.name;
  x.create = "CREATE TABLE " + h + " (" + K + " INTEGER NOT NULL, gram TEXT NOT NULL" + defs + ", PRIMARY KEY (" + K +
             ", gram)) WITHOUT ROWID; CREATE INDEX " + jet::quoteName(std::string(s.name) + "_list") + " ON " + h +
             " (gram" + names + ")";
  x.fill = "INSERT OR IGNORE INTO " + h + " (" + K + ", gram" + names + ") " + grams("t");
  x.inStep = "SELECT (SELECT count(DISTINCT " + K + ") FROM " + h + ") = (SELECT count(*) FROM " + T +
             " WHERE length(" + C + ") >= 3)";
  x.triggers = {
      "CREATE TRIGGER " + triggers[0] + " AFTER INSERT ON " + T + " BEGIN " + add + " END",
      "CREATE TRIGGER " + triggers[1] + " AFTER DELETE ON " + T + " BEGIN " + drop + " END",
      "CREATE TRIGGER " + triggers[2] + " AFTER UPDATE OF " + watched + " ON " + T + " BEGIN " + drop + " " + add +
          " END",
  };
  return x;
}

}  // namespace

const std::vector<Tally>& tallies() {
  // The order list: counted by status and day of order time, so that its
  // count and a window deep inside it are found from a few hundred rows.
  static const std::vector<Tally> all = {{"tdgl_tally", "tdgl", "dczt", "fromdate"}};
  return all;
}

const std::vector<NameSearch>& nameSearches() {
  // The order list's filter by a fragment of the customer's name.
  // Its columns are those of the list's index tdgl_fromdate, in that order.
  static const std::vector<NameSearch> all = {{"tdgl_yhm_grams", "tdgl", "id", "yhm", {"fromdate", "dczt", "yhm"}}};
  return all;
}

std::vector<std::string> triggersOf(const std::string& helper) {
  return {helper + "_insert", helper + "_delete", helper + "_update"};
}

bool ensureDatabase(const std::string& path) {
  if (isServerLocation(path)) return ensureServer(path);
  checkSiteDatabase(path);  // another program's file is refused before anything is written to it
  struct stat st {};
  bool created = ::stat(path.c_str(), &st) != 0;
  Db db(path);
  db.exec("pragma journal_mode=wal");
  db.exec("pragma synchronous=full");
  db.exec("begin immediate");
  try {
    for (const TableDef& t : tables()) {
      std::string name = jet::quoteName(t.name);
      std::string cols;
      if (t.key) cols = jet::quoteName(t.key) + " INTEGER PRIMARY KEY AUTOINCREMENT";
      for (const ColumnDef& c : t.columns) cols += (cols.empty() ? "" : ", ") + jet::quoteName(c.name) + " " + c.type;
      db.exec("create table if not exists " + name + " (" + cols + ")");
      std::set<std::string> present;
      for (auto& c : db.column("pragma table_info(" + name + ")", 1)) present.insert(lower(c));
      for (const ColumnDef& c : t.columns)
        if (!present.count(lower(c.name)))
          db.exec("alter table " + name + " add column " + jet::quoteName(c.name) + " " + c.type);
      if (t.row && db.column("select count(*) from " + name, 0).at(0) == "0")
        db.exec("insert into " + name + " " + t.row);
    }
    for (const auto& ix : kIndexes) {
      // An index of an older layout under the same name is built again.
      std::string wanted, have;
      for (char c : std::string(ix[2]))
        if (c != ' ' && c != '"') wanted += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      for (auto& c : db.column(std::string("pragma index_info(") + ix[0] + ")", 2)) {
        if (!have.empty()) have += ',';
        have += lower(c);
      }
      if (!have.empty() && have != wanted) db.exec(std::string("drop index ") + ix[0]);
      db.exec(std::string("create index if not exists ") + ix[0] + " on " + jet::quoteName(ix[1]) + " (" + ix[2] + ")");
    }
    if (db.column("select count(*) from sqlite_schema where name='sqlite_stat1'", 0).at(0) == "0")
      db.exec("analyze sqlite_schema");  // creates the statistics table, and nothing else
    for (const auto& row : kStats) {
      db.exec(std::string("delete from sqlite_stat1 where tbl='") + row[0] + "' and idx='" + row[1] + "'");
      db.exec(std::string("insert into sqlite_stat1 (tbl, idx, stat) values ('") + row[0] + "', '" + row[1] + "', '" +
              row[2] + "')");
    }
    std::vector<Helper> helpers;
    for (const Tally& t : tallies()) helpers.push_back(tallyHelper(t));
    for (const NameSearch& n : nameSearches()) helpers.push_back(searchHelper(n));
    for (const Helper& h : helpers) {
      // Built again when missing, kept by other triggers than these, or out of step.
      bool rebuild = db.column("select count(*) from sqlite_schema where name='" + h.name + "'", 0).at(0) == "0";
      const auto names = triggersOf(h.name);
      for (std::size_t i = 0; i < names.size(); ++i) {
        auto have = db.column("select sql from sqlite_schema where type='trigger' and name='" + names[i] + "'", 0);
        rebuild = rebuild || have.size() != 1 || have[0] != h.triggers[i];
      }
      if (!rebuild) rebuild = db.column(h.inStep, 0).at(0) != "1";
      if (!rebuild) continue;
      for (const auto& name : names) db.exec("drop trigger if exists " + name);
      db.exec("drop table if exists " + jet::quoteName(h.name));
      db.exec(h.create);
      db.exec(h.fill);
      for (const auto& trigger : h.triggers) db.exec(trigger);
    }
    db.exec("commit");
  } catch (...) {
    try {
      db.exec("rollback");
    } catch (...) {
    }
    throw;
  }
  return created;
}

}  // namespace tovi::data
