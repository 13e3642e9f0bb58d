// The guard in front of every back-office page (the order pages' too), stored text shown escaped, the menu and the
// logout. (The guards' rules themselves: tests/frame's guard table; the login check: tests/accounts.)
#include <filesystem>
#include <regex>

#include "support/over_http.h"
#include "support/site_rows.h"
#include "support/testing.h"

// Every page file of the back office but the login's, the logout's and the menu's, the order pages' too.
TEST(BackOfficeGuards, VisitorsAndMissingRightsSeeAndChangeNothing) {
  FakeSite site;
  addDish(site, Dish{.name = "秘密菜"});
  addMember(site, Member{.names = "秘密会员"});
  addAccount(site, "秘密账号", 2);
  insertRow(site, "Feedback", {{"UserName", "秘密访客"}, {"Comments", "秘密"}, {"del", false}}, "ID");
  addOrder(site, Order{.yhm = "秘密客户"});
  setOrderFilters(site, {1, 10, 3, 1, "秘密"});
  const std::regex component(R"re(CreateObject\("([^"]+)"\))re");
  int pages = 0;
  for (const auto& file : std::filesystem::directory_iterator(TOVI_SOURCE_DIR "/site/admin")) {
    const std::string name = file.path().filename().string();
    const std::string text = name.ends_with(".asp") ? readFile(file.path().string()) : "";
    std::smatch id;
    if (!std::regex_search(text, id, component) || name == "login.asp" || name == "chkadmin.asp" ||
        name == "logout.asp" || name == "menu.asp")
      continue;
    ++pages;
    // Right 3 opens none, right 2 neither the accounts nor the database's; the frameset only wants a login.
    const bool top = name == "manageadmin.asp" || name == "saveadmin.asp" || name.starts_with("database_menager");
    const std::string noRight = top ? "alert('您没有管理权限!!');window.location.href='admin.asp';" : "您无此管理权限！";
    for (auto [flag, answer] : {std::pair{data::Value(), std::string("alert('网络超时或者您还没有登录请登录")},
                                {data::Value(3), noRight}, {data::Value(top ? 2 : 3), noRight}}) {
      SCOPED_TRACE(name + " right " + flag.text());
      FakeRequest req = flag.isEmpty() ? FakeRequest{} : operatorOf(flag);
      req.sameSitePost().query = {{"action", name == "order_pass.asp" ? "save" : "del"}, {"id", "1"},
                                  {"form1up", "yes"}};
      req.form = {{"selectdel", "1"}, {"id", "1"}, {"action", "删除"}, {"newsname", "秘密新闻"}, {"Content", "x"},
                  {"radiobutton", "0"}, {"order_time", "1"}, {"order_times", "1"}, {"order_delet", "0"}, {"sh", "1"}};
      PageResult out = site.run(id[1], req, "admin");
      if (name == "index.asp") {
        EXPECT_EQ(out.redirect, flag.isEmpty() ? "login.asp" : "");
        continue;
      }
      EXPECT_TRUE(out.ended);
      expectTexts(out.body, {answer}, {"秘密"});
    }
  }
  EXPECT_GT(pages, 35);
  for (auto [table, rows] :
       {std::pair{"cygl", 1}, {"reg", 1}, {"Feedback", 1}, {"tdgl", 1}, {"cyxw", 0}, {"wq_admin", 2}})
    EXPECT_EQ(rowCount(site, table), rows) << table;
  EXPECT_EQ(orderFilters(site), (OrderFilters{1, 10, 3, 1, "秘密"}));
  EXPECT_FALSE(std::filesystem::exists(site.root() + "/database/backup"));
}

// Whatever a visitor, a member or an operator stored is shown as text on every page that shows it.
TEST(BackOfficePages, ShowStoredTextEscaped) {
  FakeSite site;
  const std::string x = "<x'\"y>";
  auto id = [](long long n) { return Fields{{"id", std::to_string(n)}}; };
  const Fields dish = id(addDish(site, Dish{.name = x, .jiage = x, .lei = x, .content = x, .pic = x})),
               news = id(insertRow(site, "cyxw", {{"title", x}, {"content", x}, {"dates", data::DateTime{}}})),
               member = id(addMember(site, Member{.names = x, .address = x}));
  Fields message = id(insertRow(site, "Feedback", {{"UserName", x}, {"UserMail", x}, {"qq", x}, {"Comments", x},
                                                   {"Replay", x}, {"del", false}}, "ID"));
  message.emplace_back("action", "replay");
  addAccount(site, x, 2);
  site.db().Execute({"update bulletin set content=?", {x}});
  for (auto [page, query] : {std::pair{"kcdg", Fields{}}, {"cygl", {}}, {"kcdgedit", dish}, {"cyxw", {}},
                             {"cyxwedit", news}, {"book_admin", {}}, {"book_admin", message}, {"reg", {}},
                             {"reg1", member}, {"manageadmin", {}}, {"bulletin", {}}})
    expectPage(site, {.name = page, .page = page, .query = query, .has = {"&lt;x&#39;&quot;y&gt;"},
                      .hasNot = {"<x", "'\"y"}});
}

TEST(MenuPage, IdentityFollowsTheRightNameEscaped) {
  FakeSite site;
  for (auto [flag, identity] : {std::pair{data::Value(1), "系统CEO (站长)"}, {"2", "管理员"}, {3, ""}, {"abc", ""}}) {
    FakeRequest req = operatorOf(flag, "老板<script>x</script>");
    expectTexts(site.run("mabex.menu", req, "admin").body,
                {"用户名：<font color=red>老板&lt;script&gt;x&lt;/script&gt;</font>",
                 "身&nbsp;&nbsp;份：<font color=red>" + std::string(identity) + "</font>",
                 "manageadmin.asp target=right>"},
                {"<script>x"});
  }
}

TEST(Logout, EmptiesTheKeysKeepingTheSession) {
  FakeSite site;
  FakeRequest req = operatorOf(1);
  PageResult out = site.run("mabex.logout", req, "admin");
  EXPECT_EQ(out.redirect + "|" + req.session["admin"].text() + req.session["flag"].text(), "./Index.asp|");
  EXPECT_FALSE(out.abandoned);
}
