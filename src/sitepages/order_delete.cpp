#include "sitepages/order_delete.h"

#include <string>

#include "data/connection.h"
#include "data/recordset.h"
#include "frame/http_details.h"
#include "frame/alerts.h"
#include "frame/module1.h"
#include "frame/request_guard.h"
#include "frame/text.h"
#include "orders/ddgl1.h"
#include "sitepages/account_kit.h"

namespace tovi::sitepages {

using namespace frame::Module1;
using frame::alertBack;

void ddgl3::main() {
  openAdminDb();
  checkAdmin();

  const auto id = orders::orderId(Request()("id"));
  if (!id) alertBack("订单编号不正确！");
  const std::string idText = std::to_string(*id);
  // Any method but GET is a request to delete and must pass the same-site check.
  const bool confirmOnly = frame::iequals(Http().method(), "GET");
  if (!confirmOnly) frame::requirePostFromSite();

  data::Recordset& order = newRs();
  order.Open(data::Sql("select * from tdgl where id=?", {*id}), *conn(), data::adOpenKeyset, data::adLockReadOnly);
  if (order.Eof()) alertBack("没有找到这个订单，它可能已被删除！");

  if (confirmOnly) {
    Response().Write(kit::confirmDeletePage(
        "删除订单",
        "确定要删除联系人 <b>" + frame::htmlEncode(order("yhm").text()) + "</b> 于 " +
            frame::htmlEncode(order("fromdate").text()) + " 提交的订单吗？删除后不能恢复。",
        "ddgl3.asp?id=" + idText, "javascript:history.go(-1)"));
    order.Close();
    rs().reset();
    return;
  }

  order.Close();
  rs().reset();
  conn()->Execute(data::Sql("delete from tdgl where id=?", {*id}));
  Response().Write("<script language=javascript>alert('订单已删除！');window.location.href='ddgl.asp';</script>");
}

}  // namespace tovi::sitepages
