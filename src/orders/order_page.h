// An order's own page, for the customer who placed it: ddxx.asp shows the
// order (dishes, total, requested time) and its status, which moves by itself
// as the kitchen moves it (component mabex.ddxx in order_page.cpp; request
// value `id`). dctj.asp sends the browser there after the success alert, and
// ckdd.asp links each order the visitor may open.
//
//   ddxx.asp?id=7     the page; its script (js/order.js) follows the order's
//                     event stream (orders/order_follow.h) and, where that is
//                     missing or fails, asks ddzt.asp every few seconds
//   ddzt.asp?id=7     the status answer: {"id":7,"status":2,"label":"处理当中"}
//
// Who may open them: the browser that placed the order (its token,
// orders/order_token.h) or the signed-in member whose name (session `names`)
// is the order's contact name. Anyone else gets 403 and a short refusal; an id
// that names no order gets 404.
//
// Statuses as the customer sees them: 1 等待中, 2 处理当中, 3 派送当中,
// 4 已结帐 (tdgl.dczt; any other code shows as waiting, as in the back
// office), and 0 已取消 for an order the operator deleted meanwhile.
//
// Pure functions, any thread.
#pragma once

#include <string>
#include <string_view>

#include "data/value.h"

namespace tovi::orders {

// The status an order shows for its tdgl.dczt: 2, 3 or 4 as stored, 1 for anything else.
[[nodiscard]] int shownStatus(const data::Value& dczt);
// The customer's label of a shown status (0 to 4); "" for others.
[[nodiscard]] const char* customerStatusLabel(int status);
// {"id":7,"status":2,"label":"\u5904\u7406\u5f53\u4e2d"}: ASCII, the same through every charset edge.
[[nodiscard]] std::string statusJson(long long id, int status);
// Whether a visitor may follow an order stored under the contact name
// `orderName`: its browser placed it, or the signed-in `member` has that name.
[[nodiscard]] bool mayFollow(bool placedHere, std::string_view member, std::string_view orderName);

}  // namespace tovi::orders
