// The site killed with SIGKILL at random moments: the server while clients
// order, `tovi init` while it makes the database, the server while it restores
// a backup. After each kill the site starts again, its file is sound, and no
// order answered as stored is missing or stored twice. The kill moments come
// from a printed seed (TOVI_CRASH_SEED replays them).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <regex>

#include "crash/crash_site.h"
#include "support/over_http.h"

namespace tovi::crash {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

long elapsedMs(Clock::time_point since) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// The password `tovi init` printed for the site owner, "" when it printed none.
std::string printedPassword(const std::string& output) {
  static const std::regex password(R"(password: (\S+))");
  std::smatch m;
  return std::regex_search(output, m, password) ? m[1].str() : "";
}

// A complete `tovi init` of the site; the owner's password.
std::string initSite(CrashSite& site, const std::vector<std::string>& more = {}) {
  std::vector<std::string> args = {"init", "--root", site.root()};
  args.insert(args.end(), more.begin(), more.end());
  Process init(args, site.log("init"));
  EXPECT_EQ(init.wait(), 0) << init.output();
  return printedPassword(init.output());
}

// Orders are taken from every browser and address, however often.
void filtersOff(CrashSite& site) {
  Db(site.database()).exec("update set_tamloall set order_time_state=0, order_delet_state=0");
}

// The file after a kill and a restart: sound, and the ledger holds.
void expectSound(const std::string& database, const std::vector<Attempt>& attempts, const std::string& when,
                 const std::vector<std::map<std::string, int>>& kept = {}) {
  EXPECT_EQ(Db(database).integrity(), "ok") << when;
  OrderCheck check = checkOrders(attempts, storedMarkers(database), kept);
  EXPECT_THAT(check.problems, ::testing::IsEmpty()) << when << ": " << check.summary();
}

TEST(Crash, EveryAcceptedOrderOutlivesAKilledServer) {
  std::mt19937 random = seededRandom("killed server");
  CrashSite site;
  initSite(site);
  filtersOff(site);
  auto server = std::make_unique<Server>(site);
  Ledger ledger;
  OrderClients clients(ledger, 8);
  clients.aim(server->port());

  const int kills = 8;
  for (int k = 1; k <= kills; ++k) {
    sleepMs(randomBetween(random, 100, 900));
    ASSERT_TRUE(server->kill9()) << "the server had stopped by itself: " << server->output();
    std::vector<Attempt> told = ledger.attempts();
    server = std::make_unique<Server>(site);
    clients.aim(server->port());
    expectSound(site.database(), told, "after kill " + std::to_string(k));
  }
  sleepMs(300);
  clients.stop();
  EXPECT_EQ(server->stop(), 0);
  std::vector<Attempt> told = ledger.attempts();
  expectSound(site.database(), told, "at the end");
  OrderCheck check = checkOrders(told, storedMarkers(site.database()));
  std::cout << "[crash] " << kills << " kills; orders: " << check.summary() << "; "
            << Db(site.database()).column("select count(*) from tdgl").at(0) << " stored" << std::endl;
  EXPECT_GT(check.accepted, 100);
}

TEST(Crash, KilledInitLeavesNoHalfDatabase) {
  std::mt19937 random = seededRandom("killed init");
  CrashSite site;
  // A whole run first: how long it takes, and what a complete database holds.
  Clock::time_point start = Clock::now();
  initSite(site, {"--demo"});
  const int duration = static_cast<int>(elapsedMs(start));
  const std::vector<std::string> tables =
      Db(site.database()).column("select name from sqlite_schema where type in ('table', 'index') order by name");
  const std::string dishes = Db(site.database()).column("select count(*) from cygl").at(0);

  // Kill moments fall within the whole run's time, narrowed to a run that
  // ended before its moment: runs vary on a busy machine.
  int window = duration, rounds = 0, killed = 0, unshown = 0;
  while (killed < 8 && rounds < 30) {
    ++rounds;
    site.removeDatabase();
    Process init({"init", "--root", site.root(), "--demo"}, site.log("init"));
    int at = randomBetween(random, 0, window);
    sleepMs(at);
    if (init.kill9())
      ++killed;
    else
      window = std::max(at, 1);
    const std::string when = "init killed at " + std::to_string(at) + " ms";
    const bool existed = fs::exists(site.database());

    std::unique_ptr<Server> server;
    try {
      server = std::make_unique<Server>(site);
    } catch (const std::exception& e) {
      ADD_FAILURE() << when << ": the site does not start: " << e.what();
      continue;
    }
    Db db(site.database());
    EXPECT_EQ(db.integrity(), "ok") << when;
    EXPECT_EQ(db.column("select name from sqlite_schema where type in ('table', 'index') order by name"), tables)
        << when;
    EXPECT_EQ(db.column("select count(*) from wq_admin where admin='admin' and flag=1"), std::vector<std::string>{"1"})
        << when << " (file there before the start: " << existed << ")";
    EXPECT_THAT((std::vector<std::string>{"0", dishes}),
                ::testing::Contains(db.column("select count(*) from cygl").at(0)))
        << when << ": the demo menu is partly there";
    EXPECT_TRUE(accepted(ask(server->port(), orderRequest(server->port(), "after-init"))))
        << when << ": " << server->output();
    // The owner's password, printed by the killed run or by the server that
    // added the owner after it.
    std::string password = printedPassword(init.output());
    if (password.empty()) password = printedPassword(server->output());
    if (password.empty())
      ++unshown;
    else {
      testing::HttpClient http(server->port());
      EXPECT_THAT(testing::logIn(http, "admin", password).text(), HasSubstr("index.asp"))
          << when << ": the printed password does not open the back office";
    }
    EXPECT_EQ(server->stop(), 0);
  }
  std::cout << "[crash] init: " << rounds << " rounds, " << killed << " killed while running (a whole run takes "
            << duration << " ms), " << unshown << " with the owner's password never shown" << std::endl;
  EXPECT_GE(killed, 8);
}

// A database with enough orders that a restore takes a while to copy.
void addOrders(CrashSite& site, int n) {
  Db db(site.database());
  db.exec("begin");
  db.exec("with recursive n(i) as (select 1 union all select i + 1 from n where i < " + std::to_string(n) +
          ") insert into tdgl (dcqk, dczj, yhm, telsss, zffs, addresss, qtbz, dczt) "
          "select printf('%.300c', '*'), '24', 'seed', '13800000000', 'cash', 'addr', 'seed-' || i, 4 from n");
  db.exec("commit");
}

std::set<std::string> backupFiles(CrashSite& site) {
  std::set<std::string> out;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(site.backupFolder(), ec))
    if (e.path().extension() == ".mdb") out.insert(e.path().filename().string());
  return out;
}

