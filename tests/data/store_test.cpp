// The store through its public face, on real temporary database files, with
// the statement texts the pages send.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <thread>

#include "data/temp_db.h"

namespace tovi::testing {
namespace {

using data::adLockOptimistic;
using data::adLockReadOnly;
using data::adOpenKeyset;
using data::DateTime;
using data::Error;
using data::Recordset;
using data::Sql;
using data::Value;

class StoreTest : public TempDb {};

TEST_F(StoreTest, NewFileHoldsTheSettingsRowsAndEnsuringKeepsEveryRow) {
  EXPECT_EQ(column("select * from set_tamloall", "order_time_state"), Strings{"0"});
  for (auto [field, v] : {std::pair{"order_time", "10"}, {"order_times", "3"}, {"order_delet_state", "0"},
                          {"order_deletkey", ""}})
    EXPECT_EQ(column("select * from set_tamloall", field), Strings{v}) << field;
  EXPECT_EQ(column("select * from view2 ", "view"), Strings{"1"});
  EXPECT_EQ(column("select * from bulletin ", "content"), Strings{""});
  for (const char* empty : {"cygl", "cyxw", "tdgl", "err_record", "reg", "wq_admin", "Feedback"}) {
    Recordset rs;
    rs.Open(std::string("select * from ") + empty, conn_, adOpenKeyset, adLockReadOnly);
    EXPECT_TRUE(rs.Eof() && rs.Bof()) << empty;
    EXPECT_EQ(rs.RecordCount(), 0) << empty;
  }

  long long id = addOrder("张三", {2024, 3, 9, 10, 0, 0});
  conn_.Execute("update view2 set view=0");
  EXPECT_FALSE(data::ensureDatabase(path_));
  EXPECT_EQ(column("select * from tdgl", "id"), Strings{std::to_string(id)});
  EXPECT_EQ(column("select * from view2", "view"), Strings{"0"});  // not reset, not doubled
  EXPECT_EQ(column("select * from set_tamloall", "order_time"), Strings{"10"});

  // An older file: a table lacking columns, a settings table lacking its row.
  const std::string old = dir_ + "/old.mdb";
  raw("create table tdgl (id integer primary key autoincrement, yhm text); insert into tdgl (yhm) values ('老客户');"
      "create table view2 (view integer);",
      old);
  EXPECT_FALSE(data::ensureDatabase(old));
  data::Connection c;
  c.Open("Data Source=" + old);
  Recordset rs;
  rs.Open("select * from tdgl", c, adOpenKeyset, adLockReadOnly);
  EXPECT_EQ(rs("yhm").text(), "老客户");
  EXPECT_TRUE(rs("dczt").isNull());
  EXPECT_TRUE(rs("fromdate").isNull());
  rs.Open("select * from view2", c, adOpenKeyset, adLockReadOnly);
  EXPECT_EQ(rs("view").value(), Value(1));
}

TEST_F(StoreTest, OpeningNeedsADatabaseFileAndAReplacedOneIsSeenAfresh) {
  data::Connection c;
  EXPECT_THROW(c.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + dir_ + "/missing.mdb"), Error);
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/missing.mdb"));
  EXPECT_THROW(c.Open("Provider=Microsoft.Jet.OLEDB.4.0"), Error);
  std::ofstream(dir_ + "/text.mdb") << "this is no database, it is a text file of some length............";
  EXPECT_THROW(c.Open("Data Source=" + dir_ + "/text.mdb"), Error);
  EXPECT_FALSE(c.isOpen());
  EXPECT_THROW(c.Execute("delete from tdgl"), Error);
  Recordset rs;
  EXPECT_THROW(rs.Open("select * from tdgl", c, adOpenKeyset, adLockReadOnly), Error);
  EXPECT_EQ(data::dataSourceOf("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/a b/c.mdb"), "/a b/c.mdb");
  EXPECT_EQ(data::dataSourceOf("data source = /x.mdb ; Persist Security Info=False"), "/x.mdb");
  EXPECT_EQ(data::dataSourceOf("Provider=x"), "");

  addOrder("before", {2024, 1, 1, 0, 0, 0});
  conn_.Close();
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path_ + suffix);
  ASSERT_TRUE(data::ensureDatabase(path_));
  conn_.Open(connectionText());
  EXPECT_EQ(column("select * from tdgl", "yhm"), Strings{});
}

