#include "data/maintenance.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "data/connection.h"
#include "data/schema.h"

namespace tovi::data {
namespace {

struct Closer {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Db = std::unique_ptr<sqlite3, Closer>;

namespace fs = std::filesystem;

// `name` is what SQLite opens (a file name, or a URI with SQLITE_OPEN_URI), `path` the file it names.
Db open(const std::string& path, int flags, const std::string& name = {}) {
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(name.empty() ? path.c_str() : name.c_str(), &raw, flags, nullptr);
  Db db(raw);
  if (rc != SQLITE_OK)
    throw Error("cannot open " + path + ": " + (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)));
  sqlite3_busy_timeout(raw, 10000);
  return db;
}

bool present(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

// Opens `path` to read it. With no -wal or -journal beside it no connection
// is writing it, so it is opened immutable: no locks, and nothing made beside
// it (a read-only open of a file in WAL mode would leave a -wal and a -shm).
Db openToRead(const std::string& path) {
  if (present(path + "-wal") || present(path + "-journal")) return open(path, SQLITE_OPEN_READONLY);
  std::string uri = "file:";
  for (unsigned char c : path) {
    char escaped[4];
    std::snprintf(escaped, sizeof escaped, "%%%02X", c);
    uri += c == '%' || c == '?' || c == '#' || c <= ' ' || c >= 0x7f ? std::string(escaped) : std::string(1, char(c));
  }
  return open(path, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, uri + "?immutable=1");
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

// The first column of every row of `sql`.
std::vector<std::string> column(sqlite3* db, const char* sql) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) throw Error(sqlite3_errmsg(db));
  std::vector<std::string> out;
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW)
    out.emplace_back(sqlite3_column_text(st, 0) ? reinterpret_cast<const char*>(sqlite3_column_text(st, 0)) : "");
  sqlite3_finalize(st);
  if (rc != SQLITE_DONE) throw Error(sqlite3_errmsg(db));
  return out;
}

bool siteTables(const std::vector<std::string>& tables) {
  for (const std::string& t : tables)
    if (t.size() == 8 && sqlite3_strnicmp(t.c_str(), "wq_admin", 8) == 0) return true;
  return false;
}

void removeWithJournals(const std::string& file) {
  std::error_code ec;
  for (const char* suffix : {"-journal", "-wal", "-shm", ""}) fs::remove(file + suffix, ec);
}

// A backup's .part file, opened and locked (flock, apart from SQLite's own
// locks) for as long as the backup writes it: a .part nobody holds locked
// was left by a backup that is gone.
class PartFile {
 public:
  // Opens (with `flags`) and locks `path` without waiting; locked() is false
  // when it cannot be opened or another backup holds it.
  PartFile(const std::string& path, int flags) : fd_(::open(path.c_str(), flags | O_CLOEXEC, 0644)) {
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~PartFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  PartFile(const PartFile&) = delete;
  PartFile& operator=(const PartFile&) = delete;
  bool locked() const { return fd_ >= 0; }
  int fd() const { return fd_; }

 private:
  int fd_;
};

// Makes a rename in `folder` last through a power cut.
void syncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

bool checkSiteDatabase(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (!present(path)) return false;
    throw Error(path + " cannot be read: " + std::strerror(errno));
  }
  char head[100] = {};
  in.read(head, sizeof head);
  const std::streamsize got = in.gcount();
  // Empty: made, but nothing written to it yet (or only to its -wal, which SQLite reads below).
  if (got == 0 && !present(path + "-wal")) return false;
  // With its NUL, the first 16 bytes of every SQLite file.
  static const char kSqlite[] = "SQLite format 3";
  if (got != 0 &&
      (got < static_cast<std::streamsize>(sizeof head) || std::memcmp(head, kSqlite, sizeof kSqlite) != 0)) {
    const bool jet = got >= 19 && (std::memcmp(head + 4, "Standard Jet DB", 15) == 0 ||
                                   std::memcmp(head + 4, "Standard ACE DB", 15) == 0);
    throw Error(path + " is not an SQLite file: " +
                (jet ? "it is a Jet (Access) database, which has to be converted first"
                     : "its first bytes are not those of a database"));
  }
  std::vector<std::string> tables;
  try {
    // Beside a -wal or -journal, what a killed writer left is to be recovered
    // or rolled back first, as any writer opening the file would, and reading
    // alone cannot do that.
    const bool left = present(path + "-wal") || present(path + "-journal");
    Db db = left ? open(path, SQLITE_OPEN_READWRITE) : openToRead(path);
    tables = column(db.get(), "select name from sqlite_schema where type='table' order by name");
  } catch (const Error& e) {
    throw Error(path + " is an SQLite file that cannot be read: " + e.what());
  }
  if (tables.empty() || siteTables(tables)) return !tables.empty();
  std::string some;
  for (std::size_t i = 0; i < tables.size() && i < 3; ++i) some += (i ? ", " : "") + tables[i];
  throw Error(path + " is an SQLite file without this site's tables (it holds " + some +
              (tables.size() > 3 ? ", ..." : "") + ")");
}

void backup(const std::string& path, const std::string& to) {
  if (std::filesystem::exists(to)) throw Error("backup: " + to + " already exists");
  // Written under another name and given its own once whole: a copy cut
  // short by a killed process is never taken for a backup.
  const std::string part = to + ".part";
  PartFile lock(part, O_RDWR | O_CREAT);
  if (!lock.locked())
    throw Error("backup: " + part + (present(part) ? " is being written by another backup" : " cannot be made"));
  // What a killed backup left under this name is started afresh (and its
  // journal dropped: it belongs to no database worth rolling back).
  if (::ftruncate(lock.fd(), 0) != 0) throw Error("backup: cannot empty " + part + ": " + std::strerror(errno));
  std::error_code ec;
  for (const char* suffix : {"-journal", "-wal", "-shm"}) std::filesystem::remove(part + suffix, ec);
  {
    Db src = open(path, SQLITE_OPEN_READWRITE);
    Db dest = open(part, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    try {
      copyPages(src.get(), dest.get());
    } catch (...) {
      dest.reset();
      removeWithJournals(part);
      throw;
    }
  }  // closed (and so complete on disk) before it takes its name
  std::filesystem::rename(part, to, ec);
  if (ec) throw Error("backup: cannot name the copy " + to + ": " + ec.message());
  std::filesystem::path folder = std::filesystem::path(to).parent_path();
  syncFolder(folder.empty() ? "." : folder.string());
}

void clearBackupLeftovers(const std::string& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) names.insert(e.path().filename().string());
  for (const std::string& name : names) {
    const std::string file = folder + "/" + name;
    if (name.ends_with(".part")) {
      if (PartFile(file, O_RDONLY).locked()) removeWithJournals(file);
      continue;
    }
    const std::size_t dash = name.rfind('-');
    if (dash == std::string::npos) continue;
    const std::string base = name.substr(0, dash), suffix = name.substr(dash);
    if (base.ends_with(".part")) {
      if (!names.count(base)) fs::remove(file, ec);  // the journal of a copy that is gone
    } else if (suffix == "-wal" || suffix == "-shm") {
      // A -wal with frames in it holds writes someone made into a backup: kept, with its -shm.
      std::uintmax_t walSize = fs::file_size(folder + "/" + base + "-wal", ec);
      if (ec || walSize == 0) fs::remove(file, ec);
    }
  }
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
  if (from.ends_with(".part")) throw Error("restore: " + from + " is a copy cut short, not a backup");
  Db src = openToRead(from);
  std::string check;
  try {
    check = scalar(src.get(), "PRAGMA quick_check");
  } catch (const Error& e) {
    throw Error(std::string("restore: the copy is no database: ") + e.what());
  }
  if (check != "ok") throw Error("restore: the copy is damaged: " + check);
  if (!siteTables(column(src.get(), "select name from sqlite_schema where type='table'")))
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
  clearBackupLeftovers(folder);
  std::string name = backupFileName(when);
  std::string path = folder + "/" + name;
  for (int n = 2; std::filesystem::exists(path); ++n)
    path = folder + "/" + name.substr(0, name.size() - 4) + "-" + std::to_string(n) + ".mdb";
  return path;
}

}  // namespace tovi::data
