// The order list over many orders: how the engine plans its statements, and
// that every page of it, reached cold or warm, from the start or from the
// end, holds the rows a walk from the first row finds there.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "data/connection.h"
#include "data/jet_sql.h"
#include "data/recordset.h"
#include "data/schema.h"

namespace data = tovi::data;
using data::DateTime;
using data::Recordset;
using data::Sql;
using data::Value;

namespace {

using Ids = std::vector<long long>;

// The list statements of the back office's order list, with their values.
std::vector<Sql> listStatements() {
  const DateTime from{2024, 1, 1, 6, 0, 0}, to{2024, 1, 2, 12, 0, 0};
  std::vector<Sql> out;
  for (const char* ob : {"desc", "asc"}) {
    const std::string order = std::string(" order by fromdate ") + ob;
    out.push_back(Sql("select * from tdgl where dczt in (1,2,3,4)" + order));
    out.push_back(Sql("select * from tdgl where dczt=?" + order, {Value(2)}));
    out.push_back(Sql("select * from tdgl where dczt in (1,2,3,4) and fromdate>? and fromdate<?" + order, {from, to}));
    out.push_back(Sql("select * from tdgl where dczt=? and fromdate>? and fromdate<?" + order, {Value(3), from, to}));
    out.push_back(Sql("select * from tdgl where dczt in (1,2,3,4) and yhm like ?" + order, {Value("%客户1%")}));
    out.push_back(Sql("select * from tdgl where dczt=? and yhm like ?" + order, {Value(1), Value("%客户1%")}));
  }
  return out;
}

class OrderListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tovi-list-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    path_ = dir_ + "/tamlo.mdb";
    ASSERT_TRUE(data::ensureDatabase(path_));
  }
  void TearDown() override {
    conn_.Close();
    std::filesystem::remove_all(dir_);
  }

  void exec(sqlite3* db, const std::string& sql) {
    char* err = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
    EXPECT_EQ(rc, SQLITE_OK) << (err ? err : "") << " in: " << sql;
    sqlite3_free(err);
  }

  // `rows` orders written straight to the file: three orders share each
  // minute (ties for the ordering), statuses run 1..5 (5 is outside the list).
  void fill(int rows) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
    exec(db, "begin");
    for (int i = 0; i < rows; ++i) {
      std::string at = DateTime{2024, 1, 1, 0, 0, 0}.addSeconds((i / 3) * 60LL).iso();
      exec(db, "insert into tdgl (yhm, fromdate, dczt) values ('客户" + std::to_string(i % 40) + "', '" + at + "', " +
                   std::to_string(i % 5 + 1) + ")");
    }
    exec(db, "commit");
    sqlite3_close(db);
  }

  // The planner's steps for a statement on the file, as one text.
  std::string plan(const std::string& text) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    std::string q = "explain query plan " + text;
    EXPECT_EQ(sqlite3_prepare_v2(db, q.c_str(), -1, &s, nullptr), SQLITE_OK) << sqlite3_errmsg(db) << " in: " << q;
    std::string out;
    while (s && sqlite3_step(s) == SQLITE_ROW) out += std::string(reinterpret_cast<const char*>(sqlite3_column_text(s, 3))) + "\n";
    sqlite3_finalize(s);
    sqlite3_close(db);
    return out;
  }

  void expectOrderedByAnIndex() {
    for (const Sql& sql : listStatements()) {
      const std::string text = data::jet::translate(sql.text)->text;
      const std::string p = plan(text);
      SCOPED_TRACE(text + "\n" + p);
      EXPECT_NE(p.find("INDEX tdgl_"), std::string::npos);
      EXPECT_EQ(p.find("TEMP B-TREE"), std::string::npos);
    }
  }

  // The keys of every row, walked with MoveNext from the first.
  Ids walk(const Sql& sql) {
    Recordset rs;
    rs.Open(sql, conn_, data::adOpenKeyset, data::adLockReadOnly);
    Ids out;
    while (!rs.Eof()) {
      out.push_back(rs("id").value().toInteger());
      rs.MoveNext();
    }
    return out;
  }

  // One page as the order list reads it: count, then the page's rows.
  Ids page(const Sql& sql, long n, long& count) {
    Recordset rs;
    rs.PageSize(20);
    rs.Open(sql, conn_, data::adOpenKeyset, data::adLockOptimistic);
    count = rs.RecordCount();
    Ids out;
    if (rs.Eof()) return out;
    rs.AbsolutePage(n);
    for (int i = 0; i < 20 && !rs.Eof(); ++i) {
      out.push_back(rs("id").value().toInteger());
      rs.MoveNext();
    }
    return out;
  }

  std::string dir_, path_;
  data::Connection conn_;
};

