#include "sitepages/order_status.h"

#include <string>

#include "frame/alerts.h"
#include "frame/module1.h"
#include "frame/request_guard.h"
#include "orders/ddgl1.h"
#include "orders/status_move.h"

namespace tovi::sitepages {

using namespace frame::Module1;
using frame::alertBack;

void ddgl2::main() {
  openAdminDb();
  checkAdmin();
  frame::requirePostFromSite();

  const auto id = orders::orderId(Request()("id"));
  if (!id) alertBack("订单编号不正确！");
  const std::string chosen = Request()("select");
  const auto status = orders::orderId(chosen);
  if (!status || *status < orders::kFirstStatus || *status > orders::kLastStatus)
    alertBack("请选择正确的订餐状态！");

  if (orders::moveOrder(*conn(), *id, *status) == orders::StatusMove::NoOrder)
    alertBack("没有找到这个订单，它可能已被删除！");

  Response().Write("<script language=javascript>alert('订单状态已改为“" + std::string(orders::statusLabel(*status)) +
                   "”！');window.location.href='ddgl.asp';</script>");
}

}  // namespace tovi::sitepages
