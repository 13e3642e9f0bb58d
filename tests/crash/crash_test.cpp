// The site killed with SIGKILL at random moments: the server while clients
// order, `tovi init` while it makes the database, the server while it restores
// a backup. After each kill the site starts again, its file is sound, and no
// order answered as stored is missing or stored twice. The kill moments come
// from a printed seed (TOVI_CRASH_SEED replays them).
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <random>
#include <regex>
#include <set>
#include <thread>

#include "support/order_clients.h"

namespace {

namespace fs = std::filesystem;

std::mt19937 seeded(const std::string& test) {
  const char* given = std::getenv("TOVI_CRASH_SEED");
  const unsigned seed = given && *given ? static_cast<unsigned>(std::stoul(given)) : std::random_device{}();
  std::cout << "[crash] " << test << ": seed " << seed << " (replay with TOVI_CRASH_SEED=" << seed << ")" << std::endl;
  return std::mt19937(seed);
}
int between(std::mt19937& random, int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }
void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
int elapsedMs(Clock::time_point since) {
  return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// The login code fixed, no access log (the orders would fill it).
const std::vector<std::string> kServe = {"--access-log", "-", "--fixed-code", "1234"};

// Orders are taken from every browser and address, however often.
void filtersOff(const LiveServer& site) {
  sqliteColumn(site.databasePath(),
               "update set_tamloall set order_time_state=0, order_delet_state=0, order_flood_times=0");
}

Markers storedMarkers(const std::string& database) { return markers(sqliteColumn(database, "select qtbz from tdgl")); }

// The file after a kill and a restart: sound, and the ledger holds.
OrderCheck expectSound(const std::string& database, const std::vector<Attempt>& attempts, const std::string& when,
                       const std::vector<Markers>& kept = {}) {
  EXPECT_EQ(sqliteColumn(database, "pragma integrity_check"), std::vector<std::string>{"ok"}) << when;
  OrderCheck check = checkOrders(attempts, storedMarkers(database), kept);
  EXPECT_THAT(check.problems, IsEmpty()) << when << ": " << check.summary();
  return check;
}

TEST(Crash, EveryAcceptedOrderOutlivesAKilledServer) {
  std::mt19937 random = seeded("killed server");
  LiveServer site({.serve = false, .args = kServe});
  filtersOff(site);
  site.start();
  OrderClients clients(8, site.port());
  for (int k = 1; k <= 8; ++k) {
    sleepMs(between(random, 100, 900));
    ASSERT_TRUE(site.kill9()) << "the server had stopped by itself: " << site.output();
    const std::vector<Attempt> told = clients.ledger();
    site.start();
    clients.aim(site.port());
    expectSound(site.databasePath(), told, "after kill " + std::to_string(k));
  }
  sleepMs(300);
  clients.stop();
  EXPECT_EQ(site.stop(), 0);
  const OrderCheck check = expectSound(site.databasePath(), clients.ledger(), "at the end");
  std::cout << "[crash] 8 kills; orders: " << check.summary() << std::endl;
  EXPECT_GT(check.counts[Attempt::Accepted], 100);
}

TEST(Crash, KilledInitLeavesNoHalfDatabase) {
  std::mt19937 random = seeded("killed init");
  LiveServer site({.init = false, .serve = false, .args = kServe});
  const std::vector<std::string> init = {"init", "--root", site.root(), "--demo"};
  const std::string schema = "select name from sqlite_schema where type in ('table', 'index') order by name";
  // A whole run first: how long it takes, and what a complete database holds.
  const Clock::time_point start = Clock::now();
  ASSERT_EQ(Process(init, site.root() + ".init").wait(), 0);
  const int duration = elapsedMs(start);
  const std::vector<std::string> tables = sqliteColumn(site.databasePath(), schema);
  const std::string dishes = sqliteColumn(site.databasePath(), "select count(*) from cygl").at(0);

  // Kill moments fall within the whole run's time, narrowed to a run that
  // ended before its moment: runs vary on a busy machine.
  int window = duration, rounds = 0, killed = 0, unshown = 0;
  while (killed < 8 && rounds < 30) {
    ++rounds;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) fs::remove(site.databasePath() + suffix);
    Process run(init, site.root() + ".init");
    const int at = between(random, 0, window);
    sleepMs(at);
    if (run.kill9())
      ++killed;
    else
      window = std::max(at, 1);
    const std::string when = "init killed at " + std::to_string(at) + " ms";
    const bool existed = fs::exists(site.databasePath());
    try {
      site.start();
    } catch (const std::exception& e) {
      ADD_FAILURE() << when << ": the site does not start: " << e.what();
      continue;
    }
    const std::string db = site.databasePath();
    EXPECT_EQ(sqliteColumn(db, "pragma integrity_check"), std::vector<std::string>{"ok"}) << when;
    EXPECT_EQ(sqliteColumn(db, schema), tables) << when;
    EXPECT_EQ(sqliteColumn(db, "select count(*) from wq_admin where admin='admin' and flag=1"),
              std::vector<std::string>{"1"})
        << when << " (file there before the start: " << existed << ")";
    EXPECT_THAT((std::vector<std::string>{"0", dishes}),
                ::testing::Contains(sqliteColumn(db, "select count(*) from cygl").at(0)))
        << when << ": the demo menu is partly there";
    EXPECT_TRUE(order(site.port(), "after-init")) << when << ": " << site.output();
    std::string password = printedPassword(run.output());
    if (password.empty()) password = printedPassword(site.output());
    if (password.empty()) {
      ++unshown;
    } else {
      HttpClient http(site.port());
      EXPECT_THAT(logIn(http, "admin", password).text(), HasSubstr("index.asp"))
          << when << ": the printed password does not open the back office";
    }
    EXPECT_EQ(site.stop(), 0);
  }
  std::cout << "[crash] init: " << rounds << " rounds, " << killed << " killed while running (a whole run takes "
            << duration << " ms), " << unshown << " with the owner's password never shown" << std::endl;
  EXPECT_GE(killed, 8);
}

TEST(Crash, KilledRestoreKeepsTheOldDatabaseOrTheRestoredOne) {
  std::mt19937 random = seeded("killed restore");
  LiveServer site({.serve = false, .args = kServe});
  const std::string password = printedPassword(site.initOutput()), backups = site.root() + "/database/backup/";
  ASSERT_FALSE(password.empty());
  filtersOff(site);
  // Enough orders that a restore takes a while to copy.
  sqliteColumn(site.databasePath(),
               "begin; with recursive n(i) as (select 1 union all select i + 1 from n where i < 40000) "
               "insert into tdgl (dcqk, dczj, yhm, telsss, zffs, addresss, qtbz, dczt) "
               "select printf('%.300c', '*'), '24', 'seed', '13800000000', 'cash', 'addr', 'seed-' || i, 4 from n; "
               "commit");
  site.start();
  OrderClients clients(8, site.port());
  std::vector<Markers> kept;  // the copies restores kept of the database they replaced
  int restoreMs = 0, killedDuring = 0;
  // The accepted orders sent after `from` and answered before `to`.
  auto accepted = [&](Clock::time_point from, Clock::time_point to) {
    std::set<std::string> markers;
    for (const Attempt& a : clients.ledger())
      if (a.outcome == Attempt::Accepted && a.sent > from && a.answered < to) markers.insert(a.marker);
    return markers;
  };
  auto awaitOrders = [&](Clock::time_point from) {
    for (int waited = 0; accepted(from, Clock::now()).size() < 8 && waited < 5000; waited += 20) sleepMs(20);
  };
  auto backupFiles = [&] {
    std::set<std::string> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(backups, ec))
      if (e.path().extension() == ".mdb") out.insert(e.path().filename().string());
    return out;
  };

