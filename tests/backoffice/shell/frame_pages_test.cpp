// The back-office menu, and the guards in front of every back-office page, the order pages' too.
// (The login form, the check and the logout: the site pages' HTTP suite and the browser's login walk.)
#include "support/site_rows.h"
#include "support/testing.h"

TEST(BackOfficeGuards, VisitorsAndMissingRightsSeeAndChangeNothing) {
  FakeSite site;
  addDish(site, Dish{.name = "秘密菜"});
  addMember(site, Member{.names = "秘密会员"});
  addAccount(site, "秘密账号", 2);
  insertRow(site, "Feedback", {{"UserName", "秘密访客"}, {"Comments", "秘密"}, {"del", false}}, "ID");
  addOrder(site, Order{.yhm = "秘密客户"});
  setOrderFilters(site, {1, 10, 3, 1, "秘密"});
  const std::string login = "alert('网络超时或者您还没有登录请登录", noRight = "您无此管理权限！";
  struct Case {
    const char* page;
    data::Value flag;  // empty: not logged in
    std::string answer;
    const char* action = "del";
  };
  for (const Case& c : {Case{"mabex.kcdg", "", login}, Case{"mabex.kcdg", 3, noRight}, Case{"mabex.cygl", "", login},
                        Case{"mabex.kcdgedit", "", login}, Case{"mabex.cyxwadd", "", login},
                        Case{"mabex.book_admin", "", login}, Case{"mabex.book_admin", 3, noRight},
                        Case{"mabex.bulletin", "", login}, Case{"mabex.reg", "", login}, Case{"mabex.reg", 0, noRight},
                        Case{"mabex.reg1", "", login}, Case{"mabex.admin", "", login}, Case{"mabex.admin", 3, noRight},
                        Case{"mabex.manageadmin", "", login + "!!');window.location.href='login.asp';"},
                        Case{"mabex.manageadmin", 2, "alert('您没有管理权限!!');window.location.href='admin.asp';"},
                        Case{"mabex.ddgl", "", login}, Case{"mabex.ddgl", 3, noRight}, Case{"mabex.ddgl1", "", login},
                        Case{"mabex.ddgl1", 3, noRight}, Case{"mabex.order_pass", "", login, "save"},
                        Case{"mabex.order_pass", 3, noRight, "save"}}) {
    SCOPED_TRACE(std::string(c.page) + " right " + c.flag.text());
    FakeRequest req = c.flag.blank() ? FakeRequest{} : operatorOf(c.flag);
    req.sameSitePost().query = {{"action", c.action}, {"id", "1"}, {"form1up", "yes"}};
    req.form = {{"selectdel", "1"}, {"id", "1"}, {"action", "删除"}, {"newsname", "秘密新闻"}, {"Content", "x"},
                {"radiobutton", "0"}, {"order_time", "1"}, {"order_times", "1"}, {"order_delet", "0"}};
    PageResult page = site.run(c.page, req, "admin");
    EXPECT_TRUE(page.ended);
    expectTexts(page.body, {c.answer}, {"秘密"});
  }
  for (auto [table, rows] :
       {std::pair{"cygl", 1}, {"reg", 1}, {"Feedback", 1}, {"tdgl", 1}, {"cyxw", 0}, {"wq_admin", 2}})
    EXPECT_EQ(rowCount(site, table), rows) << table;
  EXPECT_EQ(orderFilters(site), (OrderFilters{1, 10, 3, 1, "秘密"}));
  // Right 2 works every page but the accounts.
  for (const char* page : {"mabex.kcdg", "mabex.book_admin", "mabex.reg", "mabex.admin"}) {
    FakeRequest req = operatorOf(2);
    PageResult out = site.run(page, req, "admin");
    EXPECT_FALSE(out.ended) << page;
    EXPECT_THAT(out.body, Not(HasSubstr(noRight))) << page;
  }
}

TEST(MenuPage, IdentityFollowsTheRightNameEscapedEntriesTheSame) {
  FakeSite site;
  std::string entries;
  for (auto [flag, identity] : {std::pair{data::Value(1), "系统CEO (站长)"}, {data::Value(2), "管理员"}, {"2", "管理员"},
                                {3, ""}, {0, ""}, {"", ""}, {"abc", ""}}) {
    SCOPED_TRACE(flag.text());
    FakeRequest req = operatorOf(flag, "老板<script>x</script>");
    std::string body = site.run("mabex.menu", req, "admin").body;
    expectTexts(body, {"用户名：<font color=red>老板&lt;script&gt;x&lt;/script&gt;</font>",
                       "身&nbsp;&nbsp;份：<font color=red>" + std::string(identity) + "</font>"},
                {"<script>x"});
    std::size_t from = body.find("id=submenu0");
    std::string mine = body.substr(from, body.find("系统信息") - from);
    if (entries.empty()) entries = mine;
    EXPECT_EQ(mine, entries) << "the same entries for every right";
  }
  // Two, four, five and four entries; no rows for the empty cells.
  EXPECT_EQ(occurrences(entries, "<img src='../images/bullet.gif'>"), 15);
  for (const char* target : {"manageadmin.asp", "order_pass.asp", "database_menager4.asp"})
    EXPECT_THAT(entries, HasSubstr(std::string("<a href=") + target + " target=right>"));
}
