// mabex.reg (admin/reg.asp): the registered members of table reg, twenty to a
// page in the database's own order, each with its approval state and links to
// view (reg1.asp?id=) and delete (reg3.asp?id=). The wanted page comes in
// CurrentPage (query or form): not a number gives page 1, below 1 page 1,
// beyond the last page the last page; it never fails. An empty table gives
// "暂无用户！！" and nothing more. Runs openAdminDb and checkAdmin first.
#pragma once

#include "frame/component.h"

namespace tovi::backoffice::shell {

class reg : public frame::Component {
 public:
  void main();
};

}  // namespace tovi::backoffice::shell
