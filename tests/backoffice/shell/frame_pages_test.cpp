// The pages of the back-office frame: login form, logout, home page, menu.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/site_rows.h"

using namespace tovi;
using namespace tovi::testing;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

TEST(LoginPage, SameFormForEveryVisitorPostingToTheCheck) {
  FakeSite site;
  FakeRequest anonymous, loggedIn = operatorOf(1);
  std::string a = site.run("mabex.login", anonymous, "admin").body;
  EXPECT_EQ(a, site.run("mabex.login", loggedIn, "admin").body);
  EXPECT_THAT(a, HasSubstr("<form method='post' action='chkadmin.asp' name='adminlogin'>"));
  for (const char* field : {"name='admin'", "name='password'", "name='verifycode'", "<img src=../GetCode.asp"})
    EXPECT_THAT(a, HasSubstr(field));
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
    EXPECT_EQ(req.session["admin"].text() + req.session["flag"].text(), "");
    // The guards now refuse the same session.
    EXPECT_THAT(site.run("mabex.admin", req, "admin").body, HasSubstr("alert('网络超时或者您还没有登录请登录')"));
  }
}

TEST(HomePage, OnlyRightsOneAndTwo) {
  FakeSite site;
  for (int flag : {1, 2, 3}) {
    SCOPED_TRACE(flag);
    FakeRequest req = operatorOf(flag);
    std::string body = site.run("mabex.admin", req, "admin").body;
    EXPECT_EQ(body.find("岚禾统一后台") != std::string::npos, flag != 3);
    EXPECT_EQ(body.find("您无此管理权限！") != std::string::npos, flag == 3);
  }
}

TEST(MenuPage, IdentityFollowsTheRightAndTheNameIsEscaped) {
  FakeSite site;
  struct Case {
    data::Value flag;
    std::string identity;
  };
  for (const Case& c : {Case{1, "系统CEO (站长)"}, Case{2, "管理员"}, Case{"2", "管理员"}, Case{3, ""}, Case{0, ""},
                        Case{"", ""}, Case{"abc", ""}}) {
    SCOPED_TRACE(c.flag.text());
    FakeRequest req = operatorOf(c.flag, "老板<script>x</script>");
    std::string body = site.run("mabex.menu", req, "admin").body;
    EXPECT_THAT(body, HasSubstr("用户名：<font color=red>老板&lt;script&gt;x&lt;/script&gt;</font>"));
    EXPECT_THAT(body, Not(HasSubstr("<script>x")));
    EXPECT_THAT(body, HasSubstr("身&nbsp;&nbsp;份：<font color=red>" + c.identity + "</font>"));
  }
}

TEST(MenuPage, SameEntriesForEveryRight) {
  FakeSite site;
  FakeRequest owner = operatorOf(1), admin = operatorOf(2), nobody;
  auto entries = [&](FakeRequest& req) {
    std::string body = site.run("mabex.menu", req, "admin").body;
    std::string::size_type from = body.find("id=submenu0");
    return body.substr(from, body.find("系统信息") - from);
  };
  std::string a = entries(owner);
  EXPECT_EQ(a, entries(admin));
  EXPECT_EQ(a, entries(nobody));
  // Two, four, five and four entries; no rows for the empty cells.
  EXPECT_EQ(occurrences(a, "<img src='../images/bullet.gif'>"), 15);
  for (const char* target : {"manageadmin.asp", "order_pass.asp", "database_menager4.asp"})
    EXPECT_THAT(a, HasSubstr(std::string("<a href=") + target + " target=right>"));
}

}  // namespace