TEST(Crash, KilledRestoreKeepsTheOldDatabaseOrTheRestoredOne) {
  std::mt19937 random = seededRandom("killed restore");
  CrashSite site;
  const std::string password = initSite(site);
  ASSERT_FALSE(password.empty());
  filtersOff(site);
  addOrders(site, 40000);
  auto server = std::make_unique<Server>(site);
  Ledger ledger;
  OrderClients clients(ledger, 8);
  clients.aim(server->port());
  std::vector<std::map<std::string, int>> kept;  // the copies restores kept of the database they replaced
  int restoreMs = 0, killedDuring = 0;

  for (int round = 0; round <= 5; ++round) {
    const std::string label = "round " + std::to_string(round);
    const Clock::time_point roundStart = Clock::now();
    testing::HttpClient http(server->port());
    ASSERT_THAT(testing::logIn(http, "admin", password).text(), HasSubstr("index.asp")) << label;
    const std::map<std::string, std::string> fromSite = {{"Origin", http.origin()}};
    // The accepted orders sent after `from` and answered before `to`.
    auto accepted = [&](Clock::time_point from, Clock::time_point to) {
      std::set<std::string> markers;
      for (const Attempt& a : ledger.attempts())
        if (a.outcome == Attempt::Outcome::Accepted && a.sent > from && a.answered < to) markers.insert(a.marker);
      return markers;
    };
    auto awaitOrders = [&](Clock::time_point from) {
      for (int waited = 0; accepted(from, Clock::now()).size() < 8 && waited < 5000; waited += 20) sleepMs(20);
    };
    // Orders of this round answered before the backup is asked for: the copy,
    // taken while orders arrive, must hold them all.
    awaitOrders(roundStart);
    const Clock::time_point askedBackup = Clock::now();
    std::string made = testing::postForm(http, "/admin/database_menager2.asp", "Submit=1", fromSite).text();
    std::smatch m;
    static const std::regex name(R"(database/backup/(tamlo-[0-9-]+\.mdb))");
    ASSERT_TRUE(std::regex_search(made, m, name)) << made;
    const std::string backup = m[1];
    const std::set<std::string> beforeCopy = accepted(roundStart, askedBackup);
    const std::map<std::string, int> inCopy = storedMarkers(site.backupFolder() + "/" + backup);
    ASSERT_GE(beforeCopy.size(), 8u) << label << ": orders stopped";
    EXPECT_EQ(std::count_if(beforeCopy.begin(), beforeCopy.end(), [&](auto& m) { return !inCopy.count(m); }), 0)
        << label << ": orders accepted before the backup missing from it";
    // Orders sent after the backup and accepted before the restore: in the
    // old database only, so they tell which database the site holds after.
    const Clock::time_point backedUp = Clock::now();
    awaitOrders(backedUp);
    const std::set<std::string> gap = accepted(backedUp, Clock::now());
    ASSERT_GE(gap.size(), 8u) << label << ": orders stopped";
    const std::set<std::string> filesBefore = backupFiles(site);

    std::string answer;
    Clock::time_point asked = Clock::now();
    std::thread restore([&] {
      try {
        answer =
            testing::postForm(http, "/admin/database_menager4.asp", "backup=" + backup + "&Submit=1", fromSite).text();
      } catch (const std::exception& e) {
        answer = std::string("cut off: ") + e.what();
      }
    });
    int at = -1;
    if (round == 0) {  // a whole restore first: how long one takes
      restore.join();
      restoreMs = static_cast<int>(elapsedMs(asked));
      EXPECT_THAT(answer, HasSubstr("已恢复备份")) << label;
    } else {
      at = randomBetween(random, 0, restoreMs);
      sleepMs(at);
    }
    const bool wasRunning = server->kill9();
    if (restore.joinable()) restore.join();
    ASSERT_TRUE(wasRunning) << label << ": the server had stopped by itself: " << server->output();
    killedDuring += at >= 0 && answer.rfind("cut off", 0) == 0;
    std::vector<Attempt> told = ledger.attempts();
    server = std::make_unique<Server>(site);
    clients.aim(server->port());

    int keptNow = 0;
    for (const std::string& f : backupFiles(site)) {
      if (filesBefore.count(f)) continue;
      ++keptNow;
      const std::string path = site.backupFolder() + "/" + f;
      Db copy(path);
      EXPECT_EQ(copy.integrity(), "ok") << label << ": kept copy " << f;
      EXPECT_EQ(copy.column("select count(*) from sqlite_schema where name='tdgl'"), std::vector<std::string>{"1"})
          << label << ": kept copy " << f << " is no database of the site";
      if (!HasFailure()) kept.push_back(storedMarkers(path));
    }
    const std::map<std::string, int> live = storedMarkers(site.database());
    std::size_t gapThere = 0;
    for (const std::string& g : gap) gapThere += live.count(g);
    const std::string when = label + (at < 0 ? ", restore not killed" : ", killed " + std::to_string(at) + " ms in");
    const bool restored = gapThere == 0;
    EXPECT_TRUE(restored || gapThere == gap.size())
        << when << ": " << gapThere << " of the " << gap.size() << " orders placed after the backup are there";
    if (restored) {
      EXPECT_EQ(keptNow, 1) << when << ": restored without keeping the database it replaced";
      long missing = 0;
      for (const auto& [marker, times] : storedMarkers(site.backupFolder() + "/" + backup))
        missing += !live.count(marker);
      EXPECT_EQ(missing, 0) << when << ": orders of the backup missing from the restored database";
    }
    expectSound(site.database(), told, when, kept);
    EXPECT_EQ(testing::HttpClient(server->port()).get("/index.asp").status, 200) << when;
    std::cout << "[crash] restore " << when << ": the site holds the " << (restored ? "restored" : "old") << " database"
              << std::endl;
  }
  clients.stop();
  std::vector<Attempt> told = ledger.attempts();
  EXPECT_EQ(server->stop(), 0);
  expectSound(site.database(), told, "at the end", kept);
  std::cout << "[crash] restore: a whole restore takes " << restoreMs << " ms; 5 kills, " << killedDuring
            << " before its answer; orders: " << checkOrders(told, storedMarkers(site.database()), kept).summary()
            << std::endl;
}

}  // namespace
}  // namespace tovi::crash
