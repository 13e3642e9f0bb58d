// admin/phone_order.asp: an order taken on the phone, entered by staff.
//
//   GET  phone_order.asp               the form: every dish of the menu (cygl) by
//                                      category with a quantity field, then name,
//                                      phone, address, delivery time and remark
//   POST phone_order.asp?action=save   stores the order and comes back to the form
//
// The order is stored as the storefront stores one (tdgl: the order lines
// text and total in the order form's format, built here from the menu's own
// names and prices, status 1, the date parts of one clock reading), with
// tdgl.taker holding the operator's login name. The storefront's per-browser
// limit and address filter do not apply: staff decide on the phone.
//
// Component tovi.phone_order, operation main. Behind the back-office guard
// (rights 1 and 2); the save only as a post from the site's own pages. What
// fails: no dish with a quantity, a quantity that is no whole number from 1
// to 99, an empty name, phone or address, a time not on the form's lists, or
// a dish whose stored price is not a number: an alert, nothing stored.
#pragma once

#include "frame/component.h"

namespace tovi::orders {

class phone_order : public frame::Component {
 public:
  void main();
};

}  // namespace tovi::orders
