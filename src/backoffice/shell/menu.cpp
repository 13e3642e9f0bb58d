// mabex.menu (admin/menu.asp): the back-office navigation menu, the left frame
// of the frameset. Four sections of links opened in the frame `right`, the
// first two open and the last two closed at every load, toggled on the client
// by showsubmenu(i); above them the logged-in name and right (session keys
// Admin and Flag). No guard and no database: without a login the name and the
// right are empty and every link still leads to a guarded page.
#include <array>
#include <string>

#include "frame/component.h"
#include "frame/module1.h"
#include "frame/text.h"

namespace tovi::backoffice::shell {
namespace {

class menu : public frame::Component {
 public:
  void main();

  // The menu grid: row i is section i, column 0 its title, columns 1 to 6 its
  // entries (finished link markup); a section ends at its first empty cell.
  using Grid = std::array<std::array<std::string, 7>, 4>;
  [[nodiscard]] static Grid grid();
};


std::string entry(const char* page, const char* label) {
  return std::string(" <a href=") + page + " target=right>" + label + "</a>";
}

// Right level as the menu names it; empty for anything but 1 and 2.
std::string rightLabel(const data::Value& flag) {
  if (flag.isNumber(1)) return "系统CEO (站长)";
  if (flag.isNumber(2)) return "管理员";
  return "";
}

}  // namespace

menu::Grid menu::grid() {
  return {{
      {"用户管理", entry("reg.asp", "前台用户"), entry("manageadmin.asp", "后台用户")},
      {"餐饮管理", entry("cygl.asp", "首页餐饮管理"), entry("kcdg.asp", "快餐订购"), entry("jpsq.asp", "精品食区"),
       entry("ylxg.asp", "饮料选购")},
      {"站务管理", entry("ddgl.asp", "订单管理"), entry("book_admin.asp", "留言管理"), entry("bulletin.asp", "站内公告"),
       entry("cyxw.asp", "餐饮新闻"), entry("order_pass.asp", "订餐信息过虑")},
      {"数据处理", entry("database_menager1.asp", "数据库更名"), entry("database_menager2.asp", "数据库备分"),
       entry("database_menager3.asp", "数据库压缩"), entry("database_menager4.asp", "数据库恢复")},
  }};
}

void menu::main() {
  using namespace frame::Module1;
  auto& r = Response();
  r.Write(R"(<html>
<head>
<title>岚禾网络订餐系统1.0版</title>
<META content='MSHTML 5.00.3315.2870' name=GENERATOR>
<meta http-equiv='Content-Type' content='text/html; charset=gb2312'>
<style type=text/css>
body  { margin:0px; font-size:12px; font-family:宋体; background:#BEBFD9;
        scrollbar-face-color:#EAEAF2; scrollbar-highlight-color:#FFFFFF; scrollbar-shadow-color:#9395C0;
        scrollbar-3dlight-color:#F3F3F8; scrollbar-arrow-color:#9395C0; scrollbar-track-color:#F3F3F8;
        scrollbar-darkshadow-color:#F3F3F8; }
table  { border:0px; }
td  { font:normal 12px 宋体; }
img  { vertical-align:bottom; border:0px; }
a  { font:normal 12px 宋体; color:#111111; text-decoration:none; }
a:hover  { color:#6C70AA; text-decoration:underline; }
.sec_menu  { border-left:1px solid white; border-right:1px solid white; border-bottom:1px solid white; overflow:hidden; background:#FBFBFC; }
.menu_title  { }
.menu_title span  { position:relative; top:2px; left:8px; color:#4A4F80; font-weight:bold; }
.menu_title2  { }
.menu_title2 span  { position:relative; top:2px; left:8px; color:#596099; font-weight:bold; }
input, select, textarea  { font:normal 12px 宋体; }
</style>
<SCRIPT language=javascript1.2>
function showsubmenu(sid)
{
  var whichEl = document.getElementById("submenu" + sid);
  if (whichEl.style.display == "none")
    whichEl.style.display = "";
  else
    whichEl.style.display = "none";
}
</SCRIPT>
</head>
)");
  std::string name = frame::htmlEncode(Session().Get("Admin").text());
  std::string right = rightLabel(Session().Get("Flag"));
  r.Write(R"(<BODY leftmargin='0' topmargin='0' marginheight='0' marginwidth='0'>
<table width=100% cellpadding=0 cellspacing=0 border=0>
<tr><td valign=top>
<table width=158 border=0 align=center cellpadding=0 cellspacing=0>
  <tr><td height=42 valign=bottom><img src='../images/admin_title.gif' width=158 height=38></td></tr>
</table>
<table width=158 border=0 align=center cellpadding=0 cellspacing=0>
  <tr><td height=25 class=menu_title onmouseover="this.className='menu_title2';" onmouseout="this.className='menu_title';" background='images/title_bg_quit.gif'><span><a href='index.asp' target=_top><b>后台首页</b></a> | <a href='logout.asp' target=_top><b>退出</b></a> | <a href='.././index.asp' target=_top><b>前台首页</b></a></span></td></tr>
  <tr><td align=center>
    <div class=sec_menu style='width:158px'>
    <table width=150 cellpadding=0 cellspacing=0 align=center>
      <tr><td height=20>用户名：<font color=red>)" +
          name + R"(</font> | <a href='renpassword.asp' target='right'><font color=red>修改密码</font></a></td></tr>
      <tr><td height=20>身&nbsp;&nbsp;份：<font color=red>)" +
          right + R"(</font></td></tr>
    </table>
    </div>
  </td></tr>
</table>
<table width=158 cellpadding=0 cellspacing=0 align=center><tr><td height=10></td></tr></table>
)");
  // The kitchen's working pages, for both rights, above the four sections.
  r.Write(R"(<table cellpadding=0 cellspacing=0 width=158 align=center>
  <tr><td height=25 class=menu_title onmouseover="this.className='menu_title2';" onmouseout="this.className='menu_title';" background='../images/title_bg_show.gif' id=menuTitleKitchen onclick='showsubmenu("Kitchen")' style='cursor:pointer'><span>后厨工作</span></td></tr>
  <tr><td id=submenuKitchen style='display:'>
    <div class=sec_menu style='width:158px'>
    <table cellpadding=0 cellspacing=0 align=center width=150>
      <tr><td height=20><img src='../images/bullet.gif'>)" + entry("live.asp", "实时订单") + R"(</td></tr>
      <tr><td height=20><img src='../images/bullet.gif'>)" + entry("phone_order.asp", "电话订单") + R"(</td></tr>
      <tr><td height=20><img src='../images/bullet.gif'>)" + entry("sales_report.asp", "销售报表") + R"(</td></tr>
    </table>
    </div>
    <table cellpadding=0 cellspacing=0 align=center width=150><tr><td height=10></td></tr></table>
  </td></tr>
</table>
)");
  const Grid g = grid();
  for (int i = 0; i < 4; ++i) {
    std::string id = std::to_string(i);
    std::string rows;
    for (int j = 1; j < 7 && !g[i][j].empty(); ++j)
      rows += "      <tr><td height=20><img src='../images/bullet.gif'>" + g[i][j] + "</td></tr>\n";
    r.Write(R"(<table cellpadding=0 cellspacing=0 width=158 align=center>
  <tr><td height=25 class=menu_title onmouseover="this.className='menu_title2';" onmouseout="this.className='menu_title';" background='../images/title_bg_show.gif' id=menuTitle)" +
            id + " onclick='showsubmenu(" + id + ")' style='cursor:pointer'><span>" + g[i][0] + R"(</span></td></tr>
  <tr><td id=submenu)" + id + (i < 2 ? " style='display:'" : " style='display:none'") + R"(>
    <div class=sec_menu style='width:158px'>
    <table cellpadding=0 cellspacing=0 align=center width=150>
)" + rows + R"(    </table>
    </div>
    <table cellpadding=0 cellspacing=0 align=center width=150><tr><td height=10></td></tr></table>
  </td></tr>
</table>
)");
  }
  r.Write(R"(<table cellpadding=0 cellspacing=0 width=158 align=center>
  <tr><td height=25 class=menu_title background='../images/admin_left_2.gif'><span>系统信息</span></td></tr>
  <tr><td>
    <div class=sec_menu style='width:158px'>
    <table cellpadding=0 cellspacing=0 align=center width=150>
      <tr><td height=20>版权所有：Tovi 订餐系统</td></tr>
      <tr><td height=20>网址：<a href='https://tovi.example/' target=_blank>tovi.example</a></td></tr>
    </table>
    </div>
  </td></tr>
</table>
</td></tr>
</table>
</BODY>
</html>
)");
}

namespace {

const frame::PageRegistration pages([](frame::Registry& registry) {
  registry.addMain<menu>("mabex.menu");
});

}  // namespace
}  // namespace tovi::backoffice::shell
