// The store through its public face, on real temporary database files, with
// the statement texts the pages send.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "data/connection.h"
#include "data/recordset.h"
#include "data/schema.h"

namespace data = tovi::data;
using data::adLockOptimistic;
using data::adLockReadOnly;
using data::adOpenKeyset;
using data::DateTime;
using data::Error;
using data::Recordset;
using data::Sql;
using data::Value;

namespace {

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tovi-data-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    path_ = dir_ + "/tamlo.mdb";
    ASSERT_TRUE(data::ensureDatabase(path_));
    conn_.Open(connectionText());
  }
  void TearDown() override {
    conn_.Close();
    std::filesystem::remove_all(dir_);
  }

  std::string connectionText() const { return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path_; }

  using Fields = std::vector<std::pair<std::string, Value>>;
  // One row written through AddNew/Update; its key as the store gave it.
  Value add(const std::string& table, const Fields& fields, const std::string& key = "id") {
    Recordset rs;
    rs.Open("select * from " + table, conn_, adOpenKeyset, adLockOptimistic);
    rs.AddNew();
    for (const auto& [f, v] : fields) rs(f) = v;
    rs.Update();
    return rs(key).value();
  }
  long long addDish(const std::string& name, int lei2, const std::string& lei, DateTime dates) {
    return add("cygl", {{"name", name}, {"jiage", "8.5"}, {"lei", lei}, {"lei2", lei2}, {"dates", dates}}).toInteger();
  }
  long long addOrder(const std::string& yhm, DateTime at, int dczt = 1) {
    return add("tdgl", {{"yhm", yhm}, {"fromdate", at}, {"years", at.year}, {"months", at.month}, {"days", at.day},
                        {"hourss", at.hour}, {"minutess", at.minute}, {"dczt", dczt}})
        .toInteger();
  }

  // The values of one column of every row, walking with MoveNext.
  std::vector<std::string> column(const Sql& sql, const std::string& field) {
    Recordset rs;
    rs.Open(sql, conn_, adOpenKeyset, adLockReadOnly);
    std::vector<std::string> out;
    while (!rs.Eof()) {
      out.push_back(rs(field).text());
      rs.MoveNext();
    }
    return out;
  }

  std::string dir_, path_;
  data::Connection conn_;
};

using Strings = std::vector<std::string>;

TEST_F(StoreTest, NewDatabaseHoldsTheSettingsRows) {
  Recordset rs;
  rs.Open("select * from set_tamloall", conn_, adOpenKeyset, adLockReadOnly);
  ASSERT_FALSE(rs.Eof());
  EXPECT_EQ(rs.RecordCount(), 1);
  EXPECT_EQ(rs("order_time_state").value(), Value(0));
  EXPECT_EQ(rs("order_time").value(), Value(10));
  EXPECT_EQ(rs("order_times").value(), Value(3));
  EXPECT_EQ(rs("order_delet_state").value(), Value(0));
  EXPECT_EQ(rs("order_deletkey").value(), Value(""));
  rs.Open("select * from view2 ", conn_, adOpenKeyset, adLockReadOnly);
  EXPECT_EQ(rs("view").value(), Value(1));
  rs.Open("select * from bulletin ", conn_, adOpenKeyset, adLockReadOnly);
  EXPECT_EQ(rs("content").value(), Value(""));
  for (const char* empty : {"cygl", "cyxw", "tdgl", "err_record", "reg", "wq_admin", "Feedback"}) {
    rs.Open(std::string("select * from ") + empty, conn_, adOpenKeyset, adLockReadOnly);
    EXPECT_TRUE(rs.Eof() && rs.Bof()) << empty;
    EXPECT_EQ(rs.RecordCount(), 0) << empty;
  }
}

