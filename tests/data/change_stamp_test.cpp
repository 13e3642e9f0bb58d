// The database file's change stamp: moved on by every kind of writer, steady
// while nobody writes.
#include "data/change_stamp.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "data/connection.h"
#include "data/recordset.h"
#include "data/schema.h"

using namespace tovi;

namespace {

class ChangeStamp : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tovi-stamp-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    path_ = dir_ + "/tamlo.mdb";
    data::ensureDatabase(path_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void addDish(const std::string& name) {
    data::Connection conn;
    conn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path_);
    conn.Execute(data::Sql("insert into cygl (name, lei2) values (?, 1)", {data::Value(name)}));
  }

  std::string dir_, path_;
};

TEST_F(ChangeStamp, SteadyWhileNobodyWritesAndReadsDoNotMoveIt) {
  std::uint64_t first = data::changeStamp(path_);
  EXPECT_EQ(data::changeStamp(path_), first);
  data::Connection conn;
  conn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path_);
  data::Recordset rs;
  rs.Open("select * from cygl", conn, 1, 1);
  rs.Close();
  EXPECT_EQ(data::changeStamp(path_), first);
}

TEST_F(ChangeStamp, MovesForEveryWriter) {
  // This thread's own connection, the one the stamp is read on.
  std::uint64_t before = data::changeStamp(path_);
  addDish("same thread");
  std::uint64_t afterOwn = data::changeStamp(path_);
  EXPECT_NE(afterOwn, before);

  // Another thread of this process, through the data layer.
  std::thread([this] { addDish("other thread"); }).join();
  std::uint64_t afterThread = data::changeStamp(path_);
  EXPECT_NE(afterThread, afterOwn);

  // Another connection that does not go through the data layer.
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(path_.c_str(), &raw), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(raw, "insert into cygl (name) values ('raw')", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(raw);
  std::uint64_t afterRaw = data::changeStamp(path_);
  EXPECT_NE(afterRaw, afterThread);

  // Another program.
  ASSERT_EQ(std::system(("sqlite3 '" + path_ + "' \"update cygl set name='cli' where name='raw'\"").c_str()), 0);
  std::uint64_t afterProgram = data::changeStamp(path_);
  EXPECT_NE(afterProgram, afterRaw);
  EXPECT_EQ(data::changeStamp(path_), afterProgram);

  // Seen from a thread whose stamp was taken before the write, too.
  std::uint64_t seenThere = 0, seenAfter = 0;
  std::thread reader([&] { seenThere = data::changeStamp(path_); });
  reader.join();
  addDish("after");
  std::thread([&] { seenAfter = data::changeStamp(path_); }).join();
  EXPECT_NE(seenAfter, seenThere);
}

TEST_F(ChangeStamp, AMissingFileIsAnError) {
  EXPECT_THROW((void)data::changeStamp(dir_ + "/none.mdb"), data::Error);
}

}  // namespace
