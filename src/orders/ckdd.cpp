// ckdd: the customer's order history, every order stored under one contact name.
//
// main() reads the request value `names` (bound into the query as a value),
// writes a whole document: head, the hover box, and a table of the orders in
// the database's natural order with order time, delivery time, order lines,
// total and status label ("等待中", "处理当中", "派送当中", "已结帐"; nothing for
// other codes). Pointing at a cell shows the order's phone, name and address.
// No order under the name: "您还没订过餐！！" and the page ends. Everything the
// customer typed is written as text. Database failures propagate to the host.
#include <string>

#include "frame/component.h"
#include "frame/module1.h"
#include "frame/text.h"
#include "storefront/hover_box.h"

namespace tovi::orders {
namespace {

class ckdd : public frame::Component {
 public:
  void main();
};

}  // namespace

using namespace frame::Module1;
using frame::htmlEncode;
using frame::jsInAttr;

namespace {

const char* statusLabel(const data::Value& dczt) {
  if (!dczt.isNumeric()) return "";
  switch (dczt.toInteger()) {
    case 1: return "等待中";
    case 2: return "处理当中";
    case 3: return "派送当中";
    case 4: return "已结帐";
    default: return "";
  }
}

// Escaped as text: the hover box writes its arguments as markup.
std::string boxText(const std::string& text) { return jsInAttr(htmlEncode(text)); }

}  // namespace

void ckdd::main() {
  openFrontDb();
  Response().Write(R"(<html>
<head>
<meta http-equiv='Content-Type' content='text/html; charset=gb2312' />
<title>岚禾在线订餐系统</title>
<style type='text/css'>
<!--
.STYLE1 {font-size: 12px}
.STYLE2 {font-size: 12px; color: #FF9900; }
.STYLE3 {color: #FF0000}
.STYLE4 {font-size: 12px; color: #000000; }
-->
</style>
</head>
<body>
)");
  storefront::writeHoverBox(storefront::HoverBox::orders());
  Response().Write("<form name='form1' method='post' action=''>\n");

  std::string names = Request()("names");
  data::Recordset& orders = newRs("adodb.recordset");
  orders.Open(data::Sql("select * from tdgl where yhm=?", {names}), *conn(), data::adOpenKeyset,
              data::adLockReadOnly);
  if (orders.Eof()) {
    Response().Write("<div align=center class=STYLE2>");
    Response().Write("您还没订过餐！！");
    Response().Write("</div>");
    Response().End();
  }

  Response().Write(R"(<table width=619 height=90 border=1 cellpadding=0 cellspacing=0 bordercolor=#AAE3FF>
<tr><td width=40 align=center class=STYLE1>ID</td><td width=103 align=center class=STYLE1>订餐时间</td><td width=103 align=center class=STYLE1>到达时间</td><td width=195 align=center class=STYLE1>订餐内容</td><td width=47 align=center class=STYLE1>总计</td><td width=117 align=center class=STYLE1>订单状态</td></tr>
)");
  for (; !orders.Eof(); orders.MoveNext()) {
    std::string hover = "<a class=c6 href='#' onmouseover=\"drc('<br>电话号码：" + boxText(orders("telsss").text()) +
                        "','用户名：" + boxText(orders("yhm").text()) + "','联系地址：" +
                        boxText(orders("addresss").text()) +
                        "'); return true;\" onmouseout=\"nd(); return true;\" onfocus='this.blur()'>";
    std::string date = htmlEncode(orders("years").text()) + "年" + htmlEncode(orders("months").text()) + "月" +
                       htmlEncode(orders("days").text()) + "日<br>";
    Response().Write("<tr><td align=center>" + hover + htmlEncode(orders("id").text()) + "</a></td>" +
                     "<td align=center>" + hover + date + htmlEncode(orders("hourss").text()) + "点" +
                     htmlEncode(orders("minutess").text()) + "分</a></td>" + "<td align=center>" + hover + date +
                     htmlEncode(orders("hours").text()) + "点" + htmlEncode(orders("minutes").text()) +
                     "分</a></td>" + "<td>" + hover + htmlEncode(orders("dcqk").text()) + "</a></td>" +
                     "<td align=center>" + hover + htmlEncode(orders("dczj").text()) + "</a>元</td>" +
                     "<td align=center bgcolor=#FFFFFF class='STYLE2 STYLE3'>" + statusLabel(orders("dczt")) +
                     "</td></tr>\n");
  }
  orders.Close();
  rs().reset();
  conn()->Close();
  Response().Write("</table>\n</form>\n</body>\n</html>\n");
}

namespace {

const frame::PageRegistration pages([](frame::Registry& registry) {
  registry.addMain<ckdd>("mabex.ckdd");
});

}  // namespace
}  // namespace tovi::orders
