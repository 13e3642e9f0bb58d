// admin/live_ticket.asp?id=<order>[&auto=1]: one order as a kitchen and
// delivery ticket for an 80 mm receipt printer: order number, times, customer,
// dishes with quantities and prices, total, remark. The page's print
// stylesheet sets the paper (80 mm wide, as long as the ticket); with auto=1
// the print dialog opens at once (the live screen and ddgl1.asp link so).
//
// Component tovi.live_ticket, operation main. Behind the back-office guard;
// an id that is missing, no whole number or names no order gets an alert.
// Every stored value is escaped.
#include <string>

#include "frame/alerts.h"
#include "frame/component.h"
#include "frame/module1.h"
#include "frame/text.h"
#include "orders/ddgl1.h"
#include "orders/live_board.h"
#include "orders/order_lines.h"

namespace tovi::orders {
namespace {

class live_ticket : public frame::Component {
 public:
  void main();
};


using namespace frame::Module1;
using frame::htmlEncode;

// Lines of about 16 Chinese characters fit the 72 mm print width.
int printedLines(const std::string& text) {
  int width = 0;
  std::size_t pos = 0;
  while (pos < text.size()) width += frame::gbWidth(frame::nextChar(text, pos));
  return 1 + width / 32;
}

std::string row(std::string_view label, const std::string& value) {
  return "<tr><th>" + std::string(label) + "</th><td>" + htmlEncode(value) + "</td></tr>\n";
}

}  // namespace

void live_ticket::main() {
  openAdminDb();
  checkAdmin();
  const auto id = orderId(Request()("id"));
  if (!id) frame::alertBack("订单编号不正确！");
  const BoardOrder o = orderById(*conn(), *id);
  if (o.id == 0) frame::alertBack("没有找到这个订单，它可能已被删除！");

  std::vector<OrderLine> lines = parseOrderLines(o.dishes);
  std::string dishes;
  // The paper's length in mm: titles, column heads, total and margins, then
  // 6 mm for every printed line (rows are set to that height below).
  int height = 52 + 6 * 3;  // ... and the times and the status
  for (const OrderLine& l : lines) {
    if (l.parsed)
      dishes += "<tr><td class='dish'>" + htmlEncode(l.name) + "</td><td class='n'>" + htmlEncode(l.quantity) +
                "</td><td class='n'>" + htmlEncode(l.price) + "</td><td class='n'>" + htmlEncode(l.amount) + "</td></tr>\n";
    else
      dishes += "<tr><td class='dish' colspan='4'>" + htmlEncode(l.raw) + "</td></tr>\n";
    height += 6 * printedLines(l.parsed ? l.name : l.raw);
  }
  for (const std::string* t : {&o.name, &o.phone, &o.address, &o.remark}) height += 6 * printedLines(*t);
  if (!o.taker.empty()) height += 6;

  std::string page = R"(<html>
<head>
<meta http-equiv='Content-Type' content='text/html; charset=gb2312'>
<title>订单 )" + std::to_string(o.id) + R"( 小票</title>
<style type='text/css'>
@page { size: 80mm )" + std::to_string(height) + R"(mm; margin: 0; }
body.ticket { width: 72mm; margin: 4mm; padding: 0; background: #fff; color: #000;
  font: 12px/1.4 "宋体", "SimSun", "WenQuanYi Micro Hei", monospace; }
.ticket h1 { font-size: 16px; line-height: 7mm; text-align: center; margin: 0 0 2mm; }
.ticket .no { font-size: 20px; line-height: 9mm; font-weight: bold; text-align: center; margin: 0 0 2mm; }
.ticket table { width: 100%; border-collapse: collapse; }
.ticket th { text-align: left; font-weight: normal; white-space: nowrap; vertical-align: top; width: 16mm; }
.ticket td, .ticket th { padding: 0.5mm 0; font-size: 12px; line-height: 5mm; background: none; word-break: break-all; }
.ticket .lines { border-top: 1px dashed #000; border-bottom: 1px dashed #000; margin: 2mm 0; }
.ticket .lines th { width: auto; }
.ticket .n { text-align: right; white-space: nowrap; padding-left: 2mm; }
.ticket .total { font-size: 16px; line-height: 7mm; font-weight: bold; text-align: right; margin: 1mm 0; }
@media screen { body.ticket { box-shadow: 0 0 0 1px #ccc; padding: 3mm; } }
@media print { .noprint { display: none; } }
</style>
</head>
<body class='ticket'>
<h1>岚禾订餐</h1>
<p class='no'>订单 #)" + std::to_string(o.id) + R"(</p>
<table>
)";
  page += row("下单时间", o.time);
  page += row("送达时间", o.arrive);
  page += row("联系人", o.name);
  page += row("电话", o.phone);
  page += row("地址", o.address);
  if (!o.taker.empty()) page += row("电话订单", "接单：" + o.taker);
  page += R"(</table>
<table class='lines'>
<tr><th>菜品</th><th class='n'>数量</th><th class='n'>单价</th><th class='n'>金额</th></tr>
)" + dishes + "</table>\n<p class='total'>合计：" + htmlEncode(o.total) + " 元</p>\n<table>\n" +
          row("备注", o.remark) + row("状态", std::string(statusLabel(o.status))) + R"(</table>
<p class='noprint'><button type='button' onclick='window.print()'>打印</button></p>
)";
  if (Request().QueryString("auto") == "1")
    page += "<script type='text/javascript'>window.addEventListener('load', function () { window.print(); });</script>\n";
  page += "</body>\n</html>";
  Response().Write(page);
}

namespace {

const frame::PageRegistration pages([](frame::Registry& registry) {
  registry.addMain<live_ticket>("tovi.live_ticket");
});

}  // namespace
}  // namespace tovi::orders
