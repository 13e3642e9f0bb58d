// mabex.login (admin/login.asp): the back-office login form. It posts admin,
// password and verifycode to chkadmin.asp and shows the code image
// ../GetCode.asp. Reads nothing from the request or the session: every
// visitor gets the same page. No failure path.
#pragma once

#include "frame/component.h"

namespace tovi::backoffice::shell {

class login : public frame::Component {
 public:
  void main();
};

}  // namespace tovi::backoffice::shell
