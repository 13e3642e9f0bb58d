// The database file's change stamp: moved on by every kind of writer, steady
// while nobody writes.
#include "data/change_stamp.h"

#include <cstdlib>
#include <functional>
#include <thread>

#include "data/temp_db.h"

class ChangeStamp : public TempDb {
 protected:
  void addDish() {  // on a connection of its own, as another page would
    data::Connection conn;
    conn.Open(connectionText());
    conn.Execute("insert into cygl (name, lei2) values ('dish', 1)");
  }
};

TEST_F(ChangeStamp, SteadyWhileNobodyWritesAndReadsDoNotMoveIt) {
  std::uint64_t first = data::changeStamp(path_);
  EXPECT_EQ(data::changeStamp(path_), first);
  EXPECT_EQ(column("select * from cygl", "id"), Strings{});
  EXPECT_EQ(data::changeStamp(path_), first);
  EXPECT_THROW((void)data::changeStamp(dir_ + "/none.mdb"), data::Error);
}

TEST_F(ChangeStamp, MovesForEveryWriter) {
  const std::pair<const char*, std::function<void()>> writers[] = {
      {"this thread", [&] { addDish(); }},
      {"another thread", [&] { std::thread([&] { addDish(); }).join(); }},
      {"SQLite without the data layer", [&] { raw("insert into cygl (name) values ('raw')"); }},
      {"another program",
       [&] { ASSERT_EQ(std::system(("sqlite3 '" + path_ + "' \"update cygl set name='cli'\"").c_str()), 0); }},
  };
  for (const auto& [who, write] : writers) {
    SCOPED_TRACE(who);
    std::uint64_t before = data::changeStamp(path_);
    write();
    std::uint64_t after = data::changeStamp(path_);
    EXPECT_NE(after, before);
    EXPECT_EQ(data::changeStamp(path_), after);
  }
  // Seen from a thread whose stamp was taken before the write, too.
  std::uint64_t seenThere = 0, seenAfter = 0;
  std::thread([&] { seenThere = data::changeStamp(path_); }).join();
  addDish();
  std::thread([&] { seenAfter = data::changeStamp(path_); }).join();
  EXPECT_NE(seenAfter, seenThere);
}
