// dctj: order submission, the target of the storefront order form.
//
// main() applies the operator's filters from `set_tamloall` in this order and
// stops at the first refusal with its alert script:
//   1. the submission limit (when `order_time_state` is 1), counted per browser
//      in the cookie "tamlo" (`name_time` window start, `name_times` count);
//   2. the address filter (when `order_delet_state` is 1): the address must hold
//      one of the "|"-separated keywords; a refused address is added to `err_record`;
//   3. a signed-in member (session `names`) must give their own name as `yhm`.
// Then it stores the order in `tdgl` with status 1 and answers the success
// alert, which sends the browser to index.asp. Its whole answer is one script.
//
// Cookie values that do not read back (a `name_time` that is no date-time or
// lies in the future, a `name_times` that is no whole number) open a new
// window. A missing settings row reads as both filters off. Database failures
// propagate to the host; the success alert is written only after the row is stored.
#pragma once

#include "frame/component.h"

namespace tovi::orders {

class dctj : public frame::Component {
 public:
  void main();
};

}  // namespace tovi::orders
