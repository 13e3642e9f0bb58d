// The group commit: writers of many threads at once, and the notice of a
// write's wait for the disk.
#include <algorithm>
#include <thread>

#include "data/engine.h"
#include "data/temp_db.h"

using namespace data;

class WriteQueue : public TempDb {};

// Eight writers, each on its own connection: every row is in the file, for
// any other connection to read, when its writer is told its own key; a
// colliding key fails only its row.
TEST_F(WriteQueue, ConcurrentWritersAllLandAndFailAlone) {
  constexpr int kThreads = 8, kEach = 40;
  const long long taken = addOrder("taken", {2024, 1, 1, 0, 0, 0});
  std::vector<Strings> told(kThreads);  // "<key> <name>" of each row as read right after its write, or "refused"
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      Connection c;
      c.Open(connectionText());
      for (int i = 0; i < kEach; ++i) {
        Recordset rs;
        rs.Open("select * from tdgl", c, adOpenKeyset, adLockOptimistic);
        rs.AddNew();
        rs("yhm") = "t" + std::to_string(t);
        if (i % 5 == 4) rs("id") = taken;
        try {
          rs.Update();
          const Strings row = raw("select id || ' ' || yhm from tdgl where id=" + rs("id").text());
          told[t].push_back(row.empty() ? "missing" : row[0]);
        } catch (const Error&) {
          told[t].push_back("refused");
        }
      }
    });
  for (auto& th : threads) th.join();
  Strings written;
  for (const Strings& rows : told) {
    EXPECT_EQ(std::count(rows.begin(), rows.end(), "refused"), kEach / 5);
    std::copy_if(rows.begin(), rows.end(), std::back_inserter(written), [](const auto& r) { return r != "refused"; });
  }
  std::sort(written.begin(), written.end());
  EXPECT_EQ(written, raw("select id || ' ' || yhm as r from tdgl where yhm <> 'taken' order by r"));
}

// A write, and only a write, tells its own thread when it starts and ends its wait for the disk.
TEST_F(WriteQueue, EachWriteNoticesItsWaitOnItsOwnThread) {
  std::string notices;
  setWriteWaitNotice([&](bool waiting) { notices += waiting ? '(' : ')'; });
  addOrder("a", {2024, 1, 1, 0, 0, 0});
  conn_.Execute("update tdgl set dczt=2");
  EXPECT_EQ(column("select * from tdgl", "dczt"), Strings{"2"});
  std::thread([&] {
    Connection c;
    c.Open(connectionText());
    c.Execute("delete from cygl");
  }).join();
  setWriteWaitNotice({});
  conn_.Execute("delete from tdgl");
  EXPECT_EQ(notices, "()()");
}