TEST_F(StoreTest, EnsuringAnExistingFileKeepsItsRowsAndAddsWhatIsMissing) {
  long long id = addOrder("张三", {2024, 3, 9, 10, 0, 0});
  Recordset rs;
  rs.Open("select * from view2", conn_, adOpenKeyset, adLockOptimistic);
  rs("view") = 0;
  rs.Update();
  rs.Close();

  EXPECT_FALSE(data::ensureDatabase(path_));
  EXPECT_EQ(column("select * from tdgl", "id"), Strings{std::to_string(id)});
  EXPECT_EQ(column("select * from view2", "view"), Strings{"0"});  // not reset, not doubled
  EXPECT_EQ(column("select * from set_tamloall", "order_time"), Strings{"10"});

  // An older file: a table lacking columns, a settings table lacking its row.
  std::string old = dir_ + "/old.mdb";
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(old.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "create table tdgl (id integer primary key autoincrement, yhm text);"
                         "insert into tdgl (yhm) values ('老客户');"
                         "create table view2 (view integer);",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  EXPECT_FALSE(data::ensureDatabase(old));
  data::Connection c;
  c.Open("Data Source=" + old);
  rs.Open("select * from tdgl", c, adOpenKeyset, adLockReadOnly);
  EXPECT_EQ(rs("yhm").text(), "老客户");
  EXPECT_TRUE(rs("dczt").isNull());
  EXPECT_TRUE(rs("fromdate").isNull());
  rs.Open("select * from view2", c, adOpenKeyset, adLockReadOnly);
  EXPECT_EQ(rs("view").value(), Value(1));
}

TEST_F(StoreTest, OpeningNeedsAnExistingDatabaseFile) {
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
}

TEST_F(StoreTest, AReplacedFileIsSeenAfresh) {
  addOrder("before", {2024, 1, 1, 0, 0, 0});
  conn_.Close();
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path_ + suffix);
  ASSERT_TRUE(data::ensureDatabase(path_));
  conn_.Open(connectionText());
  EXPECT_EQ(column("select * from tdgl", "yhm"), Strings{});
}

TEST_F(StoreTest, CategoryAndHomePageStatements) {
  long long a = addDish("红烧肉", 1, "招牌老菜", {2024, 1, 1, 9, 0, 0});
  long long b = addDish("炒饭", 1, "新品推荐", {2024, 1, 3, 9, 0, 0});
  long long c = addDish("鱼香肉丝", 2, "招牌老菜", {2024, 1, 2, 9, 0, 0});
  long long d = addDish("可乐", 3, "新品推荐", {2024, 1, 4, 9, 0, 0});

  EXPECT_EQ(column("select * from cygl where lei2=1", "name"), (Strings{"红烧肉", "炒饭"}));
  EXPECT_EQ(column("select * from cygl where lei='招牌老菜'", "name"), (Strings{"红烧肉", "鱼香肉丝"}));
  EXPECT_EQ(column("select * from cygl where lei2=1 order by dates desc", "name"), (Strings{"炒饭", "红烧肉"}));
  EXPECT_EQ(column("select * from cygl order by dates desc", "name"), (Strings{"可乐", "炒饭", "鱼香肉丝", "红烧肉"}));
  EXPECT_EQ(column("select * from cygl where lei2=2 and id=" + std::to_string(c), "name"), Strings{"鱼香肉丝"});
  EXPECT_EQ(column("select * from cygl where lei2=1 and id=" + std::to_string(c), "name"), Strings{});
  EXPECT_EQ(column("select * from cygl where id=" + std::to_string(d), "jiage"), Strings{"8.5"});

  // The category's multi-delete removes only that category's rows.
  EXPECT_EQ(conn_.Execute("delete from cygl where lei2=1 and id in (" + std::to_string(a) + ", " + std::to_string(c) +
                          ")"),
            1);
  EXPECT_EQ(conn_.Execute("delete from cygl where id in (" + std::to_string(b) + "," + std::to_string(d) + ")"), 2);
  EXPECT_EQ(column("select * from cygl order by dates desc", "name"), Strings{"鱼香肉丝"});
}

TEST_F(StoreTest, NewsAndSingleRowEdits) {
  std::string id = add("cyxw", {{"title", "开业"}, {"content", "<p>欢迎</p>"}, {"dates", DateTime{2024, 5, 1, 8, 0, 0}}}).text();
  Recordset rs;
  rs.Open("select * from cyxw where id=" + id, conn_, adOpenKeyset, adLockOptimistic);
  rs("title") = "盛大开业";
  rs.Update();
  EXPECT_EQ(column("select * from cyxw order by dates desc", "title"), Strings{"盛大开业"});
  EXPECT_EQ(column("select * from cyxw order by dates desc", "content"), Strings{"<p>欢迎</p>"});

  rs.Open("select * from bulletin ", conn_, adOpenKeyset, adLockOptimistic);
  rs("content") = "<b>今日特价</b>";
  rs.Update();
  rs.Open("select * from set_tamloall", conn_, adOpenKeyset, adLockOptimistic);
  rs("order_time_state") = "1";
  rs("order_deletkey") = "东区|西区";
  rs.Update();
  EXPECT_EQ(column("select * from bulletin", "content"), Strings{"<b>今日特价</b>"});
  EXPECT_EQ(column("select * from set_tamloall", "order_time_state"), Strings{"1"});
  EXPECT_EQ(column("select * from set_tamloall", "order_deletkey"), Strings{"东区|西区"});
  EXPECT_EQ(column("select * from set_tamloall", "order_time"), Strings{"10"});  // untouched
}