// What the pages' lists lean on beyond plain SQL: column defaults, logical
// values read back, case in names, parameters, and what a delete reports.
TEST_F(StoreTest, ThePagesStatementsSeeDefaultsAndReportWhatTheyDelete) {
  long long a = add("cygl", {{"name", "红烧肉"}, {"lei2", 1}}).toInteger();
  long long b = add("cygl", {{"name", "鱼香肉丝"}, {"lei2", 2}}).toInteger();
  // Guestbook messages: `del` left to its column's default counts as kept.
  std::map<std::string, std::string> msg;
  msg["old"] = add("Feedback", {{"UserName", "old"}, {"top", 0}, {"del", false}, {"PostDate", DateTime{2024, 1, 1, 0, 0, 0}}}, "ID").text();
  msg["pinned"] = add("Feedback", {{"UserName", "pinned"}, {"top", 1}, {"PostDate", DateTime{2024, 1, 2, 0, 0, 0}}}, "ID").text();
  msg["gone"] = add("Feedback", {{"UserName", "gone"}, {"top", 1}, {"del", true}, {"PostDate", DateTime{2024, 1, 5, 0, 0, 0}}}, "ID").text();
  msg["new"] = add("Feedback", {{"UserName", "new"}, {"top", 0}, {"PostDate", DateTime{2024, 1, 4, 0, 0, 0}}}, "ID").text();
  std::string member = add("reg", {{"names", "member1"}, {"sex", "1"}, {"yearss", "1990"}}).text();
  for (auto [name, day] : {std::pair{"王五", 1}, {"王五六", 2}, {"王五", 3}}) addOrder(name, {2024, 1, day, 10, 0, 0}, day);
  struct Case {
    Sql sql;
    const char* field;
    Strings rows;
  } cases[] = {
      {"select * from Feedback where del=false order by top desc, PostDate desc", "UserName", {"pinned", "new", "old"}},
      {" select * from feedback where del=false and ID=" + msg["gone"], "UserName", {}},
      {"select * from feedback where ID=" + msg["gone"], "del", {"True"}},
      {"select * from reg where id=" + member, "sh", {"0"}},  // not yet approved
      {"select * from tdgl where yhm='王五'", "dczt", {"1", "3"}},
      {Sql("select * from tdgl where yhm=?", {"王五"}), "dczt", {"1", "3"}},
      {Sql("select * from tdgl where yhm like ?", {"%五六%"}), "yhm", {"王五六"}},
  };
  for (const Case& k : cases) EXPECT_EQ(column(k.sql, k.field), k.rows) << k.sql.text;
  Recordset rs;  // the guestbook's paged list
  rs.CursorLocation(data::adUseClient);
  rs.PageSize(10);
  rs.Open("select * from Feedback where del=false order by top desc, PostDate desc", conn_, adOpenKeyset, adLockReadOnly);
  EXPECT_EQ(rs.RecordCount(), 3);
  EXPECT_EQ(rs("del").value(), Value(false));
  // The multi-deletes remove only the rows their conditions name.
  const std::string both = std::to_string(a) + ", " + std::to_string(b);
  EXPECT_EQ(conn_.Execute("delete from cygl where lei2=1 and id in (" + both + ")"), 1);
  EXPECT_EQ(column("select * from cygl", "name"), Strings{"鱼香肉丝"});
  EXPECT_EQ(conn_.Execute("delete from Feedback where ID in (" + msg["gone"] + "," + msg["old"] + ")"), 2);
  EXPECT_EQ(column("select * from Feedback", "UserName"), (Strings{"pinned", "new"}));
}

