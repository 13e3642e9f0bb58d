// The shared procedures: the guards, the page's end, the database open and the
// per-thread page context.
#include "frame/module1.h"

#include <filesystem>
#include <thread>

#include "support/fake_host.h"
#include "support/testing.h"

using namespace frame::Module1;

namespace {

const std::string kGuardPreamble =
    "<!--1、数据库字段说明：   admin表示登陆后台时使用的用户名   flag表示登陆后台时使用的权限名2 ?有关页面说明:"
    "   login.asp 代表后台登陆页面  -->"
    "<link href='../css/style.css' rel='stylesheet' type='text/css'>     <!--引用inc目录下的style.css文件 -->";
const std::string kNotLoggedIn =
    "<script LANGUAGE='javascript'>alert('网络超时或者您还没有登录请登录');window.location.href='login.asp';</script>";
const std::string kNoRight =
    "<br><br><br><br><br><br><br><br><br><br><div align=center><font size=90 color=red><b>您无此管理权限！</b>"
    "</font></div>";
const std::string kTopLink = "<link href='../css/style.css' rel='stylesheet' type='text/css'>";
const std::string kTopNotLoggedIn =
    "<script LANGUAGE='javascript'>alert('网络超时或者您还没有登录请登录!!');window.location.href='login.asp';</script>";
const std::string kTopNoRight =
    "<script LANGUAGE='javascript'>alert('您没有管理权限!!');window.location.href='admin.asp';</script>";

// A back-office page that passes its guard writes "PAGE" and then reads the
// database: a guard that stops it ends it there (Response.End), keeping what it wrote.
std::function<void()> guardedPage(void (*guard)()) {
  return [guard] {
    openAdminDb();
    guard();
    Response().Write("PAGE");
    newRs().Open("select * from set_tamloall", *conn(), 1, 1);
  };
}

}  // namespace

// Both guards for each session and account: checkAdmin admits rights 1 and
// 2, checkTopAdmin only 1; the account as it is now counts, never above what
// the login granted.
TEST(Guards, AdmitOrStopByTheSessionKeysAndTheAccountNow) {
  const data::Value none;
  const struct {
    const char* name;
    data::Value admin, flag;  // the session's keys as the login left them; empty: never set
    std::string checkAdmin, checkTopAdmin;  // the page after the preamble, the page after the link
    data::Value held = 1;                   // the account's right in wq_admin now; empty: the account is gone
  } cases[] = {
      {"no session", none, none, kNotLoggedIn, kTopNotLoggedIn}, {"no name", none, 1, kNotLoggedIn, kTopNotLoggedIn},
      {"empty name, as logout leaves it", "", 1, kNotLoggedIn, kTopNotLoggedIn},
      {"owner", "admin", 1, "PAGE", "PAGE"}, {"owner as text", "admin", "1", "PAGE", "PAGE"},
      {"administrator", "admin", 2, "PAGE", kTopNoRight}, {"right 3", "admin", 3, kNoRight, kTopNoRight},
      {"right 0", "admin", 0, kNoRight, kTopNoRight}, {"right empty", "admin", "", kNoRight, kTopNoRight},
      {"right missing", "admin", none, kNoRight, kTopNoRight}, {"right a word", "admin", "abc", kNoRight, kTopNoRight},
      {"demoted since login", "admin", 1, "PAGE", kTopNoRight, 2},
      {"promoted since login", "admin", 2, "PAGE", kTopNoRight, 1},
      {"right removed since login", "admin", 1, kNoRight, kTopNoRight, 3},
      {"deleted since login", "admin", 1, kNotLoggedIn, kTopNotLoggedIn, none},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSite site;
    FakeRequest req;
    if (!c.admin.isEmpty()) req.session["ADMIN"] = c.admin;
    if (!c.flag.isEmpty()) req.session["flag"] = c.flag;
    site.db().Execute(c.held.isEmpty() ? data::Sql("delete from wq_admin") : data::Sql("update wq_admin set flag=?", {c.held}));
    auto admin = site.runBody(guardedPage(&checkAdmin), req, "admin");
    EXPECT_EQ(admin.body, kGuardPreamble + c.checkAdmin);
    EXPECT_EQ(admin.ended, c.checkAdmin != "PAGE");
    auto top = site.runBody(guardedPage(&checkTopAdmin), req, "admin");
    EXPECT_EQ(top.body, kTopLink + c.checkTopAdmin);
    EXPECT_EQ(top.ended, c.checkTopAdmin != "PAGE");
  }
}

TEST(OpenDb, EachFolderReachesTheOneDatabaseAndAMissingOneFailsThePage) {
  FakeSite site;
  FakeRequest req;
  auto read = [&] {
    auto& r = newRs();
    r.Open("select * from set_tamloall", *conn(), 1, 1);
    Response().Write(r("order_times").text());
  };
  EXPECT_EQ(site.runBody([&] { openAdminDb(); read(); }, req, "admin").body, "3");
  EXPECT_EQ(site.runBody([&] { openFrontDb(); read(); }, req, "").body, "3");
  EXPECT_EQ(conn()->path(), site.databasePath());
  // From the root, ../database leaves the web root: refused, not opened elsewhere.
  EXPECT_THROW(site.runBody([] { openAdminDb(); }, req, ""), std::invalid_argument);
  std::filesystem::remove(site.databasePath());
  EXPECT_THROW(site.runBody([] { openFrontDb(); }, req, ""), data::Error);
}

TEST(PageContext, OnlyWhileAPageRunsOnItsOwnThread) {
  FakeSite site;
  frame::pageContext() = {};
  for (auto call : {+[] { Response(); }, +[] { Request(); }, +[] { Session(); }, +[] { Server(); }, +[] { Now(); },
                    +[] { openFrontDb(); }, +[] { checkAdmin(); }})
    EXPECT_THROW(call(), frame::NoPageContext);
  // A component rendered without its start fails at its first host call.
  const frame::ComponentType* t = site.registry().find("mabex.test");
  auto c = t->create();
  EXPECT_THROW(t->find("main")->run(*c), frame::NoPageContext);

  FakeRequest req;
  bool ran = false;
  site.runBody([&] {
    openFrontDb();
    std::thread([&] { EXPECT_THROW(Response(), frame::NoPageContext); ran = true; }).join();  // not the page's
  }, req);
  EXPECT_TRUE(ran);
  // The page's end clears the host objects but keeps the connection.
  EXPECT_EQ(frame::pageContext().response, nullptr);
  EXPECT_EQ(frame::pageContext().session, nullptr);
  ASSERT_NE(conn(), nullptr);
  EXPECT_TRUE(conn()->isOpen());
}
