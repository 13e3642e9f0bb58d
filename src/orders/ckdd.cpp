// ckdd.asp, component mabex.ckdd: what it shows and to whom is told in ckdd.h.
#include "orders/ckdd.h"

#include <set>
#include <string>
#include <vector>

#include "frame/component.h"
#include "frame/module1.h"
#include "frame/page_selector.h"
#include "frame/text.h"
#include "orders/order_page.h"
#include "orders/order_token.h"
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

// Codes without a label of their own show nothing here.
const char* statusLabel(const data::Value& dczt) {
  const long long code = dczt.isNumeric() ? dczt.toInteger() : 0;
  return code >= 1 && code <= 4 ? customerStatusLabel(static_cast<int>(code)) : "";
}

constexpr long kPageSize = 20;

// Escaped as text: the hover box writes its arguments as markup.
std::string boxText(const std::string& text) { return jsInAttr(htmlEncode(text)); }

std::vector<std::string_view> chars(std::string_view text) {
  std::vector<std::string_view> out;
  for (std::size_t pos = 0, from = 0; pos < text.size(); from = pos) {
    frame::nextChar(text, pos);
    out.push_back(text.substr(from, pos - from));
  }
  return out;
}

// `name` for the page links' query: ASCII other than letters and digits
// percent-encoded; other characters left for the page's encoding, which the
// browser keeps when it follows the link.
std::string queryValue(std::string_view name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : name)
    if (c >= 0x80 || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
      out += static_cast<char>(c);
    else
      out += {'%', kHex[c >> 4], kHex[c & 15]};
  return out;
}

}  // namespace

std::string maskPhone(std::string_view phone) {
  const auto cs = chars(phone);
  const std::size_t n = cs.size(), head = n >= 11 ? 3 : n >= 7 ? 2 : 0, tail = n >= 11 ? 4 : n >= 7 ? 2 : n >= 3 ? 1 : 0;
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += i < head || i >= n - tail ? std::string(cs[i]) : "*";
  return out;
}

std::string maskAddress(std::string_view address) {
  const auto cs = chars(address);
  if (cs.empty()) return "";
  std::string out;
  for (std::size_t i = 0; i < std::min<std::size_t>(6, cs.size() / 2); ++i) out += cs[i];
  return out + "****";
}

void ckdd::main() {
  openFrontDb();
  Response().Write(R"(<html lang='zh-CN'>
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

  const std::string names = Request()("names");
  data::Recordset& orders = newRs("adodb.recordset");
  orders.PageSize(kPageSize);
  orders.Open(data::Sql("select * from tdgl where yhm=? order by id desc", {names}), *conn(), data::adOpenKeyset,
              data::adLockReadOnly);
  if (orders.Eof()) {
    Response().Write("<div align=center class=STYLE2>");
    Response().Write("您还没订过餐！！");
    Response().Write("</div>");
    Response().End();
  }
  const long total = orders.RecordCount(), pages = orders.PageCount();
  const long page = frame::wantedPage(Request().QueryString("page"), pages);
  orders.AbsolutePage(page);
  const data::Value member = Session()("names");
  const bool memberOwn = !member.blank() && member.text() == names;
  const std::set<long long> placedHere = heldOrders();

  Response().Write(R"(<table width=619 height=90 border=1 cellpadding=0 cellspacing=0 bordercolor=#AAE3FF>
<tr><td width=40 align=center class=STYLE1>ID</td><td width=103 align=center class=STYLE1>订餐时间</td><td width=103 align=center class=STYLE1>到达时间</td><td width=195 align=center class=STYLE1>订餐内容</td><td width=47 align=center class=STYLE1>总计</td><td width=117 align=center class=STYLE1>订单状态</td></tr>
)");
  for (long n = 0; n < kPageSize && !orders.Eof(); ++n, orders.MoveNext()) {
    const long long id = orders("id").value().toInteger();
    const bool full = memberOwn || placedHere.count(id);
    // The order's own page, for those it opens to.
    const std::string follow = full ? "<br><a href='ddxx.asp?id=" + std::to_string(id) + "' aria-label='订单" +
                                          std::to_string(id) + "的进度'>进度</a>"
                                    : "";
    const std::string phone = orders("telsss").text(), address = orders("addresss").text();
    std::string hover = "<a class=c6 href='#' onmouseover=\"drc('<br>电话号码：" +
                        boxText(full ? phone : maskPhone(phone)) + "','用户名：" + boxText(orders("yhm").text()) +
                        "','联系地址：" + boxText(full ? address : maskAddress(address)) +
                        "'); return true;\" onmouseout=\"nd(); return true;\">";
    std::string date = htmlEncode(orders("years").text()) + "年" + htmlEncode(orders("months").text()) + "月" +
                       htmlEncode(orders("days").text()) + "日<br>";
    Response().Write("<tr><td align=center>" + hover + htmlEncode(orders("id").text()) + "</a></td>" +
                     "<td align=center>" + hover + date + htmlEncode(orders("hourss").text()) + "点" +
                     htmlEncode(orders("minutess").text()) + "分</a></td>" + "<td align=center>" + hover + date +
                     htmlEncode(orders("hours").text()) + "点" + htmlEncode(orders("minutes").text()) + "分</a></td>" +
                     "<td>" + hover + htmlEncode(orders("dcqk").text()) + "</a></td>" + "<td align=center>" + hover +
                     htmlEncode(orders("dczj").text()) + "</a>元</td>" +
                     "<td align=center bgcolor=#FFFFFF class='STYLE2 STYLE3'>" + statusLabel(orders("dczt")) + follow +
                     "</td></tr>\n");
  }
  orders.Close();
  rs().reset();
  conn()->Close();
  Response().Write("</table>\n" +
                   frame::listPageLinks("ckdd.asp?names=" + queryValue(names), page, pages, total, "个订单") +
                   "</form>\n</body>\n</html>\n");
}

namespace {

const frame::PageRegistration pages([](frame::Registry& registry) { registry.addMain<ckdd>("mabex.ckdd"); });

}  // namespace
}  // namespace tovi::orders
