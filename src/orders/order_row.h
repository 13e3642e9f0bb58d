// One order row of `tdgl`, as every road into the kitchen stores it: the
// storefront's submission and the back office's phone orders alike.
//
//   rs.Open("select * from tdgl", *conn(), data::adOpenKeyset, data::adLockOptimistic);
//   rs.AddNew();
//   setOrderColumns(rs, row, Now());
//   rs.Update();
#pragma once

#include <string>

#include "data/recordset.h"
#include "data/value.h"

namespace tovi::orders {

// The values the customer gives, stored as received.
struct OrderRow {
  std::string dcqk;      // order lines text
  std::string dczj;      // total
  std::string yhm;       // contact name
  std::string telsss;    // phone
  std::string zffs;      // payment method
  std::string addresss;  // delivery address
  std::string qtbz;      // remarks
  std::string minutes;   // requested delivery minute
  std::string hours;     // requested delivery hour
};

// Sets the sixteen columns of a new order on the added row of `rs`: the
// customer's values, `now` with its date parts, and status 1 (waiting), in
// the order the submission page sets them. Leaves Update to the caller.
void setOrderColumns(data::Recordset& rs, const OrderRow& row, const data::DateTime& now);

}  // namespace tovi::orders
