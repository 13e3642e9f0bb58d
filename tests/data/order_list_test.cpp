// The order list over many orders: every page, cold or warm, holds exactly the
// rows, order and count SQLite alone gives for the plain statement (the name
// search and the status tally behind it included) after every kind of writer,
// each of which moves the file's change stamp; the list statements walk an
// index in their order; an older file, started or restored, gains the present
// layout and keeps every row.
#include <cstdlib>
#include <functional>
#include <thread>

#include "data/change_stamp.h"
#include "data/jet_sql.h"
#include "data/maintenance.h"
#include "data/temp_db.h"

using namespace data;

class OrderList : public TempDb {
 protected:
  // `rows` orders written straight to the file, 客户0, 客户1, ...: three at each time (ties for the
  // ordering), 17 minutes apart from 2024-01-01 on, statuses 1 to 5 in turn (5 outside the list).
  void rawOrders(int rows) {
    raw("with recursive n(i) as (select 0 union all select i + 1 from n where i < ?) insert into tdgl (yhm, "
        "fromdate, dczt) select '客户' || i, strftime('%Y-%m-%d %H:%M:%S', '2024-01-01', '+' || (i / 3 * 17) || "
        "' minutes'), 1 + i % 5 from n",
        {rows - 1});
  }
  // The order list's statements, both ways: by status, time range and name.
  static std::vector<Sql> lists() {
    const DateTime from{2024, 1, 1, 6, 0, 0}, to{2024, 1, 2, 12, 0, 0};
    std::vector<Sql> out;
    for (const std::string order : {" order by fromdate desc", " order by fromdate asc"})
      for (auto [where, params] : {std::pair{"dczt in (1,2,3,4)", std::vector<Value>{}}, {"dczt=?", {2}},
                                   {"dczt in (1,2,3,4) and fromdate>? and fromdate<?", {from, to}},
                                   {"dczt=? and fromdate>? and fromdate<?", {3, from, to}},
                                   {"dczt in (1,2,3,4) and yhm like ?", {"%客户1%"}},
                                   {"dczt=? and yhm like ?", {1, "%客户1%"}}})
        out.push_back(Sql("select * from tdgl where " + (where + order), params));
    return out;
  }
  // The ids (the first column) of a list straight from SQLite, without the engine and its helper tables;
  // on PostgreSQL with ties in key order.
  Strings plain(const Sql& sql) {
    if (!onServer()) return raw(jet::translate(sql.text)->text, sql.params);
    std::string text = jet::translate(sql.text, jet::Dialect::Postgres)->text;
    return raw(text + (text.ends_with("desc") ? ", id desc" : ", id"), sql.params);
  }
  // Pages of 20 of the list through the engine against the plain rows, each read
  // cold (after a change of the file) or as the reads and writes before left it.
  // A page n <= 0 counts from the end: 0 is the last.
  void expectSameAsPlain(const Sql& sql, const std::vector<long>& pages, bool cold = true) {
    const Strings all = plain(sql);
    const long size = static_cast<long>(all.size()), last = std::max(1L, (size + 19) / 20);
    SCOPED_TRACE(sql.text + " with " + (sql.params.empty() ? "" : sql.params.back().text()));
    for (long n : pages) {
      n = n <= 0 ? std::max(1L, last + n) : std::min(n, last);
      if (cold) conn_.Execute("update view2 set view=view");
      Recordset rs;
      rs.PageSize(20);
      rs.Open(sql, conn_, adOpenKeyset, adLockOptimistic);
      EXPECT_EQ(rs.RecordCount(), size);
      if (!rs.Eof()) rs.AbsolutePage(n);
      Strings ids;
      for (int i = 0; i < 20 && !rs.Eof(); ++i, rs.MoveNext()) ids.push_back(rs("id").text());
      EXPECT_EQ(ids, Strings(all.begin() + std::min(size, n * 20 - 20), all.begin() + std::min(size, n * 20)))
          << "page " << n << " of " << last;
    }
  }
  // Whether the planner sorts a list's rows instead of walking an index in their order.
  bool sorts(const Sql& sql) {
    std::string plan;
    for (const std::string& step : raw("explain query plan " + jet::translate(sql.text)->text, {}, 3)) plan += step;
    return plan.find("INDEX tdgl_") == std::string::npos || plan.find("TEMP B-TREE") != std::string::npos;
  }
  void expectWalked(const char* when) {
    for (const Sql& sql : lists()) EXPECT_FALSE(sorts(sql)) << when << ": " << sql.text;
  }
};

