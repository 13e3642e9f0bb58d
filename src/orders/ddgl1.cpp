// The order detail and its status change.
//
// mabex.ddgl1 (admin/ddgl1.asp?id=<id>): one order in read-only fields and the
// choice of its next status, posted to ddgl2.asp. The back-office guard
// refuses visitors who are not logged in; an `id` that is missing, no whole
// number or names no order gets a clear alert and the page goes back. Stored
// values are escaped for the attributes they are written into.
//
// tovi.ddgl2 (admin/ddgl2.asp?id=<id>, POST select=1..4): sets the order's
// status, then goes back to the order list. Anything but a post from the
// site's own pages is refused; an id that is missing, no whole number or names
// no order, or a status outside 1 to 4, gets a clear alert and nothing is changed.
#include "orders/ddgl1.h"

#include <string>

#include "data/connection.h"
#include "data/recordset.h"
#include "frame/alerts.h"
#include "frame/component.h"
#include "frame/module1.h"
#include "frame/request_guard.h"
#include "frame/text.h"
#include "orders/status_move.h"

namespace tovi::orders {

using namespace frame::Module1;
using frame::alertBack;

namespace {

class ddgl1 : public frame::Component {
 public:
  void main();
};

class ddgl2 : public frame::Component {
 public:
  void main();
};

}  // namespace

std::string_view statusLabel(long code) {
  switch (code) {
    case 1: return "等待中";
    case 2: return "制作当中";
    case 3: return "派送当中";
    case 4: return "已结帐";
    default: return "";
  }
}

std::optional<long long> orderId(std::string_view text) {
  std::string t(text);
  if (!data::isWholeNumber(t) || t.size() > 18) return std::nullopt;
  return std::stoll(t);
}

namespace {

std::string fieldRow(std::string_view label, std::string_view name, std::string_view value) {
  return "<tr><td width='20%' align='right' bgcolor='#FFFFFF'><span class='STYLE1'>" + std::string(label) +
         "</span></td><td width='80%' bgcolor='#FFFFFF'><input name='" + std::string(name) +
         "' type='text' size='50' readonly='readonly' value='" + frame::htmlEncode(value) + "' /></td></tr>\n";
}

}  // namespace

void ddgl1::main() {
  openAdminDb();
  checkAdmin();
  frame::ResponseObject& out = Response();
  out.Write(R"(<link href='../css/Style.css' rel='stylesheet' type='text/css' />
<style type='text/css'>
<!--
.STYLE1 {font-size: 12px}
.STYLE2 {font-size: 12}
.STYLE4 {font-size: 12px; color: #FF0000; }
-->
</style>)");

  const auto id = orderId(Request()("id"));
  if (!id) alertBack("订单编号不正确！");
  data::Recordset& order = newRs();
  order.Open(data::Sql("select * from tdgl where id=?", {*id}), *conn(), data::adOpenKeyset, data::adLockOptimistic);
  if (order.Eof()) alertBack("没有找到这个订单，它可能已被删除！");

  const std::string idText = std::to_string(*id);
  std::string form = "<form name='theform' action='ddgl2.asp?id=" + idText + R"(' method='post'>
<table width='100%' border='0' cellpadding='3' cellspacing='1' bgcolor='#DADAE9' class='tableBorder'>
)";
  form += fieldRow("联系人：", "yhm", order("yhm").text());
  form += fieldRow("联系电话：", "tel", order("telsss").text());
  form += fieldRow("送餐地址：", "address", order("addresss").text());
  form += fieldRow("其他备注：", "qtbz", order("qtbz").text());
  form += fieldRow("提单时间：", "fromdate", order("fromdate").text());
  form += fieldRow("到达时间：", "todate", order("hours").text() + "点" + order("minutes").text() + "分");
  form += fieldRow("支付方式：", "zffs", order("zffs").text());
  out.Write(form);

  const long status = order("dczt").value().toInt32();
  const long chosen = status >= 2 && status <= kLastStatus ? status : kFirstStatus;
  std::string select = R"(<tr><td align='right' bgcolor='#FFFFFF'><span class='STYLE1'>订餐状态：</span></td><td bgcolor='#FFFFFF'><select name='select'>)";
  for (int code = kFirstStatus; code <= kLastStatus; ++code) {
    select += "<option value='" + std::to_string(code) + "'" + (code == chosen ? " selected='selected'" : "") + ">" +
              std::string(statusLabel(code)) + "</option>";
  }
  select += "</select></td></tr>\n";
  out.Write(select);

  out.Write(R"(<tr><td bgcolor='#FFFFFF'>&nbsp;</td><td bgcolor='#FFFFFF'>&nbsp;</td></tr>
<tr><td bgcolor='#FFFFFF'>&nbsp;</td><td bgcolor='#FFFFFF'><input type='submit' name='Submit' value=' 提 交 ' /> <input type='button' name='button' value=' 返 回 ' onclick='javascript:history.go(-1)' /> )");
  // The receipt printer's ticket of this order (live_ticket.asp).
  out.Write("<input type='button' name='ticket' value=' 打印小票 ' onclick=\"window.open('live_ticket.asp?id=" + idText +
            "&amp;auto=1', '_blank')\" />");
  out.Write(R"(</td></tr>
</table>
</form>)");

  order.Close();
  rs().reset();
}

void ddgl2::main() {
  openAdminDb();
  checkAdmin();
  frame::requirePostFromSite();

  const auto id = orderId(Request()("id"));
  if (!id) alertBack("订单编号不正确！");
  const std::string chosen = Request()("select");
  const auto status = orderId(chosen);
  if (!status || *status < kFirstStatus || *status > kLastStatus)
    alertBack("请选择正确的订餐状态！");

  if (moveOrder(*conn(), *id, *status) == StatusMove::NoOrder)
    alertBack("没有找到这个订单，它可能已被删除！");

  Response().Write("<script language=javascript>alert('订单状态已改为“" + std::string(statusLabel(*status)) +
                   "”！');window.location.href='ddgl.asp';</script>");
}

namespace {

const frame::PageRegistration pages([](frame::Registry& registry) {
  registry.addMain<ddgl1>("mabex.ddgl1");
  registry.addMain<ddgl2>("tovi.ddgl2");
});

}  // namespace
}  // namespace tovi::orders
