// Back-office accounts outside the pages: the first site owner of a new
// database, and setting a password from the command line.
#pragma once

#include <ostream>
#include <string>

namespace tovi::sitepages {

// Adds the site owner "admin" (right 1) with a random password and prints
// a line ending in "password: <password>" to `out`. Does nothing when the
// database already has an account.
void createFirstSiteOwner(const std::string& databasePath, std::ostream& out);

}  // namespace tovi::sitepages
