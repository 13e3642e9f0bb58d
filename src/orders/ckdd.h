// ckdd.asp: the customer's order history ("我的订单"), every order stored under
// one contact name, twenty to a page, newest first (component mabex.ckdd in
// ckdd.cpp; request values `names`, `page`).
//
// Pointing at a cell shows the order's phone, name and address. Phone and
// address are shown in full only to the browser that placed the order (its
// token, orders/order_token.h) and to the signed-in member of that name
// (session `names` equal to the order's `yhm`), who also get a link to each
// order's own page (ddxx.asp, orders/order_page.h); anyone else who types the
// name sees them masked:
//
//   maskPhone("13800138000")           == "138****8000"
//   maskAddress("鼓楼区五四路1号")     == "鼓楼区五****"
//
// Pure functions, any thread; characters are counted, not bytes.
#pragma once

#include <string>
#include <string_view>

namespace tovi::orders {

// A phone number with its middle starred, as long as it was: from 11
// characters the first three and last four kept; from 7 the first and last
// two; from 3 the last one; shorter ones wholly starred.
[[nodiscard]] std::string maskPhone(std::string_view phone);
// An address cut after its first characters, six at most and never more than
// half of them (rounded down), and followed by "****"; "" stays "".
[[nodiscard]] std::string maskAddress(std::string_view address);

}  // namespace tovi::orders
