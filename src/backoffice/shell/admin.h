// mabex.admin (admin/admin.asp): the back-office home page shown in the frame
// `right`: a welcome text on the right levels, the version and the makers.
// Runs checkAdmin first; a visitor it refuses sees only its answer.
#pragma once

#include "frame/component.h"

namespace tovi::backoffice::shell {

class admin : public frame::Component {
 public:
  void main();
};

}  // namespace tovi::backoffice::shell
