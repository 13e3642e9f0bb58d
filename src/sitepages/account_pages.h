// The back-office account pages outside the component library.
//
// tovi.saveadmin (admin/saveadmin.asp), right 1 only (checkTopAdmin), as the
// accounts page calls it:
//   POST ?action=edit&id=N  admin, password (empty: unchanged), flag (absent: unchanged)
//   POST ?action=add        admin2, password2, flag2
//   GET  ?id=N&action=del   a confirmation page whose button posts the same address
//   POST ?id=N&action=del   deletes the account
// Every change must be a same-site post. Refused, with an alert and nothing
// changed: a missing or non-numeric id, an unknown account, a bad name or
// password, a right other than 1 or 2, a name another account has, deleting
// or demoting the last site owner, deleting one's own account. Success: an
// alert and back to manageadmin.asp. Editing one's own account updates the
// session's admin and flag.
//
// tovi.renpassword (admin/renpassword.asp), any logged-in right (checkAdmin):
// GET shows the form (old password, new twice); POST ?action=save checks the
// old password and stores the new one as argon2id.
//
// Passwords: 6 to 16 printable ASCII characters without blanks (passwords.h).
#pragma once

#include "frame/component.h"

namespace tovi::sitepages {

class saveadmin : public frame::Component {
 public:
  void main();

 private:
  void edit(long id);
  void add();
  void confirmDelete(long id);
  void remove(long id);
};

class renpassword : public frame::Component {
 public:
  void main();
};

}  // namespace tovi::sitepages
