// mabex.logout (admin/logout.asp): empties the session keys admin and flag
// (the session itself stays) and sends the browser to ./Index.asp, whose
// guards then ask for a new login. Works the same for a visitor who never
// logged in. No failure path.
#pragma once

#include "frame/component.h"

namespace tovi::backoffice::shell {

class logout : public frame::Component {
 public:
  void main();
};

}  // namespace tovi::backoffice::shell
