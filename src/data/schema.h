// The site database: its ten tables, their indexes and the single rows of the
// settings tables.
//
//   data::ensureDatabase(root + "/database/tamlo.mdb");   // at start and by `tovi init`
//
// ensureDatabase creates the file when it is missing and otherwise only adds
// what is missing (a table, an index, a settings row); it never changes or
// drops anything that exists. Auto-number keys are never reused.
#pragma once

#include <string>

namespace tovi::data {

// Creates or completes the database file at `path` (its folder must exist).
// Returns true when the file was created. Throws data::Error on failure.
bool ensureDatabase(const std::string& path);

}  // namespace tovi::data