TEST_F(StoreTest, OrdersFilteredOnTheirTimeWithDateLiterals) {
  addOrder("eve", {2024, 12, 31, 23, 59, 59});
  addOrder("newyear", {2025, 1, 1, 0, 0, 0});
  addOrder("before", {2024, 12, 31, 23, 59, 58}, 4);
  addOrder("cook", {2024, 6, 1, 12, 0, 0}, 2);
  addOrder("void", {2024, 6, 1, 12, 0, 0}, 5);

  // The part columns hold the same moment as fromdate.
  Recordset rs;
  rs.Open("select * from tdgl where yhm='eve'", conn_, adOpenKeyset, adLockReadOnly);
  EXPECT_EQ(rs("fromdate").value(), Value(DateTime{2024, 12, 31, 23, 59, 59}));
  EXPECT_EQ(rs("fromdate").text(), "2024-12-31 23:59:59");
  for (auto [f, v] : {std::pair{"years", 2024}, {"months", 12}, {"days", 31}, {"hourss", 23}, {"minutess", 59}})
    EXPECT_EQ(rs(f).value(), Value(v)) << f;

  struct Case {
    Sql sql;
    Strings names;
  } cases[] = {
      {"select * from tdgl where dczt in (1,2,3,4) and fromdate>#2024-12-31 23:59:58# and fromdate<#2025-1-1 0:0:0# "
       "order by fromdate desc",
       {"eve"}},  // both bounds exclusive
      {"select * from tdgl where dczt in (1,2,3,4) and fromdate>#2024-12-31 0:0:0# and fromdate<#2025-1-1 0:0:1# "
       "order by fromdate asc ",
       {"before", "eve", "newyear"}},
      {"select * from tdgl where dczt=4 and fromdate>#2024/1/1# and fromdate<#2025-12-31 23:59:59# "
       "order by fromdate desc ",
       {"before"}},
      {"select * from tdgl where dczt in (1,2,3,4) order by fromdate desc", {"newyear", "eve", "before", "cook"}},
      {"select * from tdgl where dczt=2 order by fromdate desc", {"cook"}},
      {"select * from tdgl where dczt in (1,2,3,4) and yhm like '%E%' order by fromdate desc",
       {"newyear", "eve", "before"}},  // like ignores letter case
      // Date-times as parameters compare the same way.
      {Sql("select * from tdgl where fromdate>? and fromdate<? order by fromdate",
           {DateTime{2024, 12, 31, 23, 59, 58}, DateTime{2025, 1, 1, 0, 0, 1}}),
       {"eve", "newyear"}},
  };
  for (const auto& c : cases) EXPECT_EQ(column(c.sql, "yhm"), c.names) << c.sql.text;
}

TEST_F(StoreTest, HostileValuesStayValues) {
  const Strings hostile = {"x' or '1'='1", "'; delete from tdgl; --", "\" or \"\"=\"", "#2024-1-1#",
                           "%", "?", "1) or (1=1", "\\'", std::string("a\0b", 3)};
  for (const auto& h : hostile) addOrder(h, {2024, 1, 1, 0, 0, 0});
  addOrder("bystander", {2024, 1, 1, 0, 0, 0});
  for (const auto& h : hostile) {
    EXPECT_EQ(column(Sql("select * from tdgl where yhm=?", {h}), "yhm"), Strings{h}) << h;
    EXPECT_EQ(conn_.Execute(Sql("delete from tdgl where yhm=? and dczt=9", {h})), 0) << h;
  }
  EXPECT_EQ(conn_.Execute(Sql("delete from tdgl where id=?", {"1 or 1=1"})), 0);
  EXPECT_EQ(column("select * from tdgl where yhm='bystander'", "yhm"), Strings{"bystander"});
  EXPECT_EQ(column("select * from tdgl", "id").size(), 10u);
}

TEST_F(StoreTest, StatementsOutsideTheDialectAreRefused) {
  addOrder("kept", {2024, 1, 1, 0, 0, 0});
  const char* bad[] = {
      "", "   ", "drop table tdgl", "pragma writable_schema=1", "attach database '/tmp/x' as y", "vacuum",
      "select * from tdgl; delete from tdgl", "delete from tdgl where id=1 -- and dczt=4",
      "delete from tdgl where id=1 /* */", "delete from tdgl where yhm='open", "delete from tdgl where fromdate>#2024-3-9",
      "delete from tdgl where fromdate>#2024-2-30 10:00:00#", "delete from tdgl where fromdate>#yesterday#",
      "delete from tdgl where (id=1", "delete from tdgl where id=1)", "delete from tdgl where id=1 where",
      "delete from tdgl where", "delete from tdgl where id in ()", "delete from tdgl where id in (1,,2)",
      "delete from tdgl where id=load_extension('x')", "delete from tdgl where id=@x", "delete from tdgl where id=1e",
      "delete from tdgl where yhm=`x`", "delete from nosuchtable", "delete from tdgl where nosuchcolumn=1",
  };
  for (const char* sql : bad) {
    EXPECT_THROW(conn_.Execute(sql), Error) << sql;
    std::string select = std::string(sql).starts_with("delete from") ? "select * from" + std::string(sql + 11) : sql;
    Recordset rs;
    EXPECT_THROW(rs.Open(select, conn_, adOpenKeyset, adLockReadOnly), Error) << select;
  }
  Recordset rs;
  EXPECT_THROW(rs.Open("delete from tdgl", conn_, adOpenKeyset, adLockReadOnly), Error);
  EXPECT_THROW(rs.Open(Sql("select * from tdgl where id=?", {}), conn_, adOpenKeyset, adLockReadOnly), Error);
  EXPECT_THROW(conn_.Execute(Sql("delete from tdgl where id=?", {1, 2})), Error);
  EXPECT_EQ(column("select * from tdgl", "yhm"), Strings{"kept"});
}

