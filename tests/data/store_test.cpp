// The store through its public face, on real temporary database files, with
// the statement texts the pages send.
#include <fstream>
#include <functional>
#include <map>

#include "data/temp_db.h"

using namespace data;

class StoreTest : public TempDb {};

TEST_F(StoreTest, NewFileHoldsTheSettingsRowsAndEnsuringKeepsEveryRow) {
  EXPECT_EQ(raw("select order_time_state || ' ' || order_time || ' ' || order_times || ' ' || order_delet_state || ' [' ||"
                " order_deletkey || '] ' || (select view from view2) || ' [' || (select content from bulletin) || ']' "
                "from set_tamloall"),
            Strings{"0 10 3 0 [] 1 []"});  // the settings rows
  for (const char* empty : {"cygl", "cyxw", "tdgl", "err_record", "reg", "wq_admin", "Feedback"})
    EXPECT_EQ(raw(std::string("select count(*) from ") + empty), Strings{"0"}) << empty;

  long long id = addOrder("张三", {2024, 3, 9, 10, 0, 0}), gone = addOrder("gone", {2024, 3, 9, 10, 0, 0});
  EXPECT_EQ(conn_.Execute(Sql("delete from tdgl where id=?", {gone})), 1);
  conn_.Execute("update view2 set view=0");
  EXPECT_FALSE(ensureDatabase(path_));
  EXPECT_EQ(column("select * from tdgl", "id"), Strings{std::to_string(id)});
  EXPECT_EQ(column("select * from view2", "view"), Strings{"0"});  // not reset, not doubled
  EXPECT_EQ(column("select * from set_tamloall", "order_time"), Strings{"10"});
  EXPECT_GT(addOrder("next", {2024, 3, 9, 10, 0, 0}), gone);  // keys are never reused, not even after a start

  // An older file: a table lacking columns, a settings table lacking its row.
  const std::string old = dir_ + "/old.mdb";
  raw("create table tdgl (id integer primary key autoincrement, yhm text); insert into tdgl (yhm) values ('老客户');"
      "create table view2 (view integer);",
      {}, 0, old);
  EXPECT_FALSE(ensureDatabase(old));
  EXPECT_EQ(raw("select yhm || ifnull(dczt, ' no status') || ifnull(fromdate, ' no time') from tdgl", {}, 0, old),
            Strings{"老客户 no status no time"});
  EXPECT_EQ(raw("select view from view2", {}, 0, old), Strings{"1"});
}

TEST_F(StoreTest, OpeningNeedsADatabaseFileAndAReplacedOneIsSeenAfresh) {
  std::ofstream(dir_ + "/text.mdb") << "this is no database, it is a text file of some length............";
  Connection c;
  for (const std::string& bad : {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + dir_ + "/missing.mdb",
                                 std::string("Provider=Microsoft.Jet.OLEDB.4.0"), "Data Source=" + dir_ + "/text.mdb"})
    EXPECT_THROW(c.Open(bad), Error) << bad;
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/missing.mdb"));
  EXPECT_FALSE(c.isOpen());
  EXPECT_THROW(c.Execute("delete from tdgl"), Error);
  Recordset rs;
  EXPECT_THROW(rs.Open("select * from tdgl", c, adOpenKeyset, adLockReadOnly), Error);
  for (auto [text, source] : {std::pair{"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/a b/c.mdb", "/a b/c.mdb"},
                              {"data source = /x.mdb ; Persist Security Info=False", "/x.mdb"}, {"Provider=x", ""}})
    EXPECT_EQ(dataSourceOf(text), source) << text;

  addOrder("before", {2024, 1, 1, 0, 0, 0});
  conn_.Close();
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path_ + suffix);
  ASSERT_TRUE(ensureDatabase(path_));
  conn_.Open(connectionText());
  EXPECT_EQ(column("select * from tdgl", "yhm"), Strings{});
}

