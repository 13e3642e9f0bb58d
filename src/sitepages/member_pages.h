// The member save and delete pages outside the component library; both run
// checkAdmin (any logged-in right).
//
// tovi.reg2 (admin/reg2.asp?id=N), the target of the member record form:
// a same-site POST with sh (1 approved, 0 not) and, when a new password is
// wanted, password and password1. Stores sh and, when given, an argon2id hash
// of the password, then back to reg.asp. Refused with an alert and nothing
// changed: a GET or a post from elsewhere, a missing or non-numeric id, an
// unknown member, sh other than 0 or 1, a password that is not 5 to 15 of
// A-Z a-z 0-9 _ - . (blanks around it are dropped) or differs from password1.
//
// tovi.reg3 (admin/reg3.asp?id=N): a GET shows a confirmation page whose button
// posts the same address; that same-site POST deletes the member and goes
// back to reg.asp. Bad or unknown ids get an alert.
#pragma once

#include <string_view>

#include "frame/component.h"

namespace tovi::sitepages {

class reg2 : public frame::Component {
 public:
  void main();
};

class reg3 : public frame::Component {
 public:
  void main();
};

// Whether `password` (blanks around it dropped) is a member password the
// record form's check allows: 5 to 15 of A-Z a-z 0-9 _ - .
[[nodiscard]] bool validMemberPassword(std::string_view password);

}  // namespace tovi::sitepages
