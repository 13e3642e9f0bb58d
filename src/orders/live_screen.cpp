// admin/live.asp: the kitchen's live order screen.
//
//   GET  live.asp                    the screen: columns 等待中 / 制作当中 / 派送当中,
//                                    today's settled orders folded below; its script
//                                    (site/admin/live/live.js) follows /admin/live_events
//   GET  live.asp?action=board       the board alone, as JSON in <script id=board>
//                                    (the script reloads it after a reconnection,
//                                    and polls it when events cannot be used)
//   POST live.asp?action=move        id=<order>&from=<its status as shown>: moves the
//                                    order one status on; answers <div id=result
//                                    data-ok=1 data-status=N> or data-ok=0 with the reason
//
// Component tovi.live, operation main. Behind the back-office guard (rights 1
// and 2); the move only as a post from the site's own pages, and only while
// the order still has the status the screen showed (two screens clicking at
// once move it one step, not two). Every value reaches the page as JSON text
// that the script puts in as text.
#include <string>

#include "frame/component.h"
#include "frame/module1.h"
#include "frame/request_guard.h"
#include "frame/text.h"
#include "orders/ddgl1.h"
#include "orders/live_board.h"
#include "orders/status_move.h"

namespace tovi::orders {
namespace {

class live : public frame::Component {
 public:
  void main();
};


using namespace frame::Module1;

std::string boardElement() {
  return "<script type='application/json' id='board'>" + boardJson(readBoard(*conn(), Now())) + "</script>\n";
}

void answerMove(bool ok, int status, std::string_view message) {
  Response().Write("<div id='result' data-ok='" + std::string(ok ? "1" : "0") + "' data-status='" +
                   std::to_string(status) + "'>" + frame::htmlEncode(message) + "</div>");
}

void move() {
  frame::requirePostFromSite();
  const auto id = orderId(Request().Form("id"));
  const auto from = orderId(Request().Form("from"));
  if (!id || !from) return answerMove(false, 0, "订单编号不正确！");
  const auto next = nextStatus(*from);
  if (!next) return answerMove(false, static_cast<int>(*from), "这个订单已结帐。");
  switch (moveOrder(*conn(), *id, *next, *from)) {
    case StatusMove::Moved:
      return answerMove(true, *next, std::string("订单状态已改为“") + std::string(statusLabel(*next)) + "”！");
    case StatusMove::NoOrder: return answerMove(false, 0, "没有找到这个订单，它可能已被删除！");
    case StatusMove::Changed: return answerMove(false, 0, "这个订单的状态刚被别人改过，请看最新的状态。");
    case StatusMove::BadStatus: return answerMove(false, 0, "请选择正确的订餐状态！");
  }
}

constexpr const char* kHead = R"(<html>
<head>
<meta http-equiv='Content-Type' content='text/html; charset=gb2312'>
<title>后厨实时订单</title>
<link href='live/live.css' rel='stylesheet' type='text/css'>
</head>
<body class='live'>
<div class='bar'>
  <b>后厨实时订单</b>
  <span id='state' class='state'>连接中…</span>
  <button type='button' id='sound' aria-pressed='false'>开启提示音</button>
  <a href='phone_order.asp'>电话订单</a>
  <a href='sales_report.asp'>销售报表</a>
  <a href='ddgl.asp'>订单管理</a>
</div>
<p id='older' class='older' hidden>还有 <span></span> 个更早的未结订单，请到<a href='ddgl.asp'>订单管理</a>查看。</p>
<div class='columns'>
  <section class='column' data-status='1'><h2>等待中 <span class='count'>0</span></h2><div class='cards'></div></section>
  <section class='column' data-status='2'><h2>制作当中 <span class='count'>0</span></h2><div class='cards'></div></section>
  <section class='column' data-status='3'><h2>派送当中 <span class='count'>0</span></h2><div class='cards'></div></section>
</div>
<details class='settled' data-status='4'><summary>今日已结帐 <span class='count'>0</span></summary><div class='cards'></div></details>
)";

constexpr const char* kTail = R"(<script type='text/javascript' src='live/live.js'></script>
</body>
</html>)";

}  // namespace

void live::main() {
  openAdminDb();
  checkAdmin();
  const std::string action = Request().QueryString("action");
  if (action == "move") return move();
  if (action == "board") return Response().Write(boardElement());
  Response().Write(kHead);
  Response().Write(boardElement());
  Response().Write(kTail);
}

namespace {

const frame::PageRegistration pages([](frame::Registry& registry) {
  registry.addMain<live>("tovi.live");
});

}  // namespace
}  // namespace tovi::orders
