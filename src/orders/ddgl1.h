// ddgl1.asp: one order in read-only fields and the choice of its next status,
// posted to ddgl2.asp. Also the order status codes, told once for the system.
//
//   Page ddgl1.asp?id=<id>; component mabex.ddgl1, operation main.
//
// How it fails: the back-office guard refuses visitors who are not logged in;
// an `id` that is missing, no whole number or names no order gets a clear alert
// and the page goes back. Stored values are escaped for the attributes they
// are written into.
#pragma once

#include <optional>
#include <string_view>

#include "frame/component.h"

namespace tovi::orders {

// The order status codes of tdgl.dczt: 1 "等待中", 2 "制作当中", 3 "派送当中",
// 4 "已结帐". The label of `code`; "" for any other value.
[[nodiscard]] std::string_view statusLabel(long code);
inline constexpr int kFirstStatus = 1;
inline constexpr int kLastStatus = 4;

// An order key as a request carries it: a whole number in plain decimal
// ("7"; not "", " 7", "7a", "1.0"); empty otherwise or beyond 18 digits.
[[nodiscard]] std::optional<long long> orderId(std::string_view text);

class ddgl1 : public frame::Component {
 public:
  void main();
};

}  // namespace tovi::orders
