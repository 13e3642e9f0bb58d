// ckdd: the customer's order history, every order stored under one contact name.
//
// main() reads the request value `names` (bound into the query as a value),
// writes a whole document: head, the hover box, and a table of the orders in
// the database's natural order with order time, delivery time, order lines,
// total and status label ("等待中", "处理当中", "派送当中", "已结帐"; nothing for
// other codes). Pointing at a cell shows the order's phone, name and address.
// No order under the name: "您还没订过餐！！" and the page ends. Everything the
// customer typed is written as text. Database failures propagate to the host.
#pragma once

#include "frame/component.h"

namespace tovi::orders {

class ckdd : public frame::Component {
 public:
  void main();
};

}  // namespace tovi::orders