TEST_F(OrderListTest, ListStatementsWalkAnIndexInTheirOrder) {
  {
    SCOPED_TRACE("new file");
    expectOrderedByAnIndex();
  }
  fill(300);
  {
    SCOPED_TRACE("with orders");
    expectOrderedByAnIndex();
  }

  // A file whose time index has an older layout gets the present one, rows kept.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
  exec(db, "drop index tdgl_fromdate; drop index tdgl_dczt; create index tdgl_fromdate on tdgl (fromdate, dczt);"
           "create index tdgl_dczt on tdgl (dczt, fromdate); delete from sqlite_stat1");
  sqlite3_close(db);
  EXPECT_NE(plan("select * from tdgl where dczt in (1,2,3,4) order by fromdate desc").find("TEMP B-TREE"),
            std::string::npos);  // the planner sorts without the present layout
  EXPECT_FALSE(data::ensureDatabase(path_));
  {
    SCOPED_TRACE("older file");
    expectOrderedByAnIndex();
  }
  conn_.Open("Data Source=" + path_);
  Recordset rs;
  rs.Open("select * from tdgl", conn_, data::adOpenKeyset, data::adLockReadOnly);
  EXPECT_EQ(rs.RecordCount(), 300);
}

TEST_F(OrderListTest, EveryPageHoldsWhatAWalkFromTheStartFindsThere) {
  fill(2700);
  conn_.Open("Data Source=" + path_);
  std::vector<Sql> statements = listStatements();
  statements.push_back(Sql("select * from tdgl"));
  statements.push_back(Sql("select * from tdgl order by yhm desc, fromdate"));
  for (const Sql& sql : statements) {
    SCOPED_TRACE(sql.text);
    const Ids all = walk(sql);
    ASSERT_GT(all.size(), 0u);
    const long pages = static_cast<long>((all.size() + 19) / 20);
    for (long n : {1L, 2L, pages / 2, pages - 1, pages}) {
      if (n < 1) continue;
      SCOPED_TRACE("page " + std::to_string(n) + " of " + std::to_string(pages));
      const auto from = static_cast<std::size_t>((n - 1) * 20);
      const Ids expected(all.begin() + static_cast<long>(from),
                         all.begin() + static_cast<long>(std::min(all.size(), from + 20)));
      // Cold: any change of the file first (one that leaves the list alone).
      conn_.Execute("update view2 set view=view");
      long count = 0;
      EXPECT_EQ(page(sql, n, count), expected);
      EXPECT_EQ(count, static_cast<long>(all.size()));
      // Warm, and once more after a second deep page at the same version.
      EXPECT_EQ(page(sql, n, count), expected);
      EXPECT_EQ(page(sql, pages, count).size(), all.size() - static_cast<std::size_t>(pages - 1) * 20);
      EXPECT_EQ(page(sql, n, count), expected);
      EXPECT_EQ(count, static_cast<long>(all.size()));
    }
  }
}

TEST_F(OrderListTest, AnOrderAddedBetweenViewsMovesThePagesAfterIt) {
  fill(2000);
  conn_.Open("Data Source=" + path_);
  const Sql list("select * from tdgl where dczt in (1,2,3,4) order by fromdate desc");
  long count = 0;
  const Ids before = page(list, 80, count);  // the last page: rows 1581..1600
  EXPECT_EQ(count, 1600);
  ASSERT_EQ(before.size(), 20u);

  // The oldest order of all: it becomes the last row.
  Recordset rs;
  rs.Open("select * from tdgl", conn_, data::adOpenKeyset, data::adLockOptimistic);
  rs.AddNew();
  rs("yhm") = "最早";
  rs("fromdate") = DateTime{2023, 1, 1, 0, 0, 0};
  rs("dczt") = 4;
  rs.Update();
  const long long oldest = rs("id").value().toInteger();

  Ids after = page(list, 81, count);
  EXPECT_EQ(count, 1601);
  EXPECT_EQ(after, Ids{oldest});
  after = page(list, 80, count);
  EXPECT_EQ(after, before);

  // The newest: every row moves one place on.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
  exec(db, "insert into tdgl (yhm, fromdate, dczt) values ('最新', '2030-01-01 00:00:00', 1)");
  sqlite3_close(db);
  after = page(list, 81, count);
  EXPECT_EQ(count, 1602);
  EXPECT_EQ(after, (Ids{before.back(), oldest}));
}

}  // namespace