TEST_F(OrderList, EveryPageIsThePlainStatementsAndFollowsEveryWriterOfTheFile) {
  rawOrders(2500);  // over about ten days
  // Names the search reads in its own way: case alike only in ASCII, wildcards,
  // too short for a trigram (its trigrams: helper_tables_test), no name at all.
  int i = 0;
  for (const char* name : {"KeHu", "kehu", "KEHU大", "É-kehu", "é-kehu", "100%好", "a_b_c", "a%b%c", "张", "", "ab"})
    for (int k = 0; k < 4; ++k, ++i)  // statuses 1 to 5, times with ties
      raw("insert into tdgl (yhm, fromdate, dczt) values (cast(? as text), ?, ?)",
          {name, "2024-01-0" + std::to_string(1 + i % 3) + " 10:00:0" + std::to_string(i % 2), 1 + i % 5});
  raw("insert into tdgl (yhm, fromdate, dczt) values (null, '2024-01-01 10:00:00', 1)");
  for (const std::string ob : {" order by fromdate desc", " order by fromdate asc", " order by fromdate "})
    for (const std::string find : {"客户12", "kehu", "KEHU", "É-k", "é-KE", "0%好", "a_b", "_b_", "%", "_", "户12x"}) {
      expectSameAsPlain(Sql("select * from tdgl where dczt in (1,2,3,4) and yhm like ?" + ob, {"%" + find}), {1, 2});
      expectSameAsPlain(Sql("select * from tdgl where dczt=? and yhm like ?" + ob, {2, "%" + find + "%"}), {1});
      expectSameAsPlain(Sql("select * from tdgl where yhm like ?" + ob, {find + "%"}), {1});
    }

  std::vector<Sql> all = lists();
  for (const Sql& sql : all) {
    const Strings ids = plain(sql);
    EXPECT_FALSE(ids.empty()) << sql.text;
    EXPECT_EQ(column(sql, "id"), ids) << sql.text;  // the walk from the first row too
    expectSameAsPlain(sql, {1, 2, 20, -1, 0});
    expectSameAsPlain(sql, {20, 20, 0, 20, 2}, false);
  }
  all.insert(all.end(), {Sql("select * from tdgl"), Sql("select * from tdgl order by yhm desc, fromdate"),
                         Sql("select * from tdgl where dczt is null or dczt=5 order by fromdate desc")});
  auto check = [&](const std::vector<Sql>& lists, bool cold) {  // deep pages placed through the tally
    for (const Sql& sql : lists) expectSameAsPlain(sql, {1, 51, 52, 60, 75, 99, 100}, cold);
    EXPECT_EQ(raw("select sum(n) from tdgl_tally"), raw("select count(*) from tdgl where dczt is not null"));
  };
  check(all, true);
  // Lists whose counts and windows the engine still holds when a writer comes (it holds a few).
  const std::vector<Sql> known = {all[0], all[4], all[13]};
  auto update = [&](const char* change) {  // on a connection of its own
    Connection c;
    c.Open(connectionText());
    c.Execute(std::string("update tdgl set ") + change);
  };
  // Each writer's change seen by the next read, with no other change of the file;
  // the stamp moved by the write, and only by it (not by the reads).
  const std::pair<const char*, std::function<void()>> writers[] = {
      {"another program: status moves, deletes, new times, an order without a time and one without a status",
       [&] {
         ASSERT_EQ(std::system(("sqlite3 '" + path_ + "' \"update tdgl set dczt = 5 where id % 7 = 0; delete from tdgl "
                                "where id % 11 = 0; update tdgl set fromdate = '2023-12-31 23:59:00' where id % 13 = 0;"
                                "insert into tdgl (yhm, dczt) values ('x', 2); insert into tdgl (yhm, fromdate) values "
                                "('y', '2024-01-03 00:00:00')\"").c_str()), 0);
       }},
      {"this connection", [&] { conn_.Execute("delete from tdgl where id % 17 = 0"); }},
      {"another thread's connection", [&] { std::thread(update, "dczt=4 where id % 19 = 0").join(); }},
      {"a record set's new row, the oldest of all",
       [&] { add("tdgl", {{"yhm", "最早"}, {"fromdate", DateTime{2023, 1, 1, 0, 0, 0}}, {"dczt", 4}}); }},
      {"SQLite without the data layer: a time that is no date text",
       [&] { raw("update tdgl set fromdate = 'soon' where id = 5"); }},
  };
  for (const auto& [who, write] : writers) {
    SCOPED_TRACE(who);
    check(known, false);
    const std::uint64_t before = changeStamp(path_);
    write();
    const std::uint64_t after = changeStamp(path_);
    check(known, false);
    check(all, false);
    EXPECT_EQ(std::tuple(before != after, changeStamp(path_)), std::tuple(true, after));
  }
  EXPECT_THROW((void)changeStamp(dir_ + "/none.mdb"), Error);
  // The count is the tally's: one counted twice behind its back shows.
  const Sql third("select * from tdgl where dczt=? order by fromdate desc", {3});
  raw("update tdgl_tally set n = n + 1 where dczt = 3 and day = (select max(day) from tdgl_tally)");
  Recordset rs;
  rs.Open(third, conn_, adOpenKeyset, adLockReadOnly);
  EXPECT_EQ(rs.RecordCount(), static_cast<long>(plain(third).size()) + 1);
}

