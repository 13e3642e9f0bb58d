// `tovi migrate` of a demo site with orders, guestbook messages and members
// into a fresh PostgreSQL database (TOVI_TEST_PG): every table read back from
// both sides the same, the auto-numbers past the file's, a second migrate
// refused; `tovi backup` and `restore` of a site on PostgreSQL refused.
#include "support/order_clients.h"
#include "support/server_db.h"

namespace {

// The same rows in the same order on both engines: every column as text, by id.
const std::vector<std::pair<std::string, std::string>> kTables = {
    {"tdgl", "id || '|' || yhm || '|' || coalesce(qtbz, '<null>') || '|' || dcqk || '|' || fromdate || '|' || dczt"},
    {"Feedback", "ID || '|' || UserName || '|' || Comments || '|' || PostDate || '|' || coalesce(Replay, '<null>') || "
                 "'|' || cast(del as integer) || '|' || Online"},
    {"reg", "id || '|' || names || '|' || password || '|' || sh"},
    {"cygl", "id || '|' || name || '|' || jiage || '|' || lei2 || '|' || dates"},
    {"wq_admin", "adminid || '|' || admin || '|' || password || '|' || flag"},
    {"set_tamloall", "order_time || '|' || order_flood_times"},
};

TEST(Migrate, CopiesEveryTableRowForRowAndKeepsTheIds) {
  LiveServer site({.demo = true, .serve = false, .args = {}});
  sqliteColumn(site.databasePath(), R"(
    insert into tdgl (yhm, qtbz, dcqk, fromdate, dczt) values
      ('张三', '不要辣	多加饭\n后门', '⊕宫保鸡丁饭 12元 X 2份=24元 \r\n\r\n', '2025-03-09 12:30:00', 1),
      ('李四', null, 'a\b' || char(10) || 'c', '2025-03-10 08:00:00', 4), ('王五', '', '', '2025-03-10 09:00:00', 2);
    delete from tdgl where yhm = '王五';
    insert into Feedback (UserName, Comments, PostDate, Dates, Replay, del, Online) values
      ('客人', '很好吃<BR>下次再来', '2025-01-01 08:00:00', '2025-01-01 08:00:00', '谢谢', 0, 1),
      ('路人', '太慢', '2025-01-02 09:00:00', '2025-01-02 09:00:00', null, 1, 0);
    insert into reg (names, password, sh, dates) values ('member1', 'x', 1, '2025-02-01 10:00:00');
    update set_tamloall set order_time = 25, order_flood_times = 0;)");
  ServerDb db(ServerDb::kAlways);
  Process move({"migrate", "--root", site.root(), "--to", db.url()}, site.root() + ".migrate");
  ASSERT_EQ(move.wait(), 0) << move.output();
  EXPECT_THAT(move.output(), HasSubstr("every table holds the same rows")) << move.output();
  for (const auto& [table, row] : kTables) {
    const std::string each = "select " + row + " from " + table + " order by 1";
    EXPECT_EQ(serverColumn(db.url(), each), sqliteColumn(site.databasePath(), each)) << table;
    EXPECT_THAT(move.output(), ::testing::ContainsRegex("\n" + table + " +[0-9]+ +[0-9]+ .* same\n")) << table;
  }

  Process again({"migrate", "--root", site.root(), "--to", db.url()}, site.root() + ".again");
  EXPECT_NE(again.wait(), 0);
  EXPECT_THAT(again.output(), HasSubstr("not empty: it holds cygl (")) << again.output();

  // Served from the server, the next order takes the id after the deleted one.
  const std::string last = sqliteColumn(site.databasePath(), "select seq from sqlite_sequence where name = 'tdgl'")[0];
  for (const std::string command : {"backup", "restore"}) {
    Process refused({command, "--root", site.root(), "--database", db.url(), site.root() + "/copy.mdb"},
                    site.root() + ".refused");
    EXPECT_EQ(refused.wait(), 2) << command;
    EXPECT_THAT(refused.output(), HasSubstr(command == "backup" ? "pg_dump" : "pg_restore")) << command;
  }
  LiveServer node({.init = false, .serve = false, .args = {"--database", db.url()}});
  node.start();
  ASSERT_TRUE(order(node.port(), "after-the-move"));
  EXPECT_EQ(serverColumn(db.url(), "select id from tdgl where qtbz = 'after-the-move'"),
            std::vector<std::string>{std::to_string(std::stol(last) + 1)});
}

}  // namespace
