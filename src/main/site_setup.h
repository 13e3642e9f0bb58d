// Prepares a site's database: `tovi init`, and `tovi serve` on a missing file.
#pragma once

#include <ostream>
#include <string>

namespace tovi::site {

// Creates or completes the database file in `databaseFolder` (the folder too when missing; it is
// <root>/database unless the site keeps its data elsewhere). A database
// without accounts (a new one) gets its first site owner, whose password is
// printed once to `out`; `demo`
// adds the demo menu to a database that has no dishes yet. Returns true when
// the file was created. A `server` URL (postgresql://...) prepares that
// database instead of the file, the same way.
bool initSite(const std::string& databaseFolder, bool demo, std::ostream& out, const std::string& server = "");

}  // namespace tovi::site
