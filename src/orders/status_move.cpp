#include "orders/status_move.h"

#include "data/recordset.h"
#include "orders/ddgl1.h"

namespace tovi::orders {

StatusMove moveOrder(data::Connection& conn, long long id, long long status, std::optional<long long> from) {
  if (status < kFirstStatus || status > kLastStatus) return StatusMove::BadStatus;
  data::Recordset order;
  order.Open(data::Sql("select * from tdgl where id=?", {id}), conn, data::adOpenKeyset, data::adLockOptimistic);
  if (order.Eof()) return StatusMove::NoOrder;
  if (from && order("dczt").value().toInteger() != *from) return StatusMove::Changed;
  order("dczt") = status;
  order.Update();
  order.Close();
  return StatusMove::Moved;
}

std::optional<int> nextStatus(long long status) {
  if (status == 2 || status == 3) return static_cast<int>(status + 1);
  if (status == kLastStatus) return std::nullopt;
  return 2;
}

}  // namespace tovi::orders
