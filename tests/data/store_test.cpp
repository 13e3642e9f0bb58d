// The store through its public face, on real temporary database files. (The
// pages' own statements over a real file: the order list suites here, and each
// feature's page tests: date ranges and names in ddgl's, the guestbook's
// flags, order and pages in the visitor's, the multi-deletes in the lists'.)
#include <fstream>
#include <functional>

#include "data/temp_db.h"

using namespace data;

class StoreTest : public TempDb {
 protected:
  // Each call refused with data::Error, by its place in the list.
  static void expectRefused(const std::vector<std::function<void()>>& calls) {
    for (std::size_t i = 0; i < calls.size(); ++i) EXPECT_THROW(calls[i](), Error) << "call " << i;
  }
  void open(Recordset& rs, const Sql& sql, int lock = adLockOptimistic) { rs.Open(sql, conn_, adOpenKeyset, lock); }
};

TEST_F(StoreTest, OpeningNeedsADatabaseFileAndAReplacedOneIsSeenAfresh) {
  std::ofstream(dir_ + "/text.mdb") << "this is no database, it is a text file of some length............";
  Connection c;
  for (const std::string& bad : {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + dir_ + "/missing.mdb",
                                 std::string("Provider=Microsoft.Jet.OLEDB.4.0"), "Data Source=" + dir_ + "/text.mdb"})
    EXPECT_THROW(c.Open(bad), Error) << bad;
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/missing.mdb") || c.isOpen());
  Recordset rs;
  expectRefused({[&] { c.Execute("delete from tdgl"); }, [&] { rs.Open("select * from tdgl", c); }});
  for (auto [text, source] : {std::pair{"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/a b/c.mdb", "/a b/c.mdb"},
                              {"data source = /x.mdb ; Persist Security Info=False", "/x.mdb"}, {"Provider=x", ""}})
    EXPECT_EQ(dataSourceOf(text), source) << text;

  addOrder("before", {2024, 1, 1, 0, 0, 0});
  conn_.Close();
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path_ + suffix);
  ASSERT_TRUE(ensureDatabase(path_));  // a new file: no rows but the settings (kept at a start: the order list suites)
  conn_.Open(connectionText());
  EXPECT_EQ(column("select * from tdgl", "yhm"), Strings{});
  EXPECT_EQ(raw("select order_time_state || order_time || order_times || order_delet_state || '[' || order_deletkey || "
                "']' || (select view from view2) || '[' || (select content from bulletin) || ']' from set_tamloall"),
            Strings{"01030[]1[]"});
  add("Feedback", {{"UserName", "kept"}}, "ID");  // left to their defaults: a message kept, a member not approved
  add("reg", {{"names", "new"}});
  EXPECT_EQ(raw("select (select UserName from Feedback where del=0) || (select names from reg where sh=0)"),
            Strings{"keptnew"});
}

// Values bound to '?' act only as values; what the engine cannot run is
// refused and changes nothing (what the translation refuses: jet_sql_test).
TEST_F(StoreTest, HostileValuesStayValuesAndRefusedStatementsChangeNothing) {
  Strings hostile = {"x' or '1'='1", "'; delete from tdgl; --", "#2024-1-1#", "%", "?"};
  if (!onServer()) hostile.push_back(std::string("a\0b", 3));  // PostgreSQL's texts hold no NUL: refused there
  for (const auto& h : hostile) addOrder(h, {2024, 1, 1, 0, 0, 0});
  for (const auto& h : hostile) EXPECT_EQ(column(Sql("select * from tdgl where yhm=?", {h}), "yhm"), Strings{h}) << h;
  Recordset rs;
  expectRefused({[&] { conn_.Execute("drop table tdgl"); }, [&] { conn_.Execute("delete from nosuchtable"); },
                 [&] { conn_.Execute("delete from tdgl where x=1"); }, [&] { conn_.Execute("delete from tdgl where"); },
                 [&] { conn_.Execute(Sql("delete from tdgl where yhm=?", {1, 2})); },
                 [&] { open(rs, "delete from tdgl"); }, [&] { open(rs, Sql("select * from tdgl where id=?", {})); }});
  const Sql words("delete from tdgl where id=? or yhm=?", {"1 or 1=1", "x' or '1'='1' --"});
  if (onServer()) EXPECT_THROW(conn_.Execute(words), Error);  // PostgreSQL takes no word for a whole number
  else EXPECT_EQ(conn_.Execute(words), 0);
  EXPECT_EQ(column("select * from tdgl order by id", "yhm"), hostile);
}

