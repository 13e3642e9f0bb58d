// The storefront's members: sign-up, sign-in, sign-out, and what the
// navigation bar learns of the signed-in member. Members are rows of `reg`;
// the signed-in member's user name is the session key `names`, which the
// order submission compares with the order's contact name.
//
// tovi.register (register.asp): a GET shows the sign-up form (with a code
// image); a same-site POST stores a new approved member with an argon2id
// password and signs them in. Refused with an alert, nothing stored: a wrong
// code, a name that is not 2 to 5 Chinese characters (the name is the order's
// contact name, which the order form takes only so) or is already taken,
// a password that is not 6 to 15 of A-Z a-z 0-9 _ - . (the back office's
// rule), passwords that differ, a missing question, answer, address or
// e-mail, a bad e-mail, phone (7, 8 or 11 digits, as the order form wants),
// postcode or birth
// date, a field over its length.
//
// tovi.signin (signin.asp): a GET shows the sign-in form; a same-site POST
// with names and password signs the member in: a new session id, session key
// `names`, and a cookie `names` (path /) so that ckdd.asp lists their orders
// without a name typed. Every failure gets the same answer (an unknown name
// costs as long as a wrong password), and too many failures from one address
// or for one name are refused for a while, as at the back-office login. A
// member whose approval the operator withdrew (sh not 1) is told so, only
// after the right password.
//
// tovi.signout (signout.asp): a same-site POST abandons the session, expires
// the `names` cookie and goes home.
//
// tovi.memberinfo (member.asp): JSON for js/front.js, never cached:
// {"name":..,"tel":..,"address":..} for a signed-in member, {} otherwise
// (also when the member has been deleted since, which signs them out).
// Non-ASCII characters are written as \uXXXX, so the bytes are the same in
// every encoding.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "frame/component.h"

namespace tovi::sitepages {

class LoginState;
struct SignupState;

class register_ : public frame::Component {
 public:
  explicit register_(std::shared_ptr<SignupState> state) : state_(std::move(state)) {}
  void main();

 private:
  std::shared_ptr<SignupState> state_;
};

class signin : public frame::Component {
 public:
  explicit signin(std::shared_ptr<LoginState> state) : state_(std::move(state)) {}
  void main();

 private:
  std::shared_ptr<LoginState> state_;
};

class signout : public frame::Component {
 public:
  void main();
};

class memberinfo : public frame::Component {
 public:
  void main();
};

// Registers the four pages, with the state they share for the server's lifetime.
void registerMemberPages(frame::Registry& registry);

// Why `name` cannot be a member's user name (a Chinese message), or "" when it
// can: 2 to 5 Chinese characters.
[[nodiscard]] std::string memberNameProblem(std::string_view name);
// `text` as a JSON string literal of ASCII bytes only (quotes included).
[[nodiscard]] std::string jsonAscii(std::string_view text);

}  // namespace tovi::sitepages
