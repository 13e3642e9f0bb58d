// admin/live_ticket.asp?id=<order>[&auto=1]: one order as a kitchen and
// delivery ticket for an 80 mm receipt printer: order number, times, customer,
// dishes with quantities and prices, total, remark. The page's print
// stylesheet sets the paper (80 mm wide, as long as the ticket); with auto=1
// the print dialog opens at once (the live screen and ddgl1.asp link so).
//
// Component tovi.live_ticket, operation main. Behind the back-office guard;
// an id that is missing, no whole number or names no order gets an alert.
// Every stored value is escaped.
#pragma once

#include "frame/component.h"

namespace tovi::orders {

class live_ticket : public frame::Component {
 public:
  void main();
};

}  // namespace tovi::orders
