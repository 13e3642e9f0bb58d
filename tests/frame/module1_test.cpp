// The shared procedures: the guards, the page's end, the database open and the
// per-thread page context.
#include "frame/module1.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "support/fake_host.h"

using namespace tovi;
using namespace tovi::frame::Module1;
using tovi::testing::FakeRequest;
using tovi::testing::FakeSite;

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

// A back-office page that passes its guard writes "PAGE" and then reads the database.
std::function<void()> guardedPage(void (*guard)()) {
  return [guard] {
    openAdminDb();
    guard();
    Response().Write("PAGE");
    newRs().Open("select * from set_tamloall", *conn(), 1, 1);
  };
}

struct GuardCase {
  const char* name;
  data::Value admin;              // the session's name key; empty: never set
  data::Value flag;               // in the session, as the login left it
  std::string checkAdminBody;     // after the preamble
  std::string checkTopAdminBody;  // after the link
  data::Value held = 1;           // the account's right in wq_admin now
  bool deleted = false;           // the account is gone
};

class Guards : public ::testing::TestWithParam<GuardCase> {};

TEST_P(Guards, AdmitOrStopByTheSessionKeys) {
  const GuardCase& c = GetParam();
  FakeSite site;
  FakeRequest req;
  if (!c.admin.isEmpty()) req.session["ADMIN"] = c.admin;
  if (!c.flag.isEmpty()) req.session["flag"] = c.flag;
  if (c.deleted) site.db().Execute("delete from wq_admin");
  else site.db().Execute(data::Sql("update wq_admin set flag=?", {c.held}));

  auto admin = site.runBody(guardedPage(&checkAdmin), req, "admin");
  EXPECT_EQ(admin.body, kGuardPreamble + c.checkAdminBody);
  EXPECT_EQ(admin.ended, c.checkAdminBody != "PAGE");

  auto top = site.runBody(guardedPage(&checkTopAdmin), req, "admin");
  EXPECT_EQ(top.body, kTopLink + c.checkTopAdminBody);
  EXPECT_EQ(top.ended, c.checkTopAdminBody != "PAGE");
}

const data::Value kNone;
INSTANTIATE_TEST_SUITE_P(
    Frame, Guards,
    ::testing::Values(GuardCase{"NoSession", kNone, kNone, kNotLoggedIn, kTopNotLoggedIn},
                      GuardCase{"NoName", kNone, 1, kNotLoggedIn, kTopNotLoggedIn},
                      GuardCase{"EmptyName", "", 1, kNotLoggedIn, kTopNotLoggedIn},  // as logout leaves it
                      GuardCase{"Owner", "admin", 1, "PAGE", "PAGE"},
                      GuardCase{"OwnerAsText", "admin", "1", "PAGE", "PAGE"},
                      GuardCase{"Administrator", "admin", 2, "PAGE", kTopNoRight},
                      GuardCase{"FlagThree", "admin", 3, kNoRight, kTopNoRight},
                      GuardCase{"FlagZero", "admin", 0, kNoRight, kTopNoRight},
                      GuardCase{"FlagEmptyText", "admin", "", kNoRight, kTopNoRight},
                      GuardCase{"FlagMissing", "admin", kNone, kNoRight, kTopNoRight},
                      GuardCase{"FlagWord", "admin", "abc", kNoRight, kTopNoRight},
                      // The account as it is now counts, never above what the login granted.
                      GuardCase{"DemotedSinceLogin", "admin", 1, "PAGE", kTopNoRight, 2},
                      GuardCase{"PromotedSinceLogin", "admin", 2, "PAGE", kTopNoRight, 1},
                      GuardCase{"RightRemovedSinceLogin", "admin", 1, kNoRight, kTopNoRight, 3},
                      GuardCase{"DeletedSinceLogin", "admin", 1, kNotLoggedIn, kTopNotLoggedIn, 1, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ResponseEnd, NothingReachesTheClientAndNoDatabaseWorkFollows) {
  FakeSite site;
  FakeRequest req;
  bool after = false;
  auto page = site.runBody(
      [&] {
        openFrontDb();
        Response().Write("before");
        Response().End();
        after = true;  // never reached
      },
      req);
  EXPECT_EQ(page.body, "before");
  EXPECT_TRUE(page.ended);
  EXPECT_FALSE(after);
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
  EXPECT_THROW(Response(), frame::NoPageContext);
  EXPECT_THROW(Request(), frame::NoPageContext);
  EXPECT_THROW(Session(), frame::NoPageContext);
  EXPECT_THROW(Server(), frame::NoPageContext);
  EXPECT_THROW(Now(), frame::NoPageContext);
  EXPECT_THROW(openFrontDb(), frame::NoPageContext);
  EXPECT_THROW(checkAdmin(), frame::NoPageContext);
  // A component rendered without its start fails at its first host call.
  const frame::ComponentType* t = site.registry().find("mabex.test");
  auto c = t->create();
  EXPECT_THROW(t->find("main")->run(*c), frame::NoPageContext);

  FakeRequest req;
  std::string seenElsewhere = "unset";
  site.runBody(
      [&] {
        openFrontDb();
        std::thread([&] {
          try {
            Response();
            seenElsewhere = "shared";
          } catch (const frame::NoPageContext&) {
            seenElsewhere = "own";
          }
        }).join();
      },
      req);
  EXPECT_EQ(seenElsewhere, "own");
  // The page's end clears the host objects but keeps the connection.
  EXPECT_EQ(frame::pageContext().response, nullptr);
  EXPECT_EQ(frame::pageContext().session, nullptr);
  ASSERT_NE(conn(), nullptr);
  EXPECT_TRUE(conn()->isOpen());
}

}  // namespace
