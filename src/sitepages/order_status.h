// ddgl2.asp: sets an order's status to the code chosen on ddgl1.asp, then
// goes back to the order list.
//
//   POST ddgl2.asp?id=<id> with select=1..4      (tovi.ddgl2, operation main)
//
// How it fails: the back-office guard refuses visitors who are not logged in;
// anything but a post from the site's own pages is refused; an id that is
// missing, no whole number or names no order, or a status outside 1 to 4,
// gets a clear alert and nothing is changed.
#pragma once

#include "frame/component.h"

namespace tovi::sitepages {

class ddgl2 : public frame::Component {
 public:
  void main();
};

}  // namespace tovi::sitepages
