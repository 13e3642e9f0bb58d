// The store through its public face, on real temporary database files. (The
// pages' own statements over a real file: the order list suites here, and each
// feature's page tests: date ranges and names in ddgl's, the guestbook's
// flags, order and pages in the visitor's, the multi-deletes in the lists'.)
#include <fstream>
#include <functional>

#include "data/temp_db.h"

using namespace data;

class StoreTest : public TempDb {};

// Each call refused with data::Error, by its place in the list.
static void expectRefused(const std::vector<std::function<void()>>& calls) {
  for (std::size_t i = 0; i < calls.size(); ++i) EXPECT_THROW(calls[i](), Error) << "call " << i;
}

TEST_F(StoreTest, NewFileHoldsTheSettingsRowsAndEnsuringKeepsEveryRow) {
  EXPECT_EQ(raw("select order_time_state || ' ' || order_time || ' ' || order_times || ' ' || order_delet_state || "
                "' [' || order_deletkey || '] ' || (select view from view2) || ' [' || (select content from bulletin) "
                "|| ']' from set_tamloall"),
            Strings{"0 10 3 0 [] 1 []"});
  add("Feedback", {{"UserName", "kept"}}, "ID");  // `del` left to its default counts as kept
  EXPECT_EQ(column("select * from Feedback where del=false", "UserName"), Strings{"kept"});

  const DateTime at{2024, 3, 9, 10, 0, 0};
  long long id = addOrder("张三", at), gone = addOrder("gone", at);
  EXPECT_EQ(conn_.Execute(Sql("delete from tdgl where id=?", {gone})), 1);
  conn_.Execute("update view2 set view=0");
  EXPECT_FALSE(ensureDatabase(path_));  // nothing reset, no settings row doubled
  EXPECT_EQ(raw("select (select group_concat(id) from tdgl) || (select group_concat(view) || count(*) from view2) || "
                "(select count(*) from set_tamloall)"),
            Strings{std::to_string(id) + "011"});
  EXPECT_GT(addOrder("next", at), gone);  // keys are never reused, not even after a start

  // An older file: a table lacking columns, a settings table lacking its row.
  const std::string old = dir_ + "/old.mdb";
  raw("create table tdgl (id integer primary key autoincrement, yhm text); insert into tdgl (yhm) values ('老客户');"
      "create table view2 (view integer);",
      {}, 0, old);
  EXPECT_FALSE(ensureDatabase(old));
  EXPECT_EQ(raw("select yhm || ifnull(dczt, ' no status') || ifnull(fromdate, ' no time') || (select view from view2) "
                "from tdgl", {}, 0, old),
            Strings{"老客户 no status no time1"});
}

