// The order list's helper tables (data/schema.h): a name filter read through
// the name search, and a deep page placed through the tally, give exactly the
// rows, order and count SQLite gives for the plain statement; writes keep them
// in step; an older file, or a restored older copy, gains them.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "data/jet_sql.h"
#include "data/maintenance.h"
#include "data/temp_db.h"

namespace tovi::testing {
namespace {

using data::Sql;
using data::Value;

class HelperTablesTest : public TempDb {
 protected:
  // The ids of a list straight from SQLite, without the engine and its helper tables.
  Strings plain(const Sql& sql) {
    std::string text = data::jet::translate(sql.text)->text;
    text.replace(0, 8, "select \"id\"");
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, text.c_str(), -1, &s, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    for (std::size_t i = 0; i < sql.params.size(); ++i) {
      const Value& v = sql.params[i];
      if (v.isNumeric()) sqlite3_bind_int64(s, static_cast<int>(i) + 1, v.toInteger());
      else sqlite3_bind_text(s, static_cast<int>(i) + 1, v.text().c_str(), -1, SQLITE_TRANSIENT);
    }
    Strings out;
    while (sqlite3_step(s) == SQLITE_ROW) out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
    sqlite3_finalize(s);
    sqlite3_close(db);
    return out;
  }
  // Every page of the list through the engine, cold, against the plain rows.
  void expectSameAsPlain(const Sql& sql, const std::vector<long>& pages) {
    const Strings all = plain(sql);
    SCOPED_TRACE(sql.text + " with " + (sql.params.empty() ? "" : sql.params.back().text()));
    const long last = std::max<long>(1, static_cast<long>((all.size() + 19) / 20));
    for (long n : pages) {
      n = std::min(n, last);  // past the end, as the list shows it: the last page
      const auto from = std::min(all.size(), static_cast<std::size_t>(n - 1) * 20);
      const Strings expected(all.begin() + static_cast<long>(from),
                             all.begin() + static_cast<long>(std::min(all.size(), from + 20)));
      conn_.Execute("update view2 set view=view");  // cold: what was kept of the list is stale
      long count = 0;
      EXPECT_EQ(page(sql, n, count), expected) << "page " << n;
      EXPECT_EQ(count, static_cast<long>(all.size()));
    }
  }
  // One number from the file straight through SQLite.
  long scalar(const std::string& sql) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    const long n = sqlite3_step(s) == SQLITE_ROW ? static_cast<long>(sqlite3_column_int64(s, 0)) : -1;
    sqlite3_finalize(s);
    sqlite3_close(db);
    return n;
  }
};

TEST_F(HelperTablesTest, NameFilterFindsWhatAPlainScanFinds) {
  const char* names[] = {"客户12",  "客户120", "KeHu",     "kehu",  "KEHU大",  "É-kehu",    "é-kehu",  "100%好",
                         "a_b_c",   "a%b%c",   "50%_off",  "张三",  "张",      "",          "ab",      "abcabcabc",
                         "O'Brien", "12345",   "很长的名字很长的名字很长的名字很长的名字客户12"};
  int i = 0;
  for (std::string name : names) {
    for (std::size_t q = name.find('\''); q != std::string::npos; q = name.find('\'', q + 2)) name.insert(q, 1, '\'');
    for (int k = 0; k < 4; ++k, ++i)  // statuses 1 to 5, times with ties
      raw("insert into tdgl (yhm, fromdate, dczt) values ('" + name + "', '2024-01-0" + std::to_string(1 + i % 3) +
          " 10:00:0" + std::to_string(i % 2) + "', " + std::to_string(1 + i % 5) + ")");
  }
  raw("insert into tdgl (yhm, fromdate, dczt) values (null, '2024-01-01 10:00:00', 1)");
  const char* finds[] = {"客户12", "kehu", "KEHU", "É-k", "é-KE", "0%好", "a_b", "_b_", "%", "_", "张三", "ab",
                         "abc",    "bca",  "12345", "2345", "'Br", "名字很长的名字客户12", "户12x"};
  for (const char* ob : {" order by fromdate desc", " order by fromdate asc", " order by fromdate "})
    for (const char* find : finds) {
      const std::string pattern = std::string("%") + find + "%";
      expectSameAsPlain(Sql(std::string("select * from tdgl where dczt in (1,2,3,4) and yhm like ?") + ob, {Value(pattern)}), {1, 2});
      expectSameAsPlain(Sql(std::string("select * from tdgl where dczt=? and yhm like ?") + ob, {Value(2), Value(pattern)}), {1});
      expectSameAsPlain(Sql(std::string("select * from tdgl where yhm like ?") + ob, {Value(std::string(find) + "%")}), {1});
    }
}

TEST_F(HelperTablesTest, DeepPagesFromTheTallyAreThePlainQuerysAndFollowWrites) {
  // 2,500 orders over about ten days, three to a minute; a few with a time that is no date text.
  raw("with recursive n(i) as (select 0 union all select i + 1 from n where i < 2499) insert into tdgl (yhm, "
      "fromdate, dczt) select 'k' || i, strftime('%Y-%m-%d %H:%M:%S', '2024-01-01', '+' || (i / 3 * 17) || "
      "' minutes'), 1 + i % 5 from n");
  const std::vector<Sql> lists = {Sql("select * from tdgl where dczt in (1,2,3,4) order by fromdate desc"),
                                  Sql("select * from tdgl where dczt in (1,2,3,4) order by fromdate"),
                                  Sql("select * from tdgl where dczt=? order by fromdate desc", {Value(3)}),
                                  Sql("select * from tdgl where dczt is null or dczt=5 order by fromdate desc")};
  auto check = [&](const char* when) {
    SCOPED_TRACE(when);
    for (const Sql& sql : lists) expectSameAsPlain(sql, {1, 51, 52, 60, 75, 99, 100});
    EXPECT_EQ(scalar("select sum(n) from tdgl_tally"), scalar("select count(*) from tdgl where dczt is not null"));
  };
  check("as stored");
  raw("update tdgl set dczt = 5 where id % 7 = 0; delete from tdgl where id % 11 = 0;"
      "update tdgl set fromdate = '2023-12-31 23:59:00' where id % 13 = 0; insert into tdgl (yhm, dczt) values ('x', 2);"
      "insert into tdgl (yhm, fromdate) values ('y', '2024-01-03 00:00:00')");
  check("after status moves, deletes, new times, an order without a time and one without a status");
  // The count is the tally's: one counted twice behind its back shows.
  raw("update tdgl_tally set n = n + 1 where dczt = 3 and day = (select max(day) from tdgl_tally)");
  long count = 0;
  (void)page(lists[2], 1, count);
  EXPECT_EQ(count, static_cast<long>(plain(lists[2]).size()) + 1);
  raw("update tdgl_tally set n = n - 1 where dczt = 3 and day = (select max(day) from tdgl_tally)");
  raw("update tdgl set fromdate = 'soon' where id = 5");
  check("with a time that is no date text");
}

TEST_F(HelperTablesTest, AnOlderFileAndARestoredOlderCopyGainTheHelperTables) {
  rawOrders(300, "客户", 1, 4);
  std::string drop, present = "select count(*) from sqlite_schema where name in (''";
  for (const std::string name : {"tdgl_tally", "tdgl_yhm_grams"}) {
    drop += "drop table " + name + ";";
    present += ", '" + name + "'";
    for (const auto& trigger : data::triggersOf(name)) {
      drop += "drop trigger " + trigger + ";";
      present += ", '" + trigger + "'";
    }
  }
  present += ")";
  const Sql byName("select * from tdgl where dczt in (1,2,3,4) and yhm like ? order by fromdate desc", {Value("%客户12%")});
  const long helpers = 8;  // two tables and their three triggers each
  EXPECT_EQ(scalar(present), helpers);
  raw(drop);
  EXPECT_EQ(scalar(present), 0);
  expectSameAsPlain(byName, {1});  // read without them
  EXPECT_FALSE(data::ensureDatabase(path_));
  EXPECT_EQ(scalar(present), helpers);
  expectSameAsPlain(byName, {1});

  // Rows of the search gone behind its back: the list is read through it, and start-up builds it again.
  raw("delete from tdgl_yhm_grams");
  long count = 0;
  EXPECT_TRUE(page(byName, 1, count).empty());
  EXPECT_FALSE(data::ensureDatabase(path_));
  expectSameAsPlain(byName, {1});

  const std::string copy = dir_ + "/older.mdb";
  data::backup(path_, copy);
  raw(drop, copy);
  raw("delete from tdgl where id > 100", copy);
  data::restore(copy, path_);
  EXPECT_EQ(scalar(present), helpers);
  EXPECT_EQ(scalar("select sum(n) from tdgl_tally"), 100);
  expectSameAsPlain(byName, {1});
}

}  // namespace
}  // namespace tovi::testing
