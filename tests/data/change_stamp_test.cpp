// The database file's change stamp: moved on by every kind of writer, steady
// while nobody writes, whichever thread asks.
#include "data/change_stamp.h"

#include <cstdlib>
#include <functional>
#include <thread>

#include "data/temp_db.h"

class ChangeStamp : public TempDb {};

TEST_F(ChangeStamp, MovesForEveryWriterAndOnlyForWriters) {
  auto stamp = [&] { return data::changeStamp(path_); };
  auto addDish = [&] {  // on a connection of its own, as another page would
    data::Connection conn;
    conn.Open(connectionText());
    conn.Execute("insert into cygl (name, lei2) values ('dish', 1)");
  };
  const std::tuple<const char*, std::function<void()>, bool> steps[] = {
      {"nobody", [] {}, false},
      {"a reader", [&] { EXPECT_EQ(column("select * from cygl", "id"), Strings{}); }, false},
      {"this thread", addDish, true},
      {"another thread", [&] { std::thread(addDish).join(); }, true},
      {"SQLite without the data layer", [&] { raw("insert into cygl (name) values ('raw')"); }, true},
      {"another program",
       [&] { ASSERT_EQ(std::system(("sqlite3 '" + path_ + "' \"update cygl set name='cli'\"").c_str()), 0); }, true},
  };
  for (const auto& [who, step, moves] : steps) {
    SCOPED_TRACE(who);
    const std::uint64_t before = stamp();
    step();
    const std::uint64_t after = stamp();
    EXPECT_EQ(after != before, moves);
    EXPECT_EQ(stamp(), after);
  }
  // Seen from a thread whose stamp was taken before the write, too.
  std::uint64_t seenThere = 0, seenAfter = 0;
  std::thread([&] { seenThere = stamp(); }).join();
  addDish();
  std::thread([&] { seenAfter = stamp(); }).join();
  EXPECT_NE(seenAfter, seenThere);
  EXPECT_THROW((void)data::changeStamp(dir_ + "/none.mdb"), data::Error);
}
