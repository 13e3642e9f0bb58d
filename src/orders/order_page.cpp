// ddxx.asp (mabex.ddxx) and ddzt.asp (mabex.ddzt): an order's own page and its
// status answer; what they show and to whom is told in order_page.h.
#include "orders/order_page.h"

#include <optional>

#include "frame/component.h"
#include "frame/http_details.h"
#include "frame/module1.h"
#include "frame/text.h"
#include "orders/order_lines.h"
#include "orders/order_token.h"

namespace tovi::orders {

using namespace frame::Module1;
using frame::htmlEncode;

int shownStatus(const data::Value& dczt) {
  const long long code = dczt.isNumeric() ? dczt.toInteger() : 1;
  return code >= 2 && code <= 4 ? static_cast<int>(code) : 1;
}

const char* customerStatusLabel(int status) {
  switch (status) {
    case 0:
      return "已取消";
    case 1:
      return "等待中";
    case 2:
      return "处理当中";
    case 3:
      return "派送当中";
    case 4:
      return "已结帐";
    default:
      return "";
  }
}

std::string statusJson(long long id, int status) {
  return "{\"id\":" + std::to_string(id) + ",\"status\":" + std::to_string(status) +
         ",\"label\":" + frame::jsonString(customerStatusLabel(status)) + "}";
}

bool mayFollow(bool placedHere, std::string_view member, std::string_view orderName) {
  return placedHere || (!member.empty() && member == orderName);
}

namespace {

// The order of request value `id` as this visitor may see it: the page's
// record set positioned on its row; otherwise the answer's status (404, 403).
struct Found {
  long long id = 0;
  int refused = 0;
};

Found findOrder() {
  openFrontDb();
  data::Recordset& order = newRs();
  const std::optional<long> id = frame::positiveId(Request().QueryString("id"));
  if (!id) return {0, 404};
  order.Open(data::Sql("select * from tdgl where id=?", {data::Value(*id)}), *conn(), data::adOpenForwardOnly,
             data::adLockReadOnly);
  if (order.Eof()) return {*id, 404};
  if (!mayFollow(heldOrders().count(*id) > 0, Session()("names").text(), order("yhm").text())) return {*id, 403};
  return {*id, 0};
}

void closeOrder() {
  rs()->Close();
  rs().reset();
  conn()->Close();
}

class ddxx : public frame::Component {
 public:
  void main();
};

class ddzt : public frame::Component {
 public:
  void main();
};

void ddxx::main() {
  const Found found = findOrder();
  if (found.refused) {
    Http().setStatus(found.refused);
    Response().Write(std::string("<div class='box order'><h2>订单进度</h2><div class=body><p role=alert>") +
                     (found.refused == 404 ? "没有找到这张订单。"
                                           : "这张订单只能在下单时所用的浏览器上查看，或由订餐的会员登录后查看。") +
                     "</p><p class=links><a href='index.asp'>返回首页</a></p></div></div>\n");
    closeOrder();
    return;
  }
  data::Recordset& order = *rs();
  const int status = shownStatus(order("dczt").value());
  const std::string id = std::to_string(found.id);
  std::string steps;
  for (int s = 1; s <= 4; ++s)
    steps += std::string("<li") + (s <= status ? " class=done" : "") + (s == status ? " aria-current=step" : "") + ">" +
             customerStatusLabel(s) + "</li>";
  std::string dishes;
  for (const OrderLine& l : parseOrderLines(order("dcqk").text()))
    dishes += "<li>" +
              htmlEncode(l.parsed ? l.name + " " + l.price + "元 × " + l.quantity + "份 = " + l.amount + "元" : l.raw) +
              "</li>";
  auto field = [&order](const char* column) { return htmlEncode(order(column).text()); };
  Response().Write("<div class='box order' id=order data-id='" + id + "' data-status='" + std::to_string(status) +
                   "'><h2>订单 " + id + "</h2><div class=body>\n" +
                   "<p class=status aria-live=polite aria-atomic=true>订单状态：<strong id=orderStatus>" +
                   customerStatusLabel(status) + "</strong></p>\n<ol class=steps aria-label='订单进度'>" + steps +
                   "</ol>\n<table class=fields>\n<tr><td class=label>联系人：</td><td>" + field("yhm") +
                   "</td></tr>\n<tr><td class=label>订餐时间：</td><td>" + field("years") + "年" + field("months") +
                   "月" + field("days") + "日 " + field("hourss") + "点" + field("minutess") + "分</td></tr>\n" +
                   "<tr><td class=label>到达时间：</td><td>" + field("hours") + "点" + field("minutes") +
                   "分</td></tr>\n<tr><td class=label>总计：</td><td>" + field("dczj") + "元</td></tr>\n</table>\n" +
                   "<h3>所订菜品</h3>\n<ul class=dishes>" + dishes + "</ul>\n" +
                   "<p class=links><a href='index.asp'>继续订餐</a></p>\n</div></div>\n" +
                   "<script src='js/order.js'></script>\n");
  closeOrder();
}

// The answer is the JSON alone: End() keeps the page file's text out of it.
void ddzt::main() {
  frame::HttpDetails& http = Http();
  http.setHeader("Content-Type", "application/json");
  http.setHeader("Cache-Control", "no-store");
  const Found found = findOrder();
  if (found.refused) {
    http.setStatus(found.refused);
    Response().Write(found.refused == 404 ? "{\"error\":\"no such order\"}" : "{\"error\":\"not yours\"}");
  } else {
    Response().Write(statusJson(found.id, shownStatus((*rs())("dczt").value())));
  }
  closeOrder();
  Response().End();
}

const frame::PageRegistration pages([](frame::Registry& registry) {
  registry.addMain<ddxx>("mabex.ddxx");
  registry.addMain<ddzt>("mabex.ddzt");
});

}  // namespace
}  // namespace tovi::orders