// Lists of 0, one page, one page and a row, two pages, two pages and a row.
TEST_F(StoreTest, PagingBoundaries) {
  int added = 0;
  for (int rows : {0, 20, 21, 40, 41}) {
    for (; added < rows; ++added) addOrder("c" + std::to_string(added), DateTime{2024, 1, 1, 0, 0, 0}.addSeconds(added * 60));
    SCOPED_TRACE("rows " + std::to_string(rows));
    Recordset rs;
    rs.PageSize(20);
    rs.Open("select * from tdgl where dczt in (1,2,3,4) order by fromdate desc", conn_, adOpenKeyset, adLockOptimistic);
    EXPECT_EQ(rs.RecordCount(), rows);
    long pages = (rows + 19) / 20;
    EXPECT_EQ(rs.PageCount(), pages);
    EXPECT_EQ(rs.Eof(), rows == 0);
    EXPECT_EQ(rs.Bof(), rows == 0);
    if (rows == 0) {
      EXPECT_EQ(rs.AbsolutePage(), -1);
      EXPECT_THROW(rs.AbsolutePage(1), Error);
      EXPECT_THROW(rs.MoveNext(), Error);
      EXPECT_THROW(rs("yhm"), Error);
      continue;
    }
    EXPECT_EQ(rs.AbsolutePage(), 1);
    // The last page (what each page holds the order list's tests walk).
    rs.AbsolutePage(pages);
    EXPECT_EQ(rs.AbsolutePage(), pages);
    EXPECT_EQ(rs.Bookmark(), Value((pages - 1) * 20 + 1));
    EXPECT_EQ(rs("yhm").text(), "c" + std::to_string(rows - 1 - (pages - 1) * 20));  // newest first
    for (long left = rows - (pages - 1) * 20; left > 0; --left) rs.MoveNext();
    EXPECT_TRUE(rs.Eof());
    EXPECT_FALSE(rs.Bof());
    EXPECT_THROW(rs.MoveNext(), Error);
    EXPECT_THROW(rs.Move(1), Error);
    EXPECT_THROW(rs("yhm"), Error);
    EXPECT_THROW(rs.Bookmark(), Error);
    EXPECT_THROW(rs.AbsolutePage(pages + 1), Error);
    EXPECT_THROW(rs.AbsolutePage(0), Error);

    // The lists' way to a page: Move from the first row.
    rs.MoveFirst();
    rs.Move(20);
    EXPECT_EQ(rs.Eof(), rows <= 20);
    if (rows > 20) {
      EXPECT_EQ(rs.Bookmark(), Value(21));
    }
    rs.MoveFirst();
    rs.Move(rows - 1);
    EXPECT_EQ(rs("yhm").text(), "c0");
    rs.Move(-(rows - 1));
    EXPECT_EQ(rs.Bookmark(), Value(1));
    rs.Move(-1);
    EXPECT_TRUE(rs.Bof());
    EXPECT_FALSE(rs.Eof());
    EXPECT_THROW(rs.Move(-1), Error);
    rs.Move(1000);
    EXPECT_TRUE(rs.Eof());
  }
}

TEST_F(StoreTest, WalkingManyRowsCrossesFetchWindows) {
  for (int i = 0; i < 150; ++i) addOrder("w" + std::to_string(i), DateTime{2024, 2, 1, 0, 0, 0}.addSeconds(i));
  addOrder("tie-a", {2024, 1, 1, 0, 0, 0});
  addOrder("tie-b", {2024, 1, 1, 0, 0, 0});
  Strings expected = {"tie-a", "tie-b"};  // equal times keep the order they were added in
  for (int i = 0; i < 150; ++i) expected.push_back("w" + std::to_string(i));
  EXPECT_EQ(column("select * from tdgl order by fromdate asc", "yhm"), expected);
  // A page size larger than the fetch window.
  Recordset rs;
  rs.PageSize(100);
  rs.Open("select * from tdgl order by fromdate asc", conn_, adOpenKeyset, adLockReadOnly);
  rs.AbsolutePage(2);
  EXPECT_EQ(rs("yhm").text(), "w98");
  EXPECT_EQ(rs.PageCount(), 2);
}