TEST_F(StoreTest, GuestbookListShowsKeptMessagesPinnedFirst) {
  struct Msg {
    const char* name;
    int top;
    std::optional<bool> del;  // empty: left to the column's default
    DateTime posted;
  } msgs[] = {
      {"old", 0, false, {2024, 1, 1, 0, 0, 0}},   {"pinned", 1, std::nullopt, {2024, 1, 2, 0, 0, 0}},
      {"gone", 1, true, {2024, 1, 5, 0, 0, 0}},  {"new", 0, std::nullopt, {2024, 1, 4, 0, 0, 0}},
  };
  std::map<std::string, std::string> ids;
  for (const auto& m : msgs) {
    Fields f{{"UserName", m.name}, {"top", m.top}, {"PostDate", m.posted}};
    if (m.del) f.emplace_back("del", *m.del);
    ids[m.name] = add("Feedback", f, "ID").text();
  }
  Recordset rs;
  rs.CursorLocation(data::adUseClient);
  rs.PageSize(10);
  rs.Open("select * from Feedback where del=false order by top desc, PostDate desc", conn_, adOpenKeyset,
          adLockReadOnly);
  EXPECT_EQ(rs.RecordCount(), 3);
  EXPECT_EQ(rs("del").value(), Value(false));
  EXPECT_EQ(column("select * from Feedback where del=false order by top desc, PostDate desc", "UserName"),
            (Strings{"pinned", "new", "old"}));
  EXPECT_EQ(column(" select * from feedback where del=false and ID=" + ids["gone"], "UserName"), Strings{});
  EXPECT_EQ(column("select * from feedback where ID=" + ids["gone"], "del"), Strings{"True"});
  EXPECT_EQ(conn_.Execute("delete from Feedback where ID in (" + ids["gone"] + "," + ids["old"] + ")"), 2);
  EXPECT_EQ(column("select * from Feedback", "UserName"), (Strings{"pinned", "new"}));
}

TEST_F(StoreTest, AccountsAndMembers) {
  for (auto [name, flag] : {std::pair{"b", 2}, {"a", 1}, {"c", 2}})
    EXPECT_FALSE(add("wq_admin", {{"admin", name}, {"flag", flag}}, "adminid").isNull());
  EXPECT_EQ(column("select * from wq_admin order by flag", "admin"), (Strings{"a", "b", "c"}));
  EXPECT_EQ(column(Sql("select * from wq_admin where admin=?", {"c"}), "flag"), Strings{"2"});

  std::string id = add("reg", {{"names", "member1"}, {"sex", "1"}, {"yearss", "1990"}}).text();
  EXPECT_EQ(column("select * from reg where id=" + id, "names"), Strings{"member1"});
  EXPECT_EQ(column("select * from reg where id=" + id, "sh"), Strings{"0"});  // not yet approved
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
    std::string sql;
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
  };
  for (const auto& c : cases) EXPECT_EQ(column(c.sql, "yhm"), c.names) << c.sql;

  // Date-times as parameters compare the same way.
  EXPECT_EQ(column(Sql("select * from tdgl where fromdate>? and fromdate<? order by fromdate",
                       {DateTime{2024, 12, 31, 23, 59, 58}, DateTime{2025, 1, 1, 0, 0, 1}}),
                   "yhm"),
            (Strings{"eve", "newyear"}));
}