// What the pages' statements lean on beyond plain SQL: date literals, names
// alike as literals and parameters, column defaults, logical values read back,
// case in table names, and what a delete reports. (The order list's own
// statements: the order list suites.)
TEST_F(StoreTest, ThePagesStatementsFindWhatTheyNameAndDeleteOnlyThat) {
  for (auto [name, at, dczt] : {std::tuple{"eve", DateTime{2024, 12, 31, 23, 59, 59}, 1},
                                {"newyear", DateTime{2025, 1, 1, 0, 0, 0}, 1}, {"before", DateTime{2024, 12, 31, 23, 59, 58}, 4},
                                {"王五", DateTime{2024, 1, 1, 10, 0, 0}, 1}, {"王五六", DateTime{2024, 1, 2, 10, 0, 0}, 2},
                                {"王五", DateTime{2024, 1, 3, 10, 0, 0}, 3}})
    addOrder(name, at, dczt);
  long long a = add("cygl", {{"name", "红烧肉"}, {"lei2", 1}}), b = add("cygl", {{"name", "鱼香肉丝"}, {"lei2", 2}});
  // Guestbook messages: `del` left to its column's default counts as kept.
  std::map<std::string, std::string> msg;
  for (auto [name, top, del, day] : {std::tuple{"old", 0, Value(false), 1}, {"pinned", 1, Value(), 2},
                                     {"gone", 1, Value(true), 5}, {"new", 0, Value(), 4}}) {
    Row f = {{"UserName", name}, {"top", top}, {"PostDate", DateTime{2024, 1, day, 0, 0, 0}}};
    if (!del.isEmpty()) f.push_back({"del", del});
    msg[name] = std::to_string(add("Feedback", f, "ID"));
  }
  std::string member = std::to_string(add("reg", {{"names", "member1"}, {"sex", "1"}, {"yearss", "1990"}}));

  const std::tuple<Sql, const char*, Strings> cases[] = {
      {"select * from tdgl where dczt in (1,2,3,4) and fromdate>#2024-12-31 23:59:58# and fromdate<#2025-1-1 0:0:0# "
       "order by fromdate desc",
       "yhm", {"eve"}},  // both bounds exclusive
      {"select * from tdgl where dczt in (1,2,3,4) and fromdate>#2024-12-31 0:0:0# and fromdate<#2025-1-1 0:0:1# "
       "order by fromdate asc ",
       "yhm", {"before", "eve", "newyear"}},
      {"select * from tdgl where dczt=4 and fromdate>#2024/1/1# and fromdate<#2025-12-31 23:59:59# "
       "order by fromdate desc ",
       "yhm", {"before"}},
      {"select * from tdgl where yhm='王五'", "dczt", {"1", "3"}},
      {Sql("select * from tdgl where yhm=?", {"王五"}), "dczt", {"1", "3"}},
      {"select * from Feedback where del=false order by top desc, PostDate desc", "UserName", {"pinned", "new", "old"}},
      {" select * from feedback where del=false and ID=" + msg["gone"], "UserName", {}},
      {"select * from feedback where ID=" + msg["gone"], "del", {"True"}},
      {"select * from reg where id=" + member, "sh", {"0"}},  // not yet approved
  };
  for (const auto& [sql, field, rows] : cases) EXPECT_EQ(column(sql, field), rows) << sql.text;
  Recordset guestbook;  // its paged list
  guestbook.CursorLocation(adUseClient);
  guestbook.PageSize(10);
  guestbook.Open("select * from Feedback where del=false order by top desc, PostDate desc", conn_, adOpenKeyset,
                 adLockReadOnly);
  EXPECT_EQ(guestbook.RecordCount(), 3);
  EXPECT_EQ(guestbook("del").value(), Value(false));
  // The multi-deletes remove only the rows their conditions name.
  EXPECT_EQ(conn_.Execute("delete from cygl where lei2=1 and id in (" + std::to_string(a) + ", " + std::to_string(b) + ")"), 1);
  EXPECT_EQ(column("select * from cygl", "name"), Strings{"鱼香肉丝"});
  EXPECT_EQ(conn_.Execute("delete from Feedback where ID in (" + msg["gone"] + "," + msg["old"] + ")"), 2);
  EXPECT_EQ(column("select * from Feedback", "UserName"), (Strings{"pinned", "new"}));
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

// Each call refused with data::Error, by its place in the list.
static void expectRefused(const std::vector<std::function<void()>>& calls) {
  for (std::size_t i = 0; i < calls.size(); ++i) EXPECT_THROW(calls[i](), Error) << "call " << i;
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
    // Where the cursor stands: past the end, before the start, or the row's place, name and page (newest first).
    auto where = [&] {
      if (rs.Eof() || rs.Bof()) return std::string(rs.Eof() && rs.Bof() ? "both ends" : rs.Eof() ? "end" : "start");
      return rs.Bookmark().text() + " " + rs("yhm").text() + " page " + std::to_string(rs.AbsolutePage());
    };
    auto row = [&](long i) { return std::to_string(i) + " c" + std::to_string(rows - i) + " page " + std::to_string((i + 19) / 20); };
    const long pages = (rows + 19) / 20;
    EXPECT_EQ(std::pair(rs.RecordCount(), rs.PageCount()), std::pair(long{rows}, pages));
    EXPECT_EQ(where(), rows == 0 ? "both ends" : row(1));
    if (rows == 0) {
      EXPECT_EQ(rs.AbsolutePage(), -1);
      expectRefused({[&] { rs.AbsolutePage(1); }, [&] { rs.MoveNext(); }, [&] { rs("yhm"); }});
      continue;
    }
    rs.AbsolutePage(pages);
    EXPECT_EQ(where(), row((pages - 1) * 20 + 1));
    for (long i = (pages - 1) * 20 + 1; i <= rows; ++i) rs.MoveNext();
    EXPECT_EQ(where(), "end");
    expectRefused({[&] { rs.MoveNext(); }, [&] { rs.Move(1); }, [&] { rs("yhm"); }, [&] { (void)rs.Bookmark(); },
                   [&] { rs.AbsolutePage(pages + 1); }, [&] { rs.AbsolutePage(0); }});
    // The lists' way to a page: Move from the first row.
    rs.MoveFirst();
    rs.Move(20);
    EXPECT_EQ(where(), rows <= 20 ? "end" : row(21));
    rs.MoveFirst();
    rs.Move(rows - 1);
    EXPECT_EQ(where(), row(rows));
    rs.Move(-(rows - 1));
    EXPECT_EQ(where(), row(1));
    rs.Move(-1);
    EXPECT_EQ(where(), "start");
    EXPECT_THROW(rs.Move(-1), Error);
    rs.Move(1000);
    EXPECT_EQ(where(), "end");
  }
}

