// The shared procedures: the guards, the database open and the per-thread page context.
#include "frame/module1.h"

#include <filesystem>
#include <map>
#include <thread>

#include "support/site_rows.h"
#include "support/testing.h"

using namespace frame::Module1;

namespace {

const std::string kGuardPreamble =
    "<!--1、数据库字段说明：   admin表示登陆后台时使用的用户名   flag表示登陆后台时使用的权限名2 ?有关页面说明:"
    "   login.asp 代表后台登陆页面  -->"
    "<link href='../css/style.css' rel='stylesheet' type='text/css'>     <!--引用inc目录下的style.css文件 -->";
const std::string kTopLink = "<link href='../css/style.css' rel='stylesheet' type='text/css'>",
                  kLogIn = "网络超时或者您还没有登录请登录";

std::string script(const std::string& alert, const std::string& page) {
  return "<script LANGUAGE='javascript'>alert('" + alert + "');window.location.href='" + page + ".asp';</script>";
}

}  // namespace

// Both guards for each session and account: checkAdmin admits rights 1 and
// 2, checkTopAdmin only 1; the account as it is now counts, never above what
// the login granted. A guard that stops the page ends it, keeping what it wrote.
TEST(Guards, AdmitOrStopByTheSessionKeysAndTheAccountNow) {
  const data::Value none;
  // The answers of checkAdmin and checkTopAdmin after their preamble: P the page, L log in, R no right.
  const std::map<char, std::pair<std::string, std::string>> answer = {
      {'P', {"PAGE", "PAGE"}}, {'L', {script(kLogIn, "login"), script(kLogIn + "!!", "login")}},
      {'R', {"<br><br><br><br><br><br><br><br><br><br><div align=center><font size=90 color=red><b>您无此管理权限！</b>"
             "</font></div>", script("您没有管理权限!!", "admin")}}};
  // Per case the session's keys as the login left them (none: never set), the answers of checkAdmin and
  // checkTopAdmin, and the account's right in wq_admin now (none: the account is gone).
  const struct { const char* name; data::Value admin, flag; const char* answers; data::Value held = 1; } cases[] = {
      {"no session", none, none, "LL"}, {"no name", none, 1, "LL"}, {"empty name, as logout leaves it", "", 1, "LL"},
      {"owner", "admin", 1, "PP"}, {"owner as text", "admin", "1", "PP"}, {"administrator", "admin", 2, "PR"},
      {"right 3", "admin", 3, "RR"}, {"right 0", "admin", 0, "RR"}, {"right empty", "admin", "", "RR"},
      {"right missing", "admin", none, "RR"}, {"right a word", "admin", "abc", "RR"},
      {"demoted since login", "admin", 1, "PR", 2}, {"promoted since login", "admin", 2, "PR", 1},
      {"right removed since login", "admin", 1, "RR", 3}, {"deleted since login", "admin", 1, "LL", none},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSite site;
    FakeRequest req;
    if (!c.admin.isEmpty()) req.session["ADMIN"] = c.admin;
    if (!c.flag.isEmpty()) req.session["flag"] = c.flag;
    site.db().Execute(c.held.isEmpty() ? data::Sql("delete from wq_admin")
                                       : data::Sql("update wq_admin set flag=?", {c.held}));
    for (auto [guard, preamble, expected] : {std::tuple{&checkAdmin, kGuardPreamble, answer.at(c.answers[0]).first},
                                             {&checkTopAdmin, kTopLink, answer.at(c.answers[1]).second}}) {
      auto page = site.runBody([guard] { openAdminDb(); guard(); Response().Write("PAGE"); }, req, "admin");
      EXPECT_EQ(page.body, preamble + expected);
      EXPECT_EQ(page.ended, expected != "PAGE");
    }
  }
}

// Each folder's open reaches the one database; the host objects exist only
// while a page runs, on its own thread, and its end keeps the connection.
TEST(PageContext, OneDatabaseAndHostObjectsOnlyWhileAPageRunsOnItsThread) {
  FakeSite site;
  FakeRequest req;
  frame::pageContext() = {};
  for (auto call : {+[] { Response(); }, +[] { Request(); }, +[] { Session(); }, +[] { Server(); }, +[] { Now(); },
                    +[] { openFrontDb(); }, +[] { checkAdmin(); }})
    EXPECT_THROW(call(), frame::NoPageContext);
  for (auto [open, folder] : {std::pair{&openAdminDb, "admin"}, {&openFrontDb, ""}}) {
    site.runBody(open, req, folder);
    EXPECT_EQ(frame::pageContext().response, nullptr);
    ASSERT_TRUE(conn() && conn()->isOpen());
    EXPECT_EQ(conn()->path(), site.databasePath());
  }
  bool ran = false;
  site.runBody([&] { std::thread([&] { EXPECT_THROW(Response(), frame::NoPageContext); ran = true; }).join(); }, req);
  EXPECT_TRUE(ran);
  // From the root, ../database leaves the web root: refused, not opened elsewhere.
  EXPECT_THROW(site.runBody(&openAdminDb, req, ""), std::invalid_argument);
  std::filesystem::remove(site.databasePath());
  EXPECT_THROW(site.runBody(&openFrontDb, req, ""), data::Error);
}
