#include "sitepages/nav_bar.h"

#include "frame/module1.h"

namespace tovi::sitepages {

void nav::main() {
  frame::Module1::Response().Write(R"(<div class=nav><table><tr><td class=links colspan=2><a href='index.asp'>首页</a><a href='kcdg.asp'>快餐订购</a><a href='jpsq.asp'>精品食区</a><a href='ylxg.asp'>饮料选购</a><a href='news.asp'>餐饮新闻</a><a href='guestbook.asp'>留言本</a><a href='bulletin.asp'>网站公告</a></td></tr>
<tr><td class=member id=member><a href='signin.asp'>会员登录</a> | <a href='register.asp'>免费注册</a></td>
<td><form method=get action='ckdd.asp' id=lookup>我的订单：<input type=text name='names' size=10 title='联系人'> <input type=submit value='查询'></form></td></tr></table></div>
<script src='js/front.js'></script>
)");
}

}  // namespace tovi::sitepages