TEST_F(StoreTest, AddNewThenUpdateKeepsNullAndEmptyApart) {
  Recordset rs;
  rs.Open("select * from tdgl", conn_, adOpenKeyset, adLockOptimistic);
  EXPECT_TRUE(rs.Eof());
  DateTime at{2024, 12, 31, 23, 59, 59};
  rs.AddNew();
  EXPECT_TRUE(rs("id").value().isEmpty());
  EXPECT_FALSE(rs.Eof());
  for (const auto& [f, v] : Fields{{"yhm", "李四"}, {"addresss", "东区1号"}, {"dcqk", "炒饭 x 2 = 17\n可乐 x 1 = 3"},
                                   {"dczj", "20"}, {"minutes", "00"}, {"qtbz", ""}, {"zffs", "餐到付费"},
                                   {"fromdate", at}, {"dczt", 1}})
    rs(f) = v;
  EXPECT_EQ(rs("YHM").text(), "李四");  // assigned, not yet written
  rs.Update();
  long long id = rs("id").value().toInteger();
  EXPECT_GT(id, 0);
  EXPECT_EQ(rs("ID").value(), Value(id));
  EXPECT_EQ(rs.RecordCount(), 1);
  rs.MoveNext();
  EXPECT_TRUE(rs.Eof());

  const std::string row = "select * from tdgl where id=" + std::to_string(id);
  rs.Open(row, conn_, adOpenKeyset, adLockOptimistic);
  EXPECT_EQ(rs("dcqk").text(), "炒饭 x 2 = 17\n可乐 x 1 = 3");
  EXPECT_EQ(rs("fromdate").value(), Value(at));
  EXPECT_EQ(rs("minutes").value(), Value("00"));  // a text column keeps the text
  EXPECT_EQ(rs("dczj").value(), Value("20"));
  // Empty (assigned "") and null (never assigned) stay apart.
  EXPECT_EQ(rs("qtbz").value().kind(), Value::Kind::Text);
  EXPECT_TRUE(rs("qtbz").value().blank());
  EXPECT_TRUE(rs("telsss").isNull());
  EXPECT_EQ(rs("telsss").text(), "");
  EXPECT_EQ(column("select * from tdgl where qtbz=''", "id"), Strings{std::to_string(id)});
  EXPECT_EQ(column("select * from tdgl where telsss is null", "id"), Strings{std::to_string(id)});

  rs("dczt") = "3";
  rs("dczj") = Value::null();
  rs.Update();
  EXPECT_EQ(rs("dczt").value(), Value(3));
  rs.Open(row, conn_, adOpenKeyset, adLockReadOnly);
  EXPECT_EQ(rs("dczt").value(), Value(3));
  EXPECT_TRUE(rs("dczj").isNull());
  EXPECT_EQ(rs("yhm").text(), "李四");  // what was not assigned stays
  EXPECT_EQ(rs("zffs").text(), "餐到付费");
}

TEST_F(StoreTest, ValuesAreStoredAsTheirColumnsHoldThem) {
  Recordset rs;
  rs.Open("select * from tdgl", conn_, adOpenKeyset, adLockOptimistic);
  rs.AddNew();
  rs("dczt") = " 12 ";
  rs("years") = 2024.0;
  rs("fromdate") = "2024-3-9 10:00";
  rs("dczj") = 12.5;
  rs("hours") = 7;
  rs.Update();
  EXPECT_EQ(rs("dczt").value(), Value(12));
  EXPECT_EQ(rs("dczt").value().kind(), Value::Kind::Integer);
  EXPECT_EQ(rs("years").value().kind(), Value::Kind::Integer);
  EXPECT_EQ(rs("fromdate").value(), Value(DateTime{2024, 3, 9, 10, 0, 0}));
  EXPECT_EQ(rs("dczj").value(), Value("12.5"));
  EXPECT_EQ(rs("hours").value(), Value("7"));

  // What a column cannot hold is refused at the assignment and never stored.
  const std::pair<const char*, Value> bad[] = {
      {"dczt", Value("abc")}, {"dczt", Value("")},         {"dczt", Value("1; drop")},      {"dczt", Value(DateTime{})},
      {"fromdate", Value("soon")}, {"fromdate", Value(5)}, {"fromdate", Value("2024-2-30")}};
  for (const auto& [field, v] : bad) EXPECT_THROW(rs(field) = v, Error) << field << " " << v.text();
  rs.Update();
  std::string id = rs("id").text();
  EXPECT_EQ(column("select * from tdgl where id=" + id, "dczt"), Strings{"12"});
  EXPECT_EQ(column("select * from tdgl where id=" + id, "fromdate"), Strings{"2024-3-9 10:00:00"});

  Recordset fb;
  fb.Open("select * from Feedback", conn_, adOpenKeyset, adLockOptimistic);
  fb.AddNew();
  fb("del") = "True";
  EXPECT_THROW(fb("del") = "maybe", Error);
  fb.Update();
  EXPECT_EQ(fb("del").value(), Value(true));
}

