// Back-office accounts outside the pages: the first site owner of a new
// database, and setting a password from the command line (`tovi passwd`).
//
//   createFirstSiteOwner(db, std::cout);      // prints "... password: Xk7mPq2..."
//   setAccountPassword(db, "admin", typed);   // false: no such account
//   resetSecondFactor(db, "admin");           // a lost phone: password alone again
//
// Both open the database file themselves (no page needs to run).
// Errors: data::Error when the database cannot be read or written.
#pragma once

#include <ostream>
#include <string>

namespace tovi::accounts {

// Adds the site owner "admin" (right 1) with a random password and prints
// a line ending in "password: <password>" to `out`. Does nothing when the
// database already has an account.
void createFirstSiteOwner(const std::string& databasePath, std::ostream& out);

// Stores an argon2id hash of `password` for the account `name` (exact name).
// Returns false, changing nothing, when there is no such account. Throws
// std::invalid_argument, changing nothing, for a password the login form
// could not take (accountPasswordProblem, rules.h).
bool setAccountPassword(const std::string& databasePath, const std::string& name, const std::string& password);

// Removes the one-time-code secret, the last used step and the recovery codes
// of the account `name` (exact name). Returns false, changing nothing, when
// there is no such account.
bool resetSecondFactor(const std::string& databasePath, const std::string& name);

}  // namespace tovi::accounts
