// ddgl3.asp: deletes one order. The list's link (a GET) only shows what would
// be deleted and a button that posts; the post deletes and goes back to the list.
//
//   GET  ddgl3.asp?id=<id>    confirmation page       (tovi.ddgl3, operation main)
//   POST ddgl3.asp?id=<id>    delete, back to ddgl.asp
//
// How it fails: the back-office guard refuses visitors who are not logged in;
// a post that does not come from the site's own pages is refused; an id that
// is missing, no whole number or names no order gets a clear alert. Nothing is
// deleted in any of these cases.
#pragma once

#include "frame/component.h"

namespace tovi::sitepages {

class ddgl3 : public frame::Component {
 public:
  void main();
};

}  // namespace tovi::sitepages
