// The one sign-in sequence of the site, for operators (admin/chkadmin.asp on
// wq_admin) and members (signin.asp on reg): throttle, check, verify, upgrade
// an old hash, renew the session.
//
//   SignInGate gate;                                  // one per page, kept for the server's lifetime
//   SignIn in = gate.attempt(kOperators, name, password, codeOk, &openAdminDb);
//   if (in.outcome != SignIn::Right) refuse(...);     // rs() is closed
//   ... read the account's columns from rs() ...
//   in.complete(password);                            // new hash if old, new session id
//
// Every failure looks the same from outside: an unknown name costs as long as
// a wrong password (a decoy hash is checked), and each counts against the
// address and the name (LoginThrottle); too many are refused unchecked.
// Runs inside a page (Module1's context). Threads: a gate serves any number
// of requests at once.
#pragma once

#include <mutex>
#include <string>
#include <string_view>

#include "accounts/throttle.h"

namespace tovi::accounts {

// Where an account kind's rows are: its table and the column of its name.
struct AccountTable {
  const char* table;
  const char* nameColumn;
};
inline constexpr AccountTable kOperators{"wq_admin", "admin"};
inline constexpr AccountTable kMembers{"reg", "names"};

// The outcome of one attempt.
struct SignIn {
  enum Outcome { Throttled, WrongCode, Wrong, Right } outcome = Wrong;
  bool oldHash = false;  // Right, but stored in an old form (MD5, weaker argon2 limits)

  // After Right, with the account's row still open in the shared rs: stores
  // a current hash of `password` when the stored one is old, and gives the
  // visitor a new session id (one chosen before the sign-in is worth nothing after).
  void complete(std::string_view password) const;
};

class SignInGate {
 public:
  SignInGate() = default;
  explicit SignInGate(LoginThrottle::Limits limits) : throttle_(limits) {}

  // One attempt with `name` and `password` from the visitor's address at the
  // page clock: Throttled (too many failures; nothing checked), WrongCode (the
  // form's verification code failed), Wrong (empty or over-long values, an
  // unknown name, a wrong password) or Right. `openDb` opens the page's
  // connection, only once the cheap checks passed. On Right the account's
  // row is open in the shared rs (Module1::rs(), for writing) and the
  // failures of address and name are forgiven; otherwise rs is closed.
  // Errors: data::Error from the database.
  [[nodiscard]] SignIn attempt(const AccountTable& accounts, const std::string& name, const std::string& password,
                               bool codeOk, void (*openDb)());

 private:
  const std::string& decoyHash();

  LoginThrottle throttle_;
  std::once_flag once_;
  std::string decoy_;
};

}  // namespace tovi::accounts
