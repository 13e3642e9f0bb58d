// The order status codes, told once for the system, and an order key as a
// request carries it. The order detail (ddgl1.asp) and its status change
// (ddgl2.asp) are in ddgl1.cpp.
#pragma once

#include <optional>
#include <string_view>

namespace tovi::orders {

// The order status codes of tdgl.dczt: 1 "等待中", 2 "制作当中", 3 "派送当中",
// 4 "已结帐". The label of `code`; "" for any other value.
[[nodiscard]] std::string_view statusLabel(long code);
inline constexpr int kFirstStatus = 1;
inline constexpr int kLastStatus = 4;

// An order key as a request carries it: a whole number in plain decimal
// ("7"; not "", " 7", "7a", "1.0"); empty otherwise or beyond 18 digits.
[[nodiscard]] std::optional<long long> orderId(std::string_view text);

}  // namespace tovi::orders