TEST_F(StoreTest, OpeningNeedsADatabaseFileAndAReplacedOneIsSeenAfresh) {
  std::ofstream(dir_ + "/text.mdb") << "this is no database, it is a text file of some length............";
  Connection c;
  for (const std::string& bad : {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + dir_ + "/missing.mdb",
                                 std::string("Provider=Microsoft.Jet.OLEDB.4.0"), "Data Source=" + dir_ + "/text.mdb"})
    EXPECT_THROW(c.Open(bad), Error) << bad;
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/missing.mdb") || c.isOpen());
  Recordset rs;
  expectRefused({[&] { c.Execute("delete from tdgl"); },
                 [&] { rs.Open("select * from tdgl", c, adOpenKeyset, adLockReadOnly); }});
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

// Values bound to '?' act only as values; what the engine cannot run is
// refused and changes nothing (what the translation refuses: jet_sql_test).
TEST_F(StoreTest, HostileValuesStayValuesAndRefusedStatementsChangeNothing) {
  const Strings hostile = {"x' or '1'='1", "'; delete from tdgl; --", "\" or \"\"=\"", "#2024-1-1#",
                           "%", "?", "1) or (1=1", "\\'", std::string("a\0b", 3)};
  for (const auto& h : hostile) addOrder(h, {2024, 1, 1, 0, 0, 0});
  for (const auto& h : hostile) {
    EXPECT_EQ(column(Sql("select * from tdgl where yhm=?", {h}), "yhm"), Strings{h}) << h;
    EXPECT_EQ(conn_.Execute(Sql("delete from tdgl where yhm=? and dczt=9", {h})), 0) << h;
  }
  EXPECT_EQ(conn_.Execute(Sql("delete from tdgl where id=?", {"1 or 1=1"})), 0);
  Recordset rs;
  auto open = [&](const Sql& sql) { rs.Open(sql, conn_, adOpenKeyset, adLockReadOnly); };
  expectRefused({[&] { conn_.Execute("drop table tdgl"); }, [&] { conn_.Execute("delete from tdgl where"); },
                 [&] { conn_.Execute("delete from nosuchtable"); }, [&] { conn_.Execute("delete from tdgl where x=1"); },
                 [&] { conn_.Execute(Sql("delete from tdgl where id=?", {1, 2})); },
                 [&] { open("select * from tdgl where id in (1,,2)"); }, [&] { open("delete from tdgl"); },
                 [&] { open(Sql("select * from tdgl where id=?", {})); }});
  EXPECT_EQ(column("select * from tdgl order by id", "yhm"), hostile);
}

// Lists of 0, one page, one page and a row, two pages, two pages and a row.
TEST_F(StoreTest, PagingBoundaries) {
  int added = 0;
  for (int rows : {0, 20, 21, 40, 41}) {
    for (; added < rows; ++added)
      addOrder("c" + std::to_string(added), DateTime{2024, 1, 1, 0, 0, 0}.addSeconds(added * 60));
    SCOPED_TRACE("rows " + std::to_string(rows));
    Recordset rs;
    rs.PageSize(20);
    rs.Open("select * from tdgl order by fromdate desc", conn_, adOpenKeyset, adLockOptimistic);
    const long pages = (rows + 19) / 20;
    EXPECT_EQ(std::tuple(rs.RecordCount(), rs.PageCount(), rs.Eof() && rs.Bof()), std::tuple(long{rows}, pages, !rows));
    if (rows == 0) {
      EXPECT_EQ(rs.AbsolutePage(), -1);
      expectRefused({[&] { rs.AbsolutePage(1); }, [&] { rs.MoveNext(); }, [&] { rs("yhm"); }});
      continue;
    }
    // Where the cursor stands: past the end, before the start, or the row's place, name and page (newest first).
    auto where = [&] {
      if (rs.Eof() || rs.Bof()) return std::string(rs.Eof() ? "end" : "start");
      return rs.Bookmark().text() + " " + rs("yhm").text() + " page " + std::to_string(rs.AbsolutePage());
    };
    auto row = [&](long i) {
      return std::to_string(i) + " c" + std::to_string(rows - i) + " page " + std::to_string((i + 19) / 20);
    };
    // Each step from where the one before left the cursor (the lists' way to a page: Move from the first row).
    const std::pair<std::function<void()>, std::string> steps[] = {
        {[] {}, row(1)},
        {[&] { rs.AbsolutePage(pages); }, row((pages - 1) * 20 + 1)},
        {[&] { while (!rs.Eof()) rs.MoveNext(); }, "end"},
        {[&] { rs.MoveFirst(); rs.Move(20); }, rows <= 20 ? "end" : row(21)},
        {[&] { rs.MoveFirst(); rs.Move(rows - 1); }, row(rows)},
        {[&] { rs.Move(-(rows - 1)); }, row(1)},
        {[&] { rs.Move(-1); }, "start"},
        {[&] { EXPECT_THROW(rs.Move(-1), Error); }, "start"},
        {[&] { rs.Move(1000); }, "end"}};
    for (const auto& [step, at] : steps) {
      step();
      EXPECT_EQ(where(), at);
    }
    expectRefused({[&] { rs.MoveNext(); }, [&] { rs.Move(1); }, [&] { rs("yhm"); }, [&] { (void)rs.Bookmark(); },
                   [&] { rs.AbsolutePage(pages + 1); }, [&] { rs.AbsolutePage(0); }});
  }
}

// A new row as the order submission writes it: each value read back as its
// column stores it (every conversion: engine_test), empty (assigned "") and
// null (never assigned) apart, what a column cannot hold refused at the assignment.
TEST_F(StoreTest, AddNewThenUpdateStoresValuesAsTheirColumnsHoldThem) {
  Recordset rs;
  rs.Open("select * from tdgl", conn_, adOpenKeyset, adLockOptimistic);
  rs.AddNew();
  EXPECT_TRUE(rs("id").value().isEmpty() && !rs.Eof());
  const DateTime eve{2024, 12, 31, 23, 59, 59};
  const std::tuple<const char*, Value, Value> order[] = {  // assigned, then read back
      {"yhm", "李四", "李四"}, {"minutes", "00", "00"}, {"qtbz", "", ""}, {"fromdate", eve, eve}, {"dczt", " 12 ", 12}};
  for (const auto& [field, in, out] : order) rs(field) = in;
  EXPECT_THROW(rs("dczt") = "abc", Error);
  EXPECT_EQ(rs("YHM").text(), "李四");  // assigned, not yet written
  rs.Update();
  const long long id = rs("id").value().toInteger();
  EXPECT_EQ(std::pair(rs("ID").value(), rs.RecordCount()), std::pair(Value(id), 1L));

  const std::string row = "select * from tdgl where id=" + std::to_string(id);
  rs.Open(row, conn_, adOpenKeyset, adLockOptimistic);
  for (const auto& [field, in, out] : order)
    EXPECT_EQ(std::pair(rs(field).value(), rs(field).value().kind()), std::pair(out, out.kind())) << field;
  EXPECT_EQ(column("select * from tdgl where qtbz='' and telsss is null", "id"), Strings{std::to_string(id)});
  rs("fromdate") = "2024-3-9 10:00";
  rs("qtbz") = Value::null();
  rs.Update();
  rs.Open(row, conn_, adOpenKeyset, adLockReadOnly);  // what was not assigned stays
  EXPECT_EQ(std::tuple(rs("dczt").value(), rs("fromdate").text(), rs("qtbz").isNull(), rs("yhm").text()),
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

  // Moving off an edited row writes it; closing drops what was not written.
  rs.Open("select * from tdgl order by fromdate", conn_, adOpenKeyset, adLockOptimistic);
  rs("dczt") = 2;
  rs.MoveNext();
  rs("dczt") = 3;
  rs.Close();
  EXPECT_EQ(column("select * from tdgl order by fromdate", "dczt"), (Strings{"2", "1"}));
}
