// tovi.chkadmin (admin/chkadmin.asp): the back-office login check, the target
// of the login form (fields admin, password, verifycode).
//
// Accepts a login when the verification code matches the one the code image
// put into the session (each code serves one check only, right or wrong), the
// name is an account of wq_admin and the password matches it. Then it stores
// the account's name and right in the session keys admin and flag, gives the
// visitor a new session id and opens the frameset index.asp in the whole window.
// A stored MD5 digest that matches is replaced by an argon2id hash.
//
// Refusals: one alert and back to login.asp, the same answer for an unknown
// name and a wrong password; the session keys stay as they were. Too many
// failures from one address or for one name (LoginThrottle) are refused for a
// while without being checked. A GET, or a post from another site, changes
// nothing and goes back to login.asp.
//
// With the start option fixed-code (tests only) that code is also accepted
// when the session holds none.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "frame/component.h"
#include "sitepages/login_throttle.h"

namespace tovi::sitepages {

// What the login check keeps for the server's lifetime: the failure counts,
// and a hash to check unknown names against, so that an unknown name costs
// as much time as a wrong password. Shared by every request of the page.
class LoginState {
 public:
  LoginState() = default;
  explicit LoginState(LoginThrottle::Limits limits) : throttle(limits) {}
  LoginThrottle throttle;
  const std::string& decoyHash();

 private:
  std::once_flag once_;
  std::string decoy_;
};

class chkadmin : public frame::Component {
 public:
  explicit chkadmin(std::shared_ptr<LoginState> state) : state_(std::move(state)) {}
  void main();

 private:
  std::shared_ptr<LoginState> state_;
};

// The session key of the verification code, written by the code image.
inline constexpr char kCodeSessionKey[] = "GetCode";

}  // namespace tovi::sitepages