// A list walked to either end and past it (its pages' rows and counts: the
// order list suites; lists of 20, 21, 40 and 41 rows: the back office's list page).
TEST_F(StoreTest, MovesStopAtEitherEndAndWhatNeedsARowIsRefusedThere) {
  for (int i = 0; i < 41; ++i) addOrder("c" + std::to_string(i), DateTime{}.addDays(i));
  Recordset rs, none;
  rs.PageSize(20);
  open(rs, "select * from tdgl order by fromdate desc");
  open(none, "select * from tdgl where id < 0");
  EXPECT_EQ(std::tuple(rs.PageCount(), none.RecordCount(), none.Eof() && none.Bof(), none.AbsolutePage()),
            std::tuple(3L, 0L, true, -1L));
  // Where the cursor stands: past the end, before the start, or the row's name, place and page.
  auto at = [&] {
    if (rs.Eof() || rs.Bof()) return std::string(rs.Eof() ? "end" : "start");
    return rs("yhm").text() + " " + rs.Bookmark().text() + " " + std::to_string(rs.AbsolutePage());
  };
  // Each step from where the one before left the cursor (the lists' way to a page: Move from the first row).
  const std::pair<std::function<void()>, std::string> steps[] = {
      {[] {}, "c40 1 1"},           {[&] { rs.Move(20); }, "c20 21 2"},         {[&] { rs.Move(20); }, "c0 41 3"},
      {[&] { rs.MoveNext(); }, "end"}, {[&] { rs.AbsolutePage(2); }, "c20 21 2"}, {[&] { rs.Move(-20); }, "c40 1 1"},
      {[&] { rs.Move(-1); }, "start"}, {[&] { EXPECT_THROW(rs.Move(-1), Error); }, "start"},
      {[&] { rs.MoveFirst(); }, "c40 1 1"}, {[&] { rs.Move(1000); }, "end"}};
  for (const auto& [step, where] : steps) {
    step();
    EXPECT_EQ(at(), where);
  }
  expectRefused({[&] { rs.MoveNext(); }, [&] { rs.Move(1); }, [&] { rs("yhm"); }, [&] { (void)rs.Bookmark(); },
                 [&] { rs.AbsolutePage(4); }, [&] { rs.AbsolutePage(0); }, [&] { none.AbsolutePage(1); },
                 [&] { none.MoveNext(); }, [&] { none("yhm"); }});
  EXPECT_EQ(at(), "end");
}

// A new row: what was assigned, each value as its column stores it (every
// conversion: engine_test; every column of an order: the submission's test),
// empty and null apart; an edited row: only what was assigned, written when
// updated or left, dropped when closed; no write where no row is writable.
TEST_F(StoreTest, RecordSetsWriteWhatWasAssignedWhereARowIsWritable) {
  Recordset rs, readOnly, columns, none, closed;
  open(rs, "select * from tdgl");
  rs.AddNew();
  EXPECT_TRUE(rs("id").value().isEmpty() && !rs.Eof());
  rs("yhm") = "李四";
  rs("qtbz") = "";
  rs("dczt") = " 12 ";
  EXPECT_THROW(rs("dczt") = "abc", Error);
  EXPECT_EQ(rs("YHM").text(), "李四");  // assigned, not yet written
  rs.Update();
  const std::string row = "select * from tdgl where id=" + rs("ID").text();
  EXPECT_EQ(std::pair(rs("id").value().kind(), rs.RecordCount()), std::pair(Value::Kind::Integer, 1L));
  EXPECT_EQ(column(row + " and dczt=12 and qtbz='' and telsss is null", "yhm"), Strings{"李四"});
  open(rs, row);
  rs("fromdate") = "2024-3-9 10:00";
  rs("qtbz") = Value::null();
  rs.Update();
  open(readOnly, row, adLockReadOnly);
  EXPECT_EQ(std::tuple(readOnly("dczt").value(), readOnly("fromdate").text(), readOnly("qtbz").isNull()),
            std::tuple(Value(12), "2024-3-9 10:00:00", true));

  open(columns, "select yhm from tdgl");  // read-only, and only its columns
  open(none, "select * from tdgl where id=-1");
  expectRefused({[&] { readOnly("dczt") = 2; }, [&] { readOnly.AddNew(); }, [&] { columns("yhm") = "x"; },
                 [&] { columns("dczt"); }, [&] { none("dczt") = 2; }, [&] { (void)closed.Eof(); }});
  readOnly.Update();  // nothing assigned: nothing to do
  addOrder("b", {2024, 3, 10, 0, 0, 0});
  open(rs, "select * from tdgl order by fromdate");
  rs("dczt") = 2;
  rs.MoveNext();
  rs("dczt") = 3;
  rs.Close();
  EXPECT_EQ(column("select * from tdgl order by fromdate", "dczt"), (Strings{"2", "1"}));
}