  for (int round = 0; round <= 5; ++round) {
    const std::string label = "round " + std::to_string(round);
    const Clock::time_point roundStart = Clock::now();
    HttpClient http(site.port());
    ASSERT_THAT(logIn(http, "admin", password).text(), HasSubstr("index.asp")) << label;
    // Orders of this round answered before the backup is asked for: the copy,
    // taken while orders arrive, must hold them all.
    awaitOrders(roundStart);
    const Clock::time_point askedBackup = Clock::now();
    const std::string made = postOwn(http, "/admin/database_menager2.asp", "Submit=1").text();
    std::smatch m;
    static const std::regex name(R"(database/backup/(tamlo-[0-9-]+\.mdb))");
    ASSERT_TRUE(std::regex_search(made, m, name)) << made;
    const std::string backup = m[1];
    const std::set<std::string> beforeCopy = accepted(roundStart, askedBackup);
    const Markers inCopy = storedMarkers(backups + backup);
    ASSERT_GE(beforeCopy.size(), 8u) << label << ": orders stopped";
    EXPECT_EQ(std::count_if(beforeCopy.begin(), beforeCopy.end(), [&](auto& m) { return !inCopy.count(m); }), 0)
        << label << ": orders accepted before the backup missing from it";
    // Orders sent after the backup and accepted before the restore: in the
    // old database only, so they tell which database the site holds after.
    const Clock::time_point backedUp = Clock::now();
    awaitOrders(backedUp);
    const std::set<std::string> gap = accepted(backedUp, Clock::now());
    ASSERT_GE(gap.size(), 8u) << label << ": orders stopped";
    const std::set<std::string> filesBefore = backupFiles();

    std::string answer;
    const Clock::time_point asked = Clock::now();
    std::thread restore([&] {
      HttpResponse r = postOwn(http, "/admin/database_menager4.asp", "backup=" + backup + "&Submit=1");
      answer = r.status ? r.text() : "cut off";
    });
    int at = -1;
    if (round == 0) {  // a whole restore first: how long one takes
      restore.join();
      restoreMs = elapsedMs(asked);
      EXPECT_THAT(answer, HasSubstr("已恢复备份")) << label;
    } else {
      sleepMs(at = between(random, 0, restoreMs));
    }
    const bool wasRunning = site.kill9();
    if (restore.joinable()) restore.join();
    ASSERT_TRUE(wasRunning) << label << ": the server had stopped by itself: " << site.output();
    killedDuring += at >= 0 && answer == "cut off";
    const std::vector<Attempt> told = clients.ledger();
    site.start();
    clients.aim(site.port());

    int keptNow = 0;
    for (const std::string& f : backupFiles()) {
      if (filesBefore.count(f)) continue;
      ++keptNow;
      EXPECT_EQ(sqliteColumn(backups + f, "pragma integrity_check"), std::vector<std::string>{"ok"}) << label << f;
      EXPECT_EQ(sqliteColumn(backups + f, "select count(*) from sqlite_schema where name='tdgl'"),
                std::vector<std::string>{"1"})
          << label << ": kept copy " << f << " is no database of the site";
      if (!HasFailure()) kept.push_back(storedMarkers(backups + f));
    }
    const Markers live = storedMarkers(site.databasePath());
    const auto gapThere = std::count_if(gap.begin(), gap.end(), [&](auto& g) { return live.count(g); });
    const std::string when = label + (at < 0 ? ", restore not killed" : ", killed " + std::to_string(at) + " ms in");
    const bool restored = gapThere == 0;
    EXPECT_TRUE(restored || gapThere == static_cast<long>(gap.size()))
        << when << ": " << gapThere << " of the " << gap.size() << " orders placed after the backup are there";
    if (restored) {
      EXPECT_EQ(keptNow, 1) << when << ": restored without keeping the database it replaced";
      const Markers copied = storedMarkers(backups + backup);
      EXPECT_EQ(std::count_if(copied.begin(), copied.end(), [&](auto& m) { return !live.count(m.first); }), 0)
          << when << ": orders of the backup missing from the restored database";
    }
    expectSound(site.databasePath(), told, when, kept);
    EXPECT_EQ(HttpClient(site.port()).get("/index.asp").status, 200) << when;
    std::cout << "[crash] restore " << when << ": the site holds the " << (restored ? "restored" : "old") << " database"
              << std::endl;
  }
  clients.stop();
  EXPECT_EQ(site.stop(), 0);
  const OrderCheck check = expectSound(site.databasePath(), clients.ledger(), "at the end", kept);
  std::cout << "[crash] restore: a whole restore takes " << restoreMs << " ms; 5 kills, " << killedDuring
            << " before its answer; orders: " << check.summary() << std::endl;
}

}  // namespace
