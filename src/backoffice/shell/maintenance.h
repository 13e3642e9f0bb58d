// The database maintenance pages of the menu's "数据处理" section
// (admin/database_menager1.asp to 4, tovi.database_menager1 to 4 in
// maintenance.cpp), right 1 only (checkTopAdmin). Each shows
// the database file (database/tamlo.mdb) and its size, then:
//   1 rename:  says the file is never served by the web server, so it needs no
//              secret name (nothing to change);
//   2 backup:  a same-site POST copies it to database/backup/tamlo-YYYYMMDD-HHMMSS.mdb;
//   3 compact: a same-site POST rebuilds it (VACUUM) and shows the sizes;
//   4 restore: lists the backups; a same-site POST with one listed name first
//              backs up the current file, then copies the chosen one in.
// Failures (a name not in the backup folder, a damaged copy, a file error)
// get an alert and change nothing. One implementation, the page number its
// parameter.
#pragma once

#include <string>
#include <vector>

namespace tovi::backoffice::shell {

// File names of the backups in `folder` (tamlo-*.mdb), newest name first.
[[nodiscard]] std::vector<std::string> listBackups(const std::string& folder);
// "tamlo-YYYYMMDD-HHMMSS.mdb" for the date-time given as its parts.
[[nodiscard]] std::string backupName(int year, int month, int day, int hour, int minute, int second);
// A size for people: "812 字节", "35.2 KB", "4.1 MB".
[[nodiscard]] std::string sizeText(unsigned long long bytes);

}  // namespace tovi::backoffice::shell
