// Whole-file work on the site database for the back office's maintenance
// pages and `tovi backup` / `tovi restore`: backup copies, compacting,
// restoring a copy.
//
//   data::backup(db, root + "/database/backup/tamlo-20240309-101500.mdb");
//   data::vacuum(db);
//   std::string kept = data::restoreKeepingCopy(copy, db, root + "/database/backup", now);
//
// All three go through SQLite directly (not the page connections) and may run
// while other threads hold pooled connections on the same file: the copies
// are made with SQLite's online backup, which takes the locks it needs and
// waits for writers; restore copies the pages into the live file instead of
// replacing it, so every open connection sees the restored data.
// Copies are read immutable (no locks, nothing created beside them) unless a
// -wal or -journal beside one says another connection may be writing it.
// Errors: data::Error with the engine's message; nothing is changed then
// (restore checks the copy before it writes).
#pragma once

#include <cstdint>
#include <string>

#include "data/value.h"

namespace tovi::data {

// Whether the file at `path` is a database of this site, told by reading it
// without changing it or leaving anything beside it (no -wal, -shm, -journal),
// unless a killed writer left a -wal or -journal there: that is recovered or
// rolled back first, as any writer opening the file would.
// Returns true for a database of this site, false when there is nothing to
// lose: no file, an empty one, or an SQLite file without any table (a first
// start cut short). Throws data::Error naming the file and what it is
// otherwise: not an SQLite file (a Jet database, other bytes), an SQLite
// file that cannot be read, or one without this site's tables.
bool checkSiteDatabase(const std::string& path);

// Writes a consistent copy of the database at `path` to the new file `to`,
// through `to`.part, which only a backup still writing it keeps locked.
// Throws data::Error when `to` already exists, another backup is writing it,
// or either file fails.
void backup(const std::string& path, const std::string& to);
// Removes what killed or older processes left in a backup folder: copies cut
// short (*.part and their journals) that no backup is writing any more, and
// the empty -wal and the -shm beside a backup (backups are only ever read
// immutable, so nothing of this kind is in use). Missing folder: nothing.
void clearBackupLeftovers(const std::string& folder);
// Rebuilds the database at `path` without its free pages (VACUUM) and folds
// the write-ahead log back into the file, so the file size shows the result.
void vacuum(const std::string& path);
// Copies the database `from` over the content of the database at `path`,
// then completes it as ensureDatabase does (a copy of an older layout).
// Throws data::Error, changing nothing, when `from` is no sound database of
// this site (integrity check fails, or it has no table wq_admin) or a *.part.
void restore(const std::string& from, const std::string& path);
// restore(), keeping a copy of the database as it was first: checks `from`,
// backs `path` up to newBackupPath(backupFolder, when) (making the folder),
// then copies `from` in. Returns the kept copy's path. Throws data::Error when
// `from` is no sound database of this site, before any copy is made.
std::string restoreKeepingCopy(const std::string& from, const std::string& path, const std::string& backupFolder,
                               const DateTime& when);

// "tamlo-YYYYMMDD-HHMMSS.mdb" for `when`.
[[nodiscard]] std::string backupFileName(const DateTime& when);
// A path in the backup folder `folder` for a backup made at `when` that no
// file has yet: backupFileName(when), or with "-2", "-3" ... before ".mdb".
// Clears the folder's leftovers first (clearBackupLeftovers).
[[nodiscard]] std::string newBackupPath(const std::string& folder, const DateTime& when);

}  // namespace tovi::data