TEST_F(StoreTest, CustomerHistoryByName) {
  addOrder("王五", {2024, 1, 1, 10, 0, 0});
  addOrder("王五六", {2024, 1, 2, 10, 0, 0});
  addOrder("王五", {2024, 1, 3, 10, 0, 0}, 3);
  EXPECT_EQ(column("select * from tdgl where yhm='王五'", "dczt"), (Strings{"1", "3"}));
  EXPECT_EQ(column(Sql("select * from tdgl where yhm=?", {"王五"}), "dczt"), (Strings{"1", "3"}));
  EXPECT_EQ(column(Sql("select * from tdgl where yhm like ?", {"%五六%"}), "yhm"), Strings{"王五六"});
}

TEST_F(StoreTest, HostileValuesStayValues) {
  const std::vector<std::string> hostile = {"x' or '1'='1", "'; delete from tdgl; --", "\" or \"\"=\"", "#2024-1-1#",
                                            "%", "?", "1) or (1=1", "\\'", std::string("a\0b", 3)};
  for (const auto& h : hostile) addOrder(h, {2024, 1, 1, 0, 0, 0});
  addOrder("bystander", {2024, 1, 1, 0, 0, 0});
  for (const auto& h : hostile) {
    EXPECT_EQ(column(Sql("select * from tdgl where yhm=?", {h}), "yhm"), Strings{h}) << h;
    EXPECT_EQ(conn_.Execute(Sql("delete from tdgl where yhm=? and dczt=9", {h})), 0) << h;
  }
  EXPECT_EQ(conn_.Execute(Sql("delete from tdgl where id=?", {"1 or 1=1"})), 0);
  EXPECT_EQ(column("select * from tdgl where yhm='bystander'", "yhm"), Strings{"bystander"});
  Recordset rs;
  rs.Open("select * from tdgl", conn_, adOpenKeyset, adLockReadOnly);
  EXPECT_EQ(rs.RecordCount(), 10);
}

