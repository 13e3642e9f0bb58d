// `tovi migrate`: moves a site from its SQLite file to a PostgreSQL database
// that several servers can share.
//
//   site::Migration m = site::migrate("site/database/tamlo.mdb", "postgresql://tovi@db/tovi");
//   site::printMigration(m, std::cout);
//   return m.same() ? 0 : 1;
//
// The database must be empty: no table holding rows but the settings tables'
// single rows that a schema made by an earlier, cut-short migrate holds. It
// gets the site's schema (data::ensureDatabase), then every row of every
// table of the file, ids kept, in one transaction (all or nothing), and each
// auto-number is set past the highest id the file ever gave (SQLite never
// reuses one). Then both sides are read again through the engine interface,
// each table in id order, and compared: count and a checksum of the rows
// rendered as text, the same way on both sides. The file is only read; the
// site should not be served meanwhile (orders taken then would be missed).
// Threads: the calling thread's engines (engine.h).
// Errors: std::runtime_error naming what the database holds when it is not
// empty; data::Error from either engine (the copy is then rolled back).
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tovi::data {
class Engine;
}

namespace tovi::site {

// A table's rows as the check sees them.
struct TableSum {
  std::int64_t rows = 0;
  std::uint64_t checksum = 0;
  friend bool operator==(const TableSum&, const TableSum&) = default;
};

// The rows of `table` through `engine`: by `key` in ascending order, or (an
// empty key) every row, sorted as text. Only the columns `columns` count (the
// file's, by name in any letter case; a column the engine lacks counts as
// null), so a server table with more columns than the file's sums the same.
[[nodiscard]] TableSum sumTable(data::Engine& engine, const std::string& table, const std::string& key,
                                const std::vector<std::string>& columns);

struct Migration {
  std::string to;  // the database, without its password
  struct Table {
    std::string name;
    TableSum file, server;
  };
  std::vector<Table> tables;
  [[nodiscard]] bool same() const;
};

// Copies the site database file `file` into the empty PostgreSQL database at
// `url`, then checks each table on both sides.
[[nodiscard]] Migration migrate(const std::string& file, const std::string& url);

// A table of the check, one line per table, and the verdict.
void printMigration(const Migration& m, std::ostream& out);

// A database location as it may be shown: a postgresql:// URL without its
// password ("postgresql://tovi:pw@db/tovi" -> "postgresql://tovi@db/tovi",
// also a password=... parameter); anything else as it is.
[[nodiscard]] std::string shownLocation(std::string_view location);

}  // namespace tovi::site