// An older file: no helper tables, time indexes of an older layout without
// the planner's statistics, a table and a column missing, a settings row
// missing, the newest orders deleted.
TEST_F(OrderList, AnOlderFileIsReadAsItIsAndGainsThePresentLayoutAtAStartOrARestore) {
  rawOrders(300);
  expectWalked("present layout");
  std::string older = "delete from sqlite_stat1; drop index tdgl_fromdate; drop index tdgl_dczt; create index "
                      "tdgl_fromdate on tdgl (fromdate, dczt); create index tdgl_dczt on tdgl (dczt, fromdate); drop "
                      "table cyxw; delete from view2; alter table tdgl drop column taker; update set_tamloall set "
                      "order_time=5; delete from tdgl where id > 298;";
  for (const std::string name : {"tdgl_tally", "tdgl_yhm_grams"}) {
    older += "drop table " + name + ";";
    for (const auto& trigger : triggersOf(name)) older += "drop trigger " + trigger + ";";
  }
  // Two tables, the search's index, three triggers each.
  const std::string helpers = "select count(*) from sqlite_schema where name glob 'tdgl_tally*' or name glob "
                              "'tdgl_yhm_*'";
  const Sql byName("select * from tdgl where dczt in (1,2,3,4) and yhm like ? order by fromdate desc", {"%客户12%"});
  raw(older);
  EXPECT_TRUE(sorts(lists()[0]));
  expectSameAsPlain(byName, {1});  // read without the helpers
  backup(path_, dir_ + "/older.mdb");

  EXPECT_FALSE(ensureDatabase(path_));
  expectWalked("older file started");
  // The time index's present columns; nothing reset, no settings row doubled, no key used again.
  EXPECT_EQ(raw("select (" + helpers + ") || ' ' || (select group_concat(name) from pragma_index_info('tdgl_fromdate'))"
                " || ' ' || count(*) || ' ' || count(taker) || ' ' || (select view from view2) || ' ' || (select "
                "count(*) from cyxw) || ' ' || (select group_concat(order_time) from set_tamloall) from tdgl"),
            Strings{"9 fromdate,dczt,yhm 298 0 1 0 5"});
  EXPECT_EQ(addOrder("next", {2024, 1, 1, 0, 0, 0}), 301);
  expectSameAsPlain(byName, {1});
  // Rows of the search gone behind its back: the list is read through it, and a start builds it again.
  raw("delete from tdgl_yhm_grams");
  EXPECT_EQ(column(byName, "id"), Strings{});
  EXPECT_FALSE(ensureDatabase(path_));
  expectSameAsPlain(byName, {1});

  restore(dir_ + "/older.mdb", path_);
  expectWalked("older copy restored");
  EXPECT_EQ(raw("select (" + helpers + ") || ' ' || sum(n) from tdgl_tally"), Strings{"9 298"});
  expectSameAsPlain(byName, {1});
}

// On PostgreSQL: pages near either end, in the middle and past it (read from
// the end) are the plain statement's, and a write of another connection
// reaches the kept count through the change stamp.
TEST_F(OrderList, PagesOnTheServerAreThePlainStatementsAndFollowOtherWriters) {
  if (!onServer()) GTEST_SKIP() << "runs under the label postgresql";
  raw("insert into tdgl (yhm, fromdate, dczt) select '客户' || i, timestamp '2024-01-01' + (i / 3 * 17) * interval "
      "'1 minute', 1 + i % 5 from generate_series(0, 2499) i");
  for (const Sql& sql : lists()) {
    expectSameAsPlain(sql, {1, 2, 40, 60, -1, 0});
    expectSameAsPlain(sql, {60, 61, 0, 60, 2}, false);
  }
  const Sql list = lists()[0];
  const long before = static_cast<long>(plain(list).size());
  raw("insert into tdgl (yhm, fromdate, dczt) values ('other', '2024-02-01', 1)");
  Recordset rs;
  for (int tries = 0; tries < 100 && (rs.Close(), rs.Open(list, conn_, adOpenKeyset), rs.RecordCount() == before);
       ++tries)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(rs.RecordCount(), before + 1);
  rs.AbsolutePage(rs.PageCount());
  expectSameAsPlain(list, {0}, false);
}
