// mabex.reg1 (admin/reg1.asp?id=N): one member's record, read-only except a
// new password (twice) and the approval switch sh, in a form that posts to
// reg2.asp?id=N after the browser-side check(theform). Runs openAdminDb and
// checkAdmin first. An id that is missing, not a whole number or matches no
// member gets an alert and a step back; nothing else is written.
#pragma once

#include "frame/component.h"

namespace tovi::backoffice::shell {

class reg1 : public frame::Component {
 public:
  void main();
};

}  // namespace tovi::backoffice::shell
