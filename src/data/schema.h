// The site database: its eleven tables, their indexes, the single rows of the
// settings tables, and the helper tables the order list reads.
//
//   data::ensureDatabase(root + "/database/tamlo.mdb");   // at start and by `tovi init`
//
// ensureDatabase creates the file when it is missing and otherwise only adds
// what is missing (a table, a column, an index, a settings row, a helper
// table); it never changes or drops anything of the site's data (an index of
// an older layout or a helper table out of step is built again). Auto-number
// keys are never reused.
#pragma once

#include <string>
#include <vector>

namespace tovi::data {

// Creates or completes the database file at `path` (its folder must exist),
// or the PostgreSQL database a postgresql:// `path` names (pg_schema.h).
// Returns true when the file was created. Throws data::Error on failure, and
// without writing anything when the file is not (yet) a database of this
// site: see checkSiteDatabase (maintenance.h).
bool ensureDatabase(const std::string& path);

// Helper tables that triggers keep in step with a table, so that lists over
// it need not read all their rows. ensureDatabase makes them (filled from the
// rows present) and builds them again when they disagree with their table; a
// file without them (an older copy restored) is read without them.
//
// A tally: the table's rows counted by one column's value and by the day of
// a date-time column (its 'YYYY-MM-DD'; '' for a value that is no such text),
// in columns (day, <group>, n). Rows whose group value is null are not counted.
struct Tally {
  const char* name;
  const char* table;
  const char* group;
  const char* day;
};
// A name search: every three characters of the column's texts (letters in
// lower case), one row each with the row's key and the columns `columns`
// (the column itself among them), in columns (<key>, gram, <columns>...),
// and an index on (gram, <columns>...). A list whose condition has
// `column like '%fragment%'` and reads only those columns is then read from
// the rows of one of the fragment's three characters, in the order of the
// table's index on the same columns, without reading the others.
struct NameSearch {
  const char* name;
  const char* table;
  const char* key;
  const char* column;
  std::vector<const char*> columns;
};
[[nodiscard]] const std::vector<Tally>& tallies();
[[nodiscard]] const std::vector<NameSearch>& nameSearches();
// Names of the triggers that keep a helper table in step ("<name>_insert", ...).
[[nodiscard]] std::vector<std::string> triggersOf(const std::string& helper);

}  // namespace tovi::data