// A new row as the order submission writes it: each value read back as its
// column stores it (engine_test), empty (assigned "") and null (never
// assigned) apart, what a column cannot hold refused at the assignment.
TEST_F(StoreTest, AddNewThenUpdateStoresValuesAsTheirColumnsHoldThem) {
  Recordset rs;
  rs.Open("select * from tdgl", conn_, adOpenKeyset, adLockOptimistic);
  EXPECT_TRUE(rs.Eof());
  rs.AddNew();
  EXPECT_TRUE(rs("id").value().isEmpty());
  EXPECT_FALSE(rs.Eof());
  const DateTime eve{2024, 12, 31, 23, 59, 59};
  const std::tuple<const char*, Value, Value> order[] = {  // assigned, then read back
      {"yhm", "李四", "李四"}, {"minutes", "00", "00"}, {"qtbz", "", ""}, {"dcqk", "炒饭\n可乐", "炒饭\n可乐"},
      {"fromdate", eve, eve}, {"dczt", " 12 ", 12}, {"dczj", 12.5, "12.5"}};
  for (const auto& [field, in, out] : order) rs(field) = in;
  EXPECT_THROW(rs("dczt") = "abc", Error);
  EXPECT_EQ(rs("YHM").text(), "李四");  // assigned, not yet written
  rs.Update();
  const long long id = rs("id").value().toInteger();
  EXPECT_EQ(std::pair(rs("ID").value(), rs.RecordCount()), std::pair(Value(id), 1L));
  rs.MoveNext();
  EXPECT_TRUE(rs.Eof());

  const std::string row = "select * from tdgl where id=" + std::to_string(id);
  rs.Open(row, conn_, adOpenKeyset, adLockOptimistic);
  for (const auto& [field, in, out] : order)
    EXPECT_EQ(std::pair(rs(field).value(), rs(field).value().kind()), std::pair(out, out.kind())) << field;
  EXPECT_TRUE(rs("telsss").isNull() && rs("telsss").text().empty());
  EXPECT_EQ(column("select * from tdgl where qtbz='' and telsss is null", "id"), Strings{std::to_string(id)});
  rs("fromdate") = "2024-3-9 10:00";
  rs("dczj") = Value::null();
  rs.Update();
  rs.Open(row, conn_, adOpenKeyset, adLockReadOnly);  // what was not assigned stays
  EXPECT_EQ(std::tuple(rs("dczt").value(), rs("fromdate").text(), rs("dczj").isNull(), rs("yhm").text()),
            std::tuple(Value(12), "2024-3-9 10:00:00", true, "李四"));
}

TEST_F(StoreTest, WritesNeedAWritableRecordSetAndAWrittenRow) {
  addOrder("a", {2024, 1, 1, 0, 0, 0});
  addOrder("b", {2024, 1, 2, 0, 0, 0});
  Recordset rs, closed;
  rs.Open("select * from tdgl", conn_, adOpenKeyset, adLockReadOnly);
  expectRefused({[&] { rs("dczt") = 2; }, [&] { rs.AddNew(); }});
  rs.Update();  // nothing assigned: nothing to do
  rs.Open("select yhm from tdgl", conn_, adOpenKeyset, adLockOptimistic);
  EXPECT_EQ(rs("yhm").text(), "a");
  expectRefused({[&] { rs("yhm") = "x"; }, [&] { rs("dczt"); }});  // a column list: read-only, only its columns
  rs.Open("select * from tdgl where id=-1", conn_, adOpenKeyset, adLockOptimistic);
  expectRefused({[&] { rs("dczt") = 2; }, [&] { rs("nosuch"); }, [&] { (void)closed.Eof(); }});  // no row; closed
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
