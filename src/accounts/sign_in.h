// The one sign-in sequence of the site, for operators (admin/chkadmin.asp on
// wq_admin) and members (signin.asp on reg): throttle, check, verify, upgrade
// an old hash, renew the session.
//
//   // one per page, kept for the server's lifetime:
//   SignInGate gate(makeLoginThrottle(registry.sharedState(), "operators"));
//   SignIn in = gate.attempt(kOperators, name, password, codeOk, &openAdminDb);
//   if (in.outcome != SignIn::Right) refuse(...);     // rs() is closed
//   ... read the account's columns from rs() ...
//   in.complete(password);                            // new hash if old, new session id
//   if (in.secondFactor) ... later: gate.confirm(name, [&] { return useSecondFactor(id, code); });
//
// Every failure looks the same from outside: an unknown name costs as long as
// a wrong password (a decoy hash is checked), and each counts against the
// address and the name (LoginThrottle); too many are refused unchecked. An
// account with a second factor (operators only) is let in by the code step,
// under the same throttle: a right password forgives nothing until the code
// is right too, so a known password gives no fresh guesses at codes.
// Runs inside a page (Module1's context). Threads: a gate serves any number
// of requests at once.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "accounts/throttle.h"

namespace tovi::accounts {

// Where an account kind's rows are: its table, the column of its name and the
// column whose non-empty value asks for a second factor (nullptr: never).
struct AccountTable {
  const char* table;
  const char* nameColumn;
  const char* secondFactorColumn = nullptr;
};
inline constexpr AccountTable kOperators{"wq_admin", "admin", "otp_secret"};
inline constexpr AccountTable kMembers{"reg", "names"};

// The outcome of one attempt.
struct SignIn {
  enum Outcome { Throttled, WrongCode, Wrong, Right } outcome = Wrong;
  bool oldHash = false;       // Right, but stored in an old form (MD5, weaker argon2 limits)
  bool secondFactor = false;  // Right, but the login waits for confirm()

  // After Right, with the account's row still open in the shared rs: stores
  // a current hash of `password` when the stored one is old, and gives the
  // visitor a new session id (one chosen before the sign-in is worth nothing after).
  void complete(std::string_view password) const;
};

class SignInGate {
 public:
  // Failures counted in this process.
  SignInGate() : SignInGate(std::make_shared<InProcessLoginThrottle>()) {}
  explicit SignInGate(std::shared_ptr<LoginThrottle> throttle) : throttle_(std::move(throttle)) {}

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
  // The code step of `name`, whose password was Right with secondFactor:
  // Throttled (without calling `check`), Wrong when `check` says no (counted
  // like a wrong password), or Right (failures forgiven, a new session id).
  [[nodiscard]] SignIn::Outcome confirm(const std::string& name, const std::function<bool()>& check);

 private:
  const std::string& decoyHash();

  std::shared_ptr<LoginThrottle> throttle_;
  std::once_flag once_;
  std::string decoy_;
};

}  // namespace tovi::accounts
