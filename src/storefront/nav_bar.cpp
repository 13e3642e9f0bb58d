// tovi.nav: the navigation bar above every storefront page (the site's own
// block of each storefront page file, written before the page's component).
//
// The bar is the same for every visitor, so the pages around it stay
// answerable from their rendered copies: who is signed in is filled in by
// js/front.js in the browser, from member.asp (members.cpp). Without script
// the bar still offers sign-in, sign-up and the order look-up by name.
#include "frame/component.h"
#include "frame/module1.h"

namespace tovi::storefront {
namespace {

class nav : public frame::Component {
 public:
  void main();
};

void nav::main() {
  frame::Module1::Response().Write(R"(<div class=nav><table><tr><td class=links colspan=2><a href='index.asp'>首页</a><a href='kcdg.asp'>快餐订购</a><a href='jpsq.asp'>精品食区</a><a href='ylxg.asp'>饮料选购</a><a href='news.asp'>餐饮新闻</a><a href='guestbook.asp'>留言本</a><a href='bulletin.asp'>网站公告</a></td></tr>
<tr><td class=member id=member><a href='signin.asp'>会员登录</a> | <a href='register.asp'>免费注册</a></td>
<td><form method=get action='ckdd.asp' id=lookup><label>我的订单：<input type=text name='names' size=10 title='联系人'></label> <input type=submit value='查询'></form></td></tr></table></div>
<script src='js/front.js?v=4f93a6f160'></script>
)");
}

// The same bytes for every visitor: the page around it may be reused.
const frame::PageRegistration pages([](frame::Registry& registry) {
  registry.add("tovi.nav", [] { return std::make_unique<nav>(); }, {frame::op("main", &nav::main)},
               frame::Output::DatabaseOnly);
});

}  // namespace
}  // namespace tovi::storefront
