#include "data/maintenance.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>

#include "data/connection.h"
#include "data/schema.h"

namespace tovi::data {
namespace {

struct Closer {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Db = std::unique_ptr<sqlite3, Closer>;

Db open(const std::string& path, int flags) {
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  Db db(raw);
  if (rc != SQLITE_OK)
    throw Error("cannot open " + path + ": " + (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)));
  sqlite3_busy_timeout(raw, 10000);
  return db;
}

void exec(sqlite3* db, const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    throw Error(std::string(sql) + ": " + text);
  }
}

// The first column of the first row of `sql` as text ("" without a row).
std::string scalar(sqlite3* db, const char* sql) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) throw Error(sqlite3_errmsg(db));
  std::string out;
  int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW && sqlite3_column_text(st, 0))
    out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
  else if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::string msg = sqlite3_errmsg(db);
    sqlite3_finalize(st);
    throw Error(msg);
  }
  sqlite3_finalize(st);
  return out;
}

// Steps `b` by `pages` (-1: all that are left), waiting while other
// connections hold locks (the busy handler does not cover the backup steps).
// Returns SQLITE_OK (more to copy) or SQLITE_DONE; throws on anything else.
int step(sqlite3_backup* b, int pages) {
  int rc;
  int waits = 0;
  while ((rc = sqlite3_backup_step(b, pages)) == SQLITE_BUSY || rc == SQLITE_LOCKED) {
    if (++waits > 400) break;  // about 20 seconds of locks held by others
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (rc != SQLITE_OK && rc != SQLITE_DONE) throw Error(std::string("backup: ") + sqlite3_errstr(rc));
  return rc;
}

struct BackupEnd {
  void operator()(sqlite3_backup* b) const { sqlite3_backup_finish(b); }
};
using Backup = std::unique_ptr<sqlite3_backup, BackupEnd>;

Backup startBackup(sqlite3* src, sqlite3* dest) {
  Backup b(sqlite3_backup_init(dest, "main", src, "main"));
  if (!b) throw Error(std::string("backup: ") + sqlite3_errmsg(dest));
  return b;
}

// Copies every page of `src` into `dest` in one step, so one read of the
// source serves the whole copy: in steps, every write landing between two of
// them sends the copy back to its start, and steady orders keep it there.
void copyPages(sqlite3* src, sqlite3* dest) {
  Backup b = startBackup(src, dest);
  step(b.get(), -1);
}

// Makes a rename in `folder` last through a power cut.
void syncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

void backup(const std::string& path, const std::string& to) {
  if (std::filesystem::exists(to)) throw Error("backup: " + to + " already exists");
  // Written under another name and given its own once whole: a copy cut
  // short by a killed process is never taken for a backup.
  const std::string part = to + ".part";
  std::error_code ec;
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) std::filesystem::remove(part + suffix, ec);
  {
    Db src = open(path, SQLITE_OPEN_READWRITE);
    Db dest = open(part, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    try {
      copyPages(src.get(), dest.get());
    } catch (...) {
      dest.reset();
      std::filesystem::remove(part, ec);
      throw;
    }
  }  // closed (and so complete on disk) before it takes its name
  std::filesystem::rename(part, to, ec);
  if (ec) throw Error("backup: cannot name the copy " + to + ": " + ec.message());
  std::filesystem::path folder = std::filesystem::path(to).parent_path();
  syncFolder(folder.empty() ? "." : folder.string());
}

void vacuum(const std::string& path) {
  Db db = open(path, SQLITE_OPEN_READWRITE);
  exec(db.get(), "VACUUM");
  scalar(db.get(), "PRAGMA wal_checkpoint(TRUNCATE)");
}

namespace {

// Opens the copy `from` and checks it is a sound database of this site.
Db openCopy(const std::string& from) {
  if (!std::filesystem::is_regular_file(from)) throw Error("restore: " + from + " is not a file");
  Db src = open(from, SQLITE_OPEN_READONLY);
  std::string check;
  try {
    check = scalar(src.get(), "PRAGMA quick_check");
  } catch (const Error& e) {
    throw Error(std::string("restore: the copy is no database: ") + e.what());
  }
  if (check != "ok") throw Error("restore: the copy is damaged: " + check);
  if (scalar(src.get(), "select count(*) from sqlite_master where type='table' and lower(name)='wq_admin'") != "1")
    throw Error("restore: the copy is no database of this site");
  return src;
}

void copyInto(sqlite3* src, const std::string& path) {
  Db dest = open(path, SQLITE_OPEN_READWRITE);
  copyPages(src, dest.get());
  scalar(dest.get(), "PRAGMA wal_checkpoint(TRUNCATE)");
}

}  // namespace

void restore(const std::string& from, const std::string& path) {
  Db src = openCopy(from);
  copyInto(src.get(), path);
  ensureDatabase(path);  // a copy of an older layout gains what this one adds
}

std::string restoreKeepingCopy(const std::string& from, const std::string& path, const std::string& backupFolder,
                               const DateTime& when) {
  Db src = openCopy(from);
  std::error_code ec;
  std::filesystem::create_directories(backupFolder, ec);
  if (ec) throw Error("restore: cannot make " + backupFolder + ": " + ec.message());
  std::string kept = newBackupPath(backupFolder, when);
  Db dest = open(path, SQLITE_OPEN_READWRITE);
  Backup b = startBackup(src.get(), dest.get());
  // A first step of no pages takes the database's write lock and keeps it:
  // from the kept copy until the restore is done no other write can land, so
  // every write ever answered as stored is in one or the other.
  step(b.get(), 0);
  backup(path, kept);  // read through a connection of its own, beside the lock
  while (step(b.get(), -1) != SQLITE_DONE) {
  }
  b.reset();
  scalar(dest.get(), "PRAGMA wal_checkpoint(TRUNCATE)");
  ensureDatabase(path);  // a copy of an older layout gains what this one adds
  return kept;
}

std::string backupFileName(const DateTime& t) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "tamlo-%04d%02d%02d-%02d%02d%02d.mdb", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  return buf;
}

std::string newBackupPath(const std::string& folder, const DateTime& when) {
  std::string name = backupFileName(when);
  std::string path = folder + "/" + name;
  for (int n = 2; std::filesystem::exists(path); ++n)
    path = folder + "/" + name.substr(0, name.size() - 4) + "-" + std::to_string(n) + ".mdb";
  return path;
}

}  // namespace tovi::data
