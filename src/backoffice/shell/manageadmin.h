// mabex.manageadmin (admin/manageadmin.asp): the back-office accounts of
// wq_admin, site owners first, each as a small edit form posting to
// saveadmin.asp?action=edit&id=<adminid> with a delete link, then the form to
// add an account and a note on the right levels. Right 1 only (checkTopAdmin);
// a refused visitor sees only the guard's answer. Reads only.
#pragma once

#include "frame/component.h"

namespace tovi::backoffice::shell {

class manageadmin : public frame::Component {
 public:
  void main();
};

}  // namespace tovi::backoffice::shell
