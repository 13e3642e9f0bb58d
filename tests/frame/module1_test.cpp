// The shared procedures: the guards, the two fragments and the database open.
#include "frame/module1.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <thread>
#include <gtest/gtest.h>

#include "support/fake_host.h"

using namespace tovi;
using namespace tovi::frame::Module1;
using ::testing::HasSubstr;
using ::testing::Not;
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
  bool loggedIn;
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
  if (c.loggedIn) req.session["admin"] = "admin";
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

INSTANTIATE_TEST_SUITE_P(
    Frame, Guards,
    ::testing::Values(GuardCase{"NoSession", false, {}, kNotLoggedIn, kTopNotLoggedIn},
                      GuardCase{"EmptyName", false, 1, kNotLoggedIn, kTopNotLoggedIn},
                      GuardCase{"Owner", true, 1, "PAGE", "PAGE"},
                      GuardCase{"OwnerAsText", true, "1", "PAGE", "PAGE"},
                      GuardCase{"Administrator", true, 2, "PAGE", kTopNoRight},
                      GuardCase{"FlagThree", true, 3, kNoRight, kTopNoRight},
                      GuardCase{"FlagZero", true, 0, kNoRight, kTopNoRight},
                      GuardCase{"FlagEmptyText", true, "", kNoRight, kTopNoRight},
                      GuardCase{"FlagMissing", true, {}, kNoRight, kTopNoRight},
                      GuardCase{"FlagWord", true, "abc", kNoRight, kTopNoRight},
                      // The account as it is now counts, never above what the login granted.
                      GuardCase{"DemotedSinceLogin", true, 1, "PAGE", kTopNoRight, 2},
                      GuardCase{"PromotedSinceLogin", true, 2, "PAGE", kTopNoRight, 1},
                      GuardCase{"RightRemovedSinceLogin", true, 1, kNoRight, kTopNoRight, 3},
                      GuardCase{"DeletedSinceLogin", true, 1, kNotLoggedIn, kTopNotLoggedIn, 1, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Guards, EmptyNameStringCountsAsNotLoggedIn) {
  FakeSite site;
  FakeRequest req;
  req.session["ADMIN"] = "";  // logout leaves the key empty
  req.session["flag"] = 1;
  auto page = site.runBody(guardedPage(&checkAdmin), req, "admin");
  EXPECT_EQ(page.body, kGuardPreamble + kNotLoggedIn);
}

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

TEST(OpenDb, EachFolderReachesTheOneDatabase) {
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
}

TEST(OpenDb, AMissingDatabaseFailsThePage) {
  FakeSite site;
  std::filesystem::remove(site.databasePath());
  FakeRequest req;
  EXPECT_THROW(site.runBody([] { openFrontDb(); }, req, ""), data::Error);
}

TEST(Fragments, BannerRowsAndFooterBlock) {
  FakeSite site;
  FakeRequest req;
  std::string banner = site.runBody(&showBanner, req).body;
  EXPECT_EQ(banner.rfind("  <TR>   <TD>   <DIV align=right><object classid='clsid:D27CDB6E-AE6D-11cf-96B8-444553540000'", 0), 0u);
  EXPECT_THAT(banner, HasSubstr("#version=7,0,19,0' width='565' height='160'>"));
  EXPECT_THAT(banner, HasSubstr(" <param name='movie' value='./flash/in_21.swf' /><param name='quality' value='high' />"));
  EXPECT_THAT(banner, HasSubstr("<embed src='./flash/in_21.swf'"));
  EXPECT_THAT(banner, HasSubstr("type='application/x-shockwave-flash' width='565' height='160'"));
  EXPECT_THAT(banner, HasSubstr("</object></DIV></TD></TR> <TR> <TD height=17>&nbsp;</TD></TR>"));
  EXPECT_THAT(banner, ::testing::EndsWith("<TR>  <TD><IMG height=7  src = './images/jb1.gif' width=560></TD></TR>"));

  std::string footer = site.runBody(&showFooter, req).body;
  EXPECT_EQ(footer.rfind("<div align='center'><p><font color='#000000'><br>", 0), 0u);
  EXPECT_THAT(footer, HasSubstr("<br> <br></font>程序制作：<a href="));
  EXPECT_THAT(footer, ::testing::EndsWith("<br> </p>  </p></div>"));
}

TEST(PageContext, HostObjectsWithoutAStartedPageFailClearly) {
  frame::pageContext() = {};
  EXPECT_THROW(Response(), frame::NoPageContext);
  EXPECT_THROW(Request(), frame::NoPageContext);
  EXPECT_THROW(Session(), frame::NoPageContext);
  EXPECT_THROW(Server(), frame::NoPageContext);
  EXPECT_THROW(Now(), frame::NoPageContext);
  EXPECT_THROW(openFrontDb(), frame::NoPageContext);
  EXPECT_THROW(checkAdmin(), frame::NoPageContext);
}

TEST(PageContext, EndClearsTheHostObjectsButKeepsTheConnection) {
  FakeSite site;
  FakeRequest req;
  site.runBody([] { openFrontDb(); }, req);
  EXPECT_EQ(frame::pageContext().response, nullptr);
  EXPECT_EQ(frame::pageContext().session, nullptr);
  ASSERT_NE(conn(), nullptr);
  EXPECT_TRUE(conn()->isOpen());
}

TEST(PageContext, EachThreadHasItsOwn) {
  FakeSite site;
  FakeRequest req;
  std::string seenElsewhere = "unset";
  site.runBody(
      [&] {
        std::thread other([&] {
          try {
            Response();
            seenElsewhere = "shared";
          } catch (const frame::NoPageContext&) {
            seenElsewhere = "own";
          }
        });
        other.join();
      },
      req);
  EXPECT_EQ(seenElsewhere, "own");
}

}  // namespace
