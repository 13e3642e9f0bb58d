// order_pass.asp: the order filter settings ("订餐信息过虑"), the single row of
// set_tamloall that order submission reads: the submission limit (on/off,
// minutes, orders per window) and the delivery-address keyword filter.
//
//   order_pass.asp               shows the stored settings
//   order_pass.asp?action=save   stores the posted form, then shows it
//
// How it fails: the back-office guard refuses visitors who are not logged in.
// A save must be a post from the site's own pages; minutes and counts that are
// not whole numbers from 0 to 999999999, or a switch other than 0 and 1, get a
// clear alert and nothing is stored. The browser checks the numbers too (check()).
#pragma once

#include "frame/component.h"

namespace tovi::orders {

class order_pass : public frame::Component {
 public:
  void main();
};

}  // namespace tovi::orders
