// tovi.adminframe (admin/index.asp): the back-office frameset, the menu
// (menu.asp) on the left and the frame `right` showing admin.asp. A visitor
// who is not logged in is sent to login.asp instead.
#pragma once

#include "frame/component.h"

namespace tovi::sitepages {

class adminframe : public frame::Component {
 public:
  void main();
};

}  // namespace tovi::sitepages
