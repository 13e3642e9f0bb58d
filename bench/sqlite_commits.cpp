// The yardstick for stored orders per second: plain SQLite, one thread, WAL,
// synchronous=FULL, one small row per committed transaction, in a file of its
// own in FOLDER (give it the site's database folder: the same disk).
//
//   sqlite_commits FOLDER [seconds=10]     prints "<n> commits/s"
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: sqlite_commits FOLDER [seconds]\n");
    return 2;
  }
  const std::string path = std::string(argv[1]) + "/sqlite_commits.db";
  const double seconds = argc > 2 ? std::atof(argv[2]) : 10;
  sqlite3* db = nullptr;
  auto fail = [&](const char* what) {
    std::fprintf(stderr, "sqlite_commits: %s: %s\n", what, db ? sqlite3_errmsg(db) : "");
    return 1;
  };
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return fail("open");
  if (sqlite3_exec(db,
                   "pragma journal_mode=wal; pragma synchronous=full;"
                   "create table if not exists t (id integer primary key, v text)",
                   nullptr, nullptr, nullptr) != SQLITE_OK)
    return fail("set-up");
  sqlite3_stmt* insert = nullptr;
  if (sqlite3_prepare_v2(db, "insert into t (v) values ('13800000000')", -1, &insert, nullptr) != SQLITE_OK)
    return fail("prepare");
  long commits = 0;
  const auto start = std::chrono::steady_clock::now();
  double elapsed = 0;
  while (elapsed < seconds) {
    if (sqlite3_step(insert) != SQLITE_DONE) return fail("insert");  // autocommit: one transaction each
    sqlite3_reset(insert);
    ++commits;
    elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  sqlite3_finalize(insert);
  sqlite3_close(db);
  for (const char* suffix : {"", "-wal", "-shm"}) std::remove((path + suffix).c_str());
  std::printf("%.0f commits/s\n", commits / elapsed);
  return 0;
}
