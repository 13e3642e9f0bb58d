// The order list over many orders: how the engine plans its statements, that
// every page of it, reached cold or warm, from the start or from the end,
// holds the rows a walk from the first row finds there, and that pages and
// counts follow every writer of the file.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <thread>

#include "data/jet_sql.h"
#include "data/temp_db.h"

namespace tovi::testing {
namespace {

using data::DateTime;
using data::Sql;
using data::Value;

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

class OrderListTest : public TempDb {
 protected:
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
  void expectOrderedByAnIndex(const char* when) {
    for (const Sql& sql : listStatements()) {
      const std::string text = data::jet::translate(sql.text)->text, p = plan(text);
      SCOPED_TRACE(std::string(when) + ": " + text + "\n" + p);
      EXPECT_NE(p.find("INDEX tdgl_"), std::string::npos);
      EXPECT_EQ(p.find("TEMP B-TREE"), std::string::npos);
    }
  }
};

TEST_F(OrderListTest, ListStatementsWalkAnIndexInTheirOrder) {
  expectOrderedByAnIndex("new file");
  rawOrders(300, "客户", 3, 5);
  expectOrderedByAnIndex("with orders");
  // A file whose time index has an older layout gets the present one, rows kept.
  raw("drop index tdgl_fromdate; drop index tdgl_dczt; create index tdgl_fromdate on tdgl (fromdate, dczt);"
      "create index tdgl_dczt on tdgl (dczt, fromdate); delete from sqlite_stat1");
  EXPECT_NE(plan("select * from tdgl where dczt in (1,2,3,4) order by fromdate desc").find("TEMP B-TREE"),
            std::string::npos);  // the planner sorts without the present layout
  EXPECT_FALSE(data::ensureDatabase(path_));
  expectOrderedByAnIndex("older file");
  EXPECT_EQ(column("select * from tdgl", "id").size(), 300u);
}

TEST_F(OrderListTest, EveryPageHoldsWhatAWalkFromTheStartFindsThere) {
  rawOrders(2700, "客户", 3, 5);  // ties for the ordering; status 5 is outside the list
  std::vector<Sql> statements = listStatements();
  statements.push_back(Sql("select * from tdgl"));
  statements.push_back(Sql("select * from tdgl order by yhm desc, fromdate"));
  for (const Sql& sql : statements) {
    SCOPED_TRACE(sql.text);
    const Strings all = column(sql, "id");
    ASSERT_GT(all.size(), 0u);
    const long pages = static_cast<long>((all.size() + 19) / 20);
    for (long n : {1L, 2L, pages / 2, pages - 1, pages}) {
      if (n < 1) continue;
      SCOPED_TRACE("page " + std::to_string(n) + " of " + std::to_string(pages));
      const auto from = static_cast<std::size_t>((n - 1) * 20);
      const Strings expected(all.begin() + static_cast<long>(from),
                             all.begin() + static_cast<long>(std::min(all.size(), from + 20)));
      conn_.Execute("update view2 set view=view");  // cold: any change of the file first
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

TEST_F(OrderListTest, DeepPagesAndCountsFollowEveryWriterOfTheFile) {
  rawOrders(1500, "d");  // d0 .. d1499, one a minute
  const Sql list("select * from tdgl where dczt in (1,2,3,4) order by fromdate desc");
  auto firstOf = [&](long n) {
    long count = 0;
    Strings names = page(list, n, count, "yhm");
    return std::pair{count, names.empty() ? "" : names.front()};
  };
  EXPECT_EQ(firstOf(70), (std::pair{1500L, std::string("d119")}));  // row 1381 from the newest
  EXPECT_EQ(firstOf(75), (std::pair{1500L, std::string("d19")}));

  rawOrders(1, "d", 1, 1, 1500);  // another program
  EXPECT_EQ(firstOf(70), (std::pair{1501L, std::string("d120")}));
  EXPECT_EQ(conn_.Execute("delete from tdgl where yhm='d1500' or yhm='d0'"), 2);  // this connection
  EXPECT_EQ(firstOf(70), (std::pair{1499L, std::string("d119")}));
  std::thread([&] {  // another thread's connection
    data::Connection c;
    c.Open(connectionText());
    c.Execute("delete from tdgl where yhm='d1499'");
  }).join();
  EXPECT_EQ(firstOf(70), (std::pair{1498L, std::string("d118")}));

  // A record set's own new row, the oldest of all: it becomes the last row.
  add("tdgl", {{"yhm", "最早"}, {"fromdate", DateTime{2023, 1, 1, 0, 0, 0}}, {"dczt", 4}});
  long count = 0;
  EXPECT_EQ(page(list, 75, count, "yhm").back(), "最早");
  EXPECT_EQ(count, 1499);
  EXPECT_EQ(firstOf(70), (std::pair{1499L, std::string("d118")}));
}

}  // namespace
}  // namespace tovi::testing
