// The shared procedures: the guards, the database open and the per-thread page context.
#include "frame/module1.h"

#include <map>
#include <thread>

#include "support/site_rows.h"
#include "support/testing.h"

using namespace frame::Module1;

// Both guards for each session and account: checkAdmin admits rights 1 and 2, checkTopAdmin only 1; the account
// as it is now counts, never above what the login granted. A guard that stops the page ends it.
TEST(Guards, AdmitOrStopByTheSessionKeysAndTheAccountNow) {
  const data::Value none;
  // What checkAdmin and checkTopAdmin answer: P the page, L log in, R no right.
  const std::map<char, std::pair<std::string, std::string>> answer = {
      {'P', {"PAGE", "PAGE"}},
      {'L', {"还没有登录请登录');window.location.href='login.asp'", "登录请登录!!');window.location.href='login.asp'"}},
      {'R', {"<b>您无此管理权限！</b>", "alert('您没有管理权限!!');window.location.href='admin.asp'"}}};
  // Per case the session's keys (none: never set), both guards' answers, the account's right now (none: gone).
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
    for (auto [guard, expected] :
         {std::pair{&checkAdmin, answer.at(c.answers[0]).first}, {&checkTopAdmin, answer.at(c.answers[1]).second}}) {
      auto page = site.runBody([guard] { openAdminDb(); guard(); Response().Write("PAGE"); }, req, "admin");
      EXPECT_THAT(page.body, HasSubstr(expected));
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
    EXPECT_EQ(conn() && conn()->isOpen() ? conn()->path() : "closed", site.databasePath());
  }
  bool ran = false;
  site.runBody([&] { std::thread([&] { EXPECT_THROW(Response(), frame::NoPageContext); ran = true; }).join(); }, req);
  EXPECT_TRUE(ran);
}