TEST_F(StoreTest, WritesNeedAWritableRecordSetAndAWrittenRow) {
  addOrder("a", {2024, 1, 1, 0, 0, 0});
  addOrder("b", {2024, 1, 2, 0, 0, 0});
  Recordset rs;
  rs.Open("select * from tdgl", conn_, adOpenKeyset, adLockReadOnly);
  EXPECT_THROW(rs("dczt") = 2, Error);
  EXPECT_THROW(rs.AddNew(), Error);
  rs.Update();  // nothing assigned: nothing to do
  rs.Open("select yhm from tdgl", conn_, adOpenKeyset, adLockOptimistic);
  EXPECT_EQ(rs("yhm").text(), "a");
  EXPECT_THROW(rs("yhm") = "x", Error);
  EXPECT_THROW(rs("dczt"), Error);  // not a column of this query
  rs.Open("select * from tdgl where id=-1", conn_, adOpenKeyset, adLockOptimistic);
  EXPECT_THROW(rs("dczt") = 2, Error);  // no current row
  EXPECT_THROW(rs("nosuch"), Error);
  Recordset closed;
  EXPECT_THROW((void)closed.Eof(), Error);
  EXPECT_FALSE(closed.isOpen());
  EXPECT_EQ(column("select * from tdgl order by fromdate", "dczt"), (Strings{"1", "1"}));

  // Moving off an edited row writes it; closing drops what was not written.
  rs.Open("select * from tdgl order by fromdate", conn_, adOpenKeyset, adLockOptimistic);
  rs("dczt") = 2;
  rs.MoveNext();
  rs("dczt") = 3;
  rs.Close();
  EXPECT_EQ(column("select * from tdgl order by fromdate", "dczt"), (Strings{"2", "1"}));
}

TEST_F(StoreTest, KeysAreNeverReused) {
  long long a = addOrder("a", {2024, 1, 1, 0, 0, 0});
  long long b = addOrder("b", {2024, 1, 1, 0, 0, 0});
  EXPECT_EQ(conn_.Execute(Sql("delete from tdgl where id=?", {b})), 1);
  long long c = addOrder("c", {2024, 1, 1, 0, 0, 0});
  EXPECT_GT(c, b);
  EXPECT_EQ(conn_.Execute("delete from tdgl where id in (" + std::to_string(a) + "," + std::to_string(c) + ")"), 2);
  EXPECT_FALSE(data::ensureDatabase(path_));
  EXPECT_GT(addOrder("d", {2024, 1, 1, 0, 0, 0}), c);
}

TEST_F(StoreTest, ConcurrentWritersAllLandAndFailAlone) {
  constexpr int kThreads = 8, kEach = 40;
  long long taken = addOrder("taken", {2024, 1, 1, 0, 0, 0});
  std::vector<std::vector<long long>> ids(kThreads);
  std::vector<int> refused(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      data::Connection c;
      c.Open(connectionText());
      for (int i = 0; i < kEach; ++i) {
        Recordset rs;
        rs.Open("select * from tdgl", c, adOpenKeyset, adLockOptimistic);
        rs.AddNew();
        rs("yhm") = "t" + std::to_string(t);
        if (i % 5 == 4) rs("id") = taken;  // collides with an existing key: it alone must fail
        try {
          rs.Update();
          ids[static_cast<std::size_t>(t)].push_back(rs("id").value().toInteger());
        } catch (const Error&) {
          ++refused[static_cast<std::size_t>(t)];
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  std::set<long long> all;
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(refused[static_cast<std::size_t>(t)], kEach / 5);
    for (long long id : ids[static_cast<std::size_t>(t)]) {
      EXPECT_TRUE(all.insert(id).second) << id;
      EXPECT_EQ(column("select * from tdgl where id=" + std::to_string(id), "yhm"), Strings{"t" + std::to_string(t)});
    }
  }
  EXPECT_EQ(column("select * from tdgl", "id").size(), 1u + kThreads * (kEach - kEach / 5));
}

}  // namespace
}  // namespace tovi::testing