TEST_F(StoreTest, StatementsOutsideTheDialectAreRefused) {
  addOrder("kept", {2024, 1, 1, 0, 0, 0});
  const char* bad[] = {
      "",
      "   ",
      "drop table tdgl",
      "pragma writable_schema=1",
      "attach database '/tmp/x' as y",
      "vacuum",
      "select * from tdgl; delete from tdgl",
      "delete from tdgl where id=1 -- and dczt=4",
      "delete from tdgl where id=1 /* */",
      "delete from tdgl where yhm='open",
      "delete from tdgl where fromdate>#2024-3-9",
      "delete from tdgl where fromdate>#2024-2-30 10:00:00#",
      "delete from tdgl where fromdate>#yesterday#",
      "delete from tdgl where (id=1",
      "delete from tdgl where id=1)",
      "delete from tdgl where id=1 where",
      "delete from tdgl where",
      "delete from tdgl where id in ()",
      "delete from tdgl where id in (1,,2)",
      "delete from tdgl where id=load_extension('x')",
      "delete from tdgl where id=@x",
      "delete from tdgl where id=1e",
      "delete from tdgl where yhm=`x`",
      "delete from nosuchtable",
      "delete from tdgl where nosuchcolumn=1",
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
    EXPECT_EQ(rs.Bookmark(), Value(1));
    int seen = 0;
    for (long page = 1; page <= pages; ++page) {
      rs.AbsolutePage(page);
      EXPECT_EQ(rs.AbsolutePage(), page);
      EXPECT_EQ(rs.Bookmark(), Value((page - 1) * 20 + 1));
      int onPage = 0;
      while (!rs.Eof() && onPage < 20) {
        // Newest first: the n-th row is order number rows - n.
        EXPECT_EQ(rs("yhm").text(), "c" + std::to_string(rows - 1 - seen));
        ++seen, ++onPage;
        rs.MoveNext();
      }
      EXPECT_EQ(onPage, page < pages ? 20 : rows - (pages - 1) * 20);
    }
    EXPECT_EQ(seen, rows);
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
  Strings names = column("select * from tdgl order by fromdate asc", "yhm");
  ASSERT_EQ(names.size(), 152u);
  EXPECT_EQ(names[0], "tie-a");  // equal times keep the order they were added in
  EXPECT_EQ(names[1], "tie-b");
  for (int i = 0; i < 150; ++i) EXPECT_EQ(names[static_cast<std::size_t>(i) + 2], "w" + std::to_string(i));

  // A page size larger than the fetch window.
  Recordset rs;
  rs.PageSize(100);
  rs.Open("select * from tdgl order by fromdate asc", conn_, adOpenKeyset, adLockReadOnly);
  rs.AbsolutePage(2);
  EXPECT_EQ(rs("yhm").text(), "w98");
  EXPECT_EQ(rs.PageCount(), 2);
}

TEST_F(StoreTest, AddNewThenUpdate) {
  Recordset rs;
  rs.Open("select * from tdgl", conn_, adOpenKeyset, adLockOptimistic);
  EXPECT_TRUE(rs.Eof());
  DateTime at{2024, 12, 31, 23, 59, 59};
  rs.AddNew();
  EXPECT_TRUE(rs("id").value().isEmpty());
  EXPECT_FALSE(rs.Eof());
  for (const auto& [f, v] : Fields{{"yhm", "李四"}, {"telsss", "13800000000"}, {"addresss", "东区1号"},
                                   {"dcqk", "炒饭 x 2 = 17\n可乐 x 1 = 3"}, {"dczj", "20"}, {"hours", "12"},
                                   {"minutes", "00"}, {"qtbz", ""}, {"zffs", "餐到付费"}, {"fromdate", at},
                                   {"years", at.year}, {"months", at.month}, {"days", at.day}, {"hourss", at.hour},
                                   {"minutess", at.minute}, {"dczt", 1}})
    rs(f) = v;
  EXPECT_EQ(rs("YHM").text(), "李四");  // assigned, not yet written
  rs.Update();
  long long id = rs("id").value().toInteger();
  EXPECT_GT(id, 0);
  EXPECT_EQ(rs("ID").value(), Value(id));
  EXPECT_EQ(rs.RecordCount(), 1);
  rs.MoveNext();
  EXPECT_TRUE(rs.Eof());

  rs.Open("select * from tdgl where id=" + std::to_string(id), conn_, adOpenKeyset, adLockOptimistic);
  EXPECT_EQ(rs("dcqk").text(), "炒饭 x 2 = 17\n可乐 x 1 = 3");
  EXPECT_EQ(rs("fromdate").value(), Value(at));
  EXPECT_EQ(rs("minutes").value(), Value("00"));  // a text column keeps the text
  EXPECT_EQ(rs("dczj").value(), Value("20"));
  // Null (never assigned) and empty (assigned "") stay apart.
  EXPECT_TRUE(rs("qtbz").value() == Value(""));
  EXPECT_FALSE(rs("qtbz").isNull());

  rs("dczt") = "3";
  rs.Update();
  EXPECT_EQ(rs("dczt").value(), Value(3));
  rs.Open("select * from tdgl where id=" + std::to_string(id), conn_, adOpenKeyset, adLockReadOnly);
  EXPECT_EQ(rs("dczt").value(), Value(3));
  EXPECT_EQ(rs("yhm").text(), "李四");
  EXPECT_EQ(rs("zffs").text(), "餐到付费");
}

TEST_F(StoreTest, NullAndEmpty) {
  std::string id = add("cygl", {{"name", ""}, {"jiage", Value::null()}}).text();
  Recordset rs;
  rs.Open("select * from cygl where id=" + id, conn_, adOpenKeyset, adLockReadOnly);
  EXPECT_EQ(rs("name").value().kind(), Value::Kind::Text);
  EXPECT_TRUE(rs("name").value().blank());
  EXPECT_TRUE(rs("jiage").isNull());
  EXPECT_TRUE(rs("pic").isNull());  // never assigned
  EXPECT_TRUE(rs("dates").isNull());
  EXPECT_EQ(rs("pic").text(), "");
  EXPECT_EQ(column("select * from cygl where name=''", "id"), Strings{id});
  EXPECT_EQ(column("select * from cygl where pic is null", "id"), Strings{id});
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
  struct Bad {
    const char* field;
    Value v;
  } bad[] = {{"dczt", Value("abc")},      {"dczt", Value("")},         {"dczt", Value("1; drop")},
             {"dczt", Value(DateTime{})}, {"fromdate", Value("soon")}, {"fromdate", Value(5)},
             {"fromdate", Value("2024-2-30")}};
  for (const auto& b : bad) EXPECT_THROW(rs(b.field) = b.v, Error) << b.field << " " << b.v.text();
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

TEST_F(StoreTest, WritesNeedAWritableRecordSet) {
  addOrder("ro", {2024, 1, 1, 0, 0, 0});
  Recordset rs;
  rs.Open("select * from tdgl", conn_, adOpenKeyset, adLockReadOnly);
  EXPECT_THROW(rs("dczt") = 2, Error);
  EXPECT_THROW(rs.AddNew(), Error);
  rs.Update();  // nothing assigned: nothing to do
  rs.Open("select yhm from tdgl", conn_, adOpenKeyset, adLockOptimistic);
  EXPECT_EQ(rs("yhm").text(), "ro");
  EXPECT_THROW(rs("yhm") = "x", Error);
  EXPECT_THROW(rs("dczt"), Error);  // not a column of this query

  rs.Open("select * from tdgl where id=-1", conn_, adOpenKeyset, adLockOptimistic);
  EXPECT_THROW(rs("dczt") = 2, Error);  // no current row
  EXPECT_THROW(rs("nosuch"), Error);

  Recordset closed;
  EXPECT_THROW((void)closed.Eof(), Error);
  EXPECT_FALSE(closed.isOpen());
  EXPECT_EQ(column("select * from tdgl", "dczt"), Strings{"1"});
}

TEST_F(StoreTest, MovingOffAnEditedRowWritesIt) {
  addOrder("a", {2024, 1, 1, 0, 0, 0});
  addOrder("b", {2024, 1, 2, 0, 0, 0});
  Recordset rs;
  rs.Open("select * from tdgl order by fromdate", conn_, adOpenKeyset, adLockOptimistic);
  rs("dczt") = 2;
  rs.MoveNext();
  rs("dczt") = 3;
  rs.Close();  // closing drops what was not written
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
        // Every fifth write collides with an existing key: it alone must fail.
        if (i % 5 == 4) rs("id") = taken;
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
  Recordset rs;
  rs.Open("select * from tdgl", conn_, adOpenKeyset, adLockReadOnly);
  EXPECT_EQ(rs.RecordCount(), 1 + kThreads * (kEach - kEach / 5));
}

// Rows written behind the store's back, as another program on the file would.
void insertDirectly(const std::string& path, int rows, int firstMinute) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  sqlite3_busy_timeout(db, 5000);
  ASSERT_EQ(sqlite3_exec(db, "begin", nullptr, nullptr, nullptr), SQLITE_OK);
  for (int i = 0; i < rows; ++i) {
    std::string at = DateTime{2024, 1, 1, 0, 0, 0}.addSeconds((firstMinute + i) * 60LL).iso();
    std::string sql = "insert into tdgl (yhm, fromdate, dczt) values ('d" + std::to_string(firstMinute + i) + "', '" +
                      at + "', 1)";
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  }
  ASSERT_EQ(sqlite3_exec(db, "commit", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
}

TEST_F(StoreTest, DeepPagesAndCountsFollowEveryChangeOfTheFile) {
  insertDirectly(path_, 1500, 0);
  const char* list = "select * from tdgl where dczt in (1,2,3,4) order by fromdate desc";
  auto countAndPage = [&](long page) {
    Recordset rs;
    rs.PageSize(20);
    rs.Open(list, conn_, adOpenKeyset, adLockReadOnly);
    long n = rs.RecordCount();
    rs.AbsolutePage(page);
    return std::pair{n, rs("yhm").text()};
  };
  EXPECT_EQ(countAndPage(70), (std::pair{1500L, std::string("d119")}));  // row 1381 from the newest
  EXPECT_EQ(countAndPage(75), (std::pair{1500L, std::string("d19")}));

  insertDirectly(path_, 1, 1500);  // another writer on the file
  EXPECT_EQ(countAndPage(70), (std::pair{1501L, std::string("d120")}));

  EXPECT_EQ(conn_.Execute("delete from tdgl where yhm='d1500' or yhm='d0'"), 2);  // this process's own write
  EXPECT_EQ(countAndPage(70), (std::pair{1499L, std::string("d119")}));

  std::thread other([&] {  // and a write committed from another thread's connection
    data::Connection c;
    c.Open(connectionText());
    c.Execute("delete from tdgl where yhm='d1499'");
  });
  other.join();
  EXPECT_EQ(countAndPage(70), (std::pair{1498L, std::string("d118")}));
}

}  // namespace
