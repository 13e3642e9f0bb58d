// The pages of the back-office frame: login form, logout, home page, menu.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "shell_fixture.h"

using namespace tovi;
using namespace tovi::testing;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

TEST(LoginPage, SameFormForEveryVisitor) {
  FakeSite site;
  FakeRequest anonymous;
  FakeRequest loggedIn = operatorOf(1);
  std::string a = site.run("mabex.login", anonymous, "admin").body;
  std::string b = site.run("mabex.login", loggedIn, "admin").body;
  EXPECT_EQ(a, b);
  EXPECT_THAT(a, HasSubstr(" <form method='post' action='chkadmin.asp' name='adminlogin'>"));
  EXPECT_THAT(a, HasSubstr("name='admin' id='admin' size='16' maxlength='16' title='请填写用户名'"));
  EXPECT_THAT(a, HasSubstr("name='password' size='16' maxlength='16' title='请填写密码'"));
  EXPECT_THAT(a, HasSubstr("name='verifycode' id='verifycode' size='8' maxlength='50' title='请填写验证码'"));
  EXPECT_THAT(a, HasSubstr("  <img src=../GetCode.asp vspace='2' align='absbottom'> </td>"));
  for (const char* image : {"login1", "login2", "login3", "login4"})
    EXPECT_THAT(a, HasSubstr(std::string("width='323' height='202' background='../Images/") + image + ".gif'"));
  EXPECT_THAT(a, Not(HasSubstr("<script")));
}

TEST(LogoutPage, EmptiesBothKeysAndGoesToTheFrameset) {
  FakeSite site;
  for (bool loggedIn : {true, false}) {
    SCOPED_TRACE(loggedIn);
    FakeRequest req = loggedIn ? operatorOf(1) : FakeRequest{};
    PageResult page = site.run("mabex.logout", req, "admin");
    EXPECT_EQ(page.redirect, "./Index.asp");
    EXPECT_FALSE(page.abandoned);
    EXPECT_EQ(req.session["admin"].text(), "");
    EXPECT_EQ(req.session["flag"].text(), "");
    // The guards now refuse the same session.
    EXPECT_THAT(site.run("mabex.admin", req, "admin").body, HasSubstr("alert('网络超时或者您还没有登录请登录')"));
  }
}

TEST(HomePage, GuardedAndWrittenForRightsOneAndTwo) {
  FakeSite site;
  for (int flag : {1, 2}) {
    FakeRequest req = operatorOf(flag);
    std::string body = site.run("mabex.admin", req, "admin").body;
    EXPECT_THAT(body, HasSubstr("<link rel='stylesheet' href='../css/Style.css' type='text/css'>"));
    EXPECT_THAT(body, HasSubstr("岚禾统一后台"));
    EXPECT_THAT(body, HasSubstr("　拥有所有权限。第一次使用时请修改密码后重新登陆。"));
    EXPECT_THAT(body, HasSubstr("版本信息"));
    EXPECT_THAT(body, HasSubstr("开发信息"));
  }
  FakeRequest stranger = operatorOf(3);
  std::string refused = site.run("mabex.admin", stranger, "admin").body;
  EXPECT_THAT(refused, HasSubstr("您无此管理权限！"));
  EXPECT_THAT(refused, Not(HasSubstr("岚禾统一后台")));
}

TEST(MenuPage, IdentityFollowsTheRight) {
  FakeSite site;
  struct Case {
    data::Value flag;
    std::string identity;
  };
  for (const Case& c : {Case{1, "系统CEO (站长)"}, Case{2, "管理员"}, Case{"2", "管理员"}, Case{3, ""}, Case{0, ""},
                        Case{"", ""}, Case{"abc", ""}}) {
    SCOPED_TRACE(c.flag.text());
    FakeRequest req = operatorOf(c.flag, "老板");
    std::string body = site.run("mabex.menu", req, "admin").body;
    EXPECT_THAT(body, HasSubstr("用户名：<font color=red>老板</font>"));
    EXPECT_THAT(body, HasSubstr("身&nbsp;&nbsp;份：<font color=red>" + c.identity + "</font>"));
  }
}

TEST(MenuPage, SameEntriesForEveryRightAndSectionsStartAsGiven) {
  FakeSite site;
  FakeRequest owner = operatorOf(1), admin = operatorOf(2), nobody;
  std::string a = site.run("mabex.menu", owner, "admin").body;
  std::string b = site.run("mabex.menu", admin, "admin").body;
  std::string c = site.run("mabex.menu", nobody, "admin").body;
  auto entries = [](const std::string& body) {
    std::string::size_type from = body.find("id=submenu0");
    return body.substr(from, body.find("系统信息") - from);
  };
  EXPECT_EQ(entries(a), entries(b));
  EXPECT_EQ(entries(a), entries(c));

  EXPECT_THAT(a, HasSubstr("id=submenu0 style='display:'"));
  EXPECT_THAT(a, HasSubstr("id=submenu1 style='display:'"));
  EXPECT_THAT(a, HasSubstr("id=submenu2 style='display:none'"));
  EXPECT_THAT(a, HasSubstr("id=submenu3 style='display:none'"));
  // Two, four, five and four entries; no rows for the empty cells.
  EXPECT_EQ(occurrences(a, "<img src='../images/bullet.gif'>"), 15);
  EXPECT_THAT(a, HasSubstr("<img src='../images/bullet.gif'> <a href=manageadmin.asp target=right>后台用户</a>"));
  EXPECT_THAT(a, HasSubstr(" <a href=order_pass.asp target=right>订餐信息过虑</a>"));
  EXPECT_THAT(a, HasSubstr(" <a href=database_menager4.asp target=right>数据库恢复</a>"));
  EXPECT_THAT(a, HasSubstr("background='images/title_bg_quit.gif'"));
  EXPECT_THAT(a, HasSubstr("<a href='.././index.asp' target=_top>"));
}

TEST(MenuPage, NameIsEscaped) {
  FakeSite site;
  FakeRequest req = operatorOf(1, "<script>x</script>");
  std::string body = site.run("mabex.menu", req, "admin").body;
  EXPECT_THAT(body, HasSubstr("&lt;script&gt;x&lt;/script&gt;"));
  EXPECT_THAT(body, Not(HasSubstr("<script>x")));
}

}  // namespace
