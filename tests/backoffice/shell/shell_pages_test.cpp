// The shell's pages on the fake host: every page's guard, stored text shown escaped, the menu, the logout, the
// accounts and members, the maintenance pages. (Saves: back_office_http_test.cpp; restores under load: tests/crash.)
#include "backoffice/shell/maintenance.h"

#include <filesystem>
#include <fstream>
#include <regex>

#include "data/maintenance.h"
#include "support/over_http.h"
#include "support/site_rows.h"
#include "support/testing.h"

using namespace tovi::backoffice::shell;

// Every back-office page file, the orders' too, but the login, logout, menu and frameset (the browser's logout walk).
TEST(BackOfficeGuards, VisitorsAndMissingRightsSeeAndChangeNothing) {
  FakeSite site;
  addDish(site, Dish{.name = "秘密菜"});
  addMember(site, Member{.names = "秘密会员"});
  addAccount(site, "秘密账号", 2);
  insertRow(site.db(), "Feedback", {{"UserName", "秘密访客"}, {"Comments", "秘密"}, {"del", false}}, "ID");
  addOrder(site, Order{.yhm = "秘密客户"});
  setOrderFilters(site, {1, 10, 3, 1, "秘密"});
  const std::regex component(R"re(CreateObject\("([^"]+)"\))re"), open("login|chkadmin|logout|menu|index"),
      owners("manageadmin|saveadmin|database_menager[0-9]");
  int pages = 0;
  for (const auto& file : std::filesystem::directory_iterator(TOVI_SOURCE_DIR "/site/admin")) {
    const std::string name = file.path().stem().string();
    const std::string text = file.path().extension() == ".asp" ? readFile(file.path().string()) : "";
    std::smatch id;
    if (!std::regex_search(text, id, component) || std::regex_match(name, open)) continue;
    ++pages;
    const bool top = std::regex_match(name, owners);  // right 2 opens neither the accounts nor the database's
    const std::string noRight = top ? "您没有管理权限!!" : "您无此管理权限！";
    for (auto [flag, answer] : {std::pair{data::Value(), std::string("还没有登录请登录")}, {data::Value(3), noRight},
                                {data::Value(top ? 2 : 3), noRight}}) {
      SCOPED_TRACE(name + " right " + flag.text());
      FakeRequest req = flag.isEmpty() ? FakeRequest{} : operatorOf(flag);
      req.sameSitePost().query = {{"action", name == "order_pass" ? "save" : "del"}, {"id", "1"}, {"form1up", "yes"}};
      req.form = {{"selectdel", "1"}, {"id", "1"}, {"action", "删除"}, {"newsname", "秘密新闻"}, {"Content", "x"},
                  {"radiobutton", "0"}, {"order_time", "1"}, {"order_times", "1"}, {"order_delet", "0"}, {"sh", "1"}};
      expectTexts(site.run(id[1], req, "admin").body, {answer}, {"秘密"});
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
  auto id = [](long long n, Fields more = {}) { more.emplace_back("id", std::to_string(n)); return more; };
  const Fields dish = id(addDish(site, Dish{.name = x, .jiage = x, .lei = x, .content = x, .pic = x})),
               news = id(insertRow(site.db(), "cyxw", {{"title", x}, {"content", x}, {"dates", data::DateTime{}}})),
               member = id(addMember(site, Member{.names = x, .address = x})),
               message = id(insertRow(site.db(), "Feedback", {{"UserName", x}, {"UserMail", x}, {"qq", x},
                                                              {"Comments", x}, {"Replay", x}, {"del", false}}, "ID"),
                            {{"action", "replay"}});
  addAccount(site, x, 2);
  site.db().Execute({"update bulletin set content=?", {x}});
  for (auto [page, query] : {std::pair{"kcdg", Fields{}}, {"cygl", {}}, {"kcdgedit", dish}, {"cyxw", {}},
                             {"cyxwedit", news}, {"book_admin", {}}, {"book_admin", message}, {"reg", {}},
                             {"reg1", member}, {"manageadmin", {}}, {"bulletin", {}}})
    expectPage(site, {.name = page, .page = page, .query = query, .has = {"&lt;x&#39;&quot;y&gt;"},
                      .hasNot = {"<x", "'\"y"}});
}

TEST(MenuAndLogout, TheMenuNamesTheRightTheLogoutEmptiesTheKeysKeepingTheSession) {
  FakeSite site;
  for (auto [flag, identity] : {std::pair{data::Value(1), "系统CEO (站长)"}, {"2", "管理员"}, {3, ""}, {"abc", ""}}) {
    FakeRequest req = operatorOf(flag, "老板<script>x</script>");
    expectTexts(site.run("mabex.menu", req, "admin").body,
                {">老板&lt;script&gt;x&lt;/script&gt;<", "份：<font color=red>" + std::string(identity) + "</font>"},
                {"<script>x"});
  }
  FakeRequest req = operatorOf(1);
  PageResult out = site.run("mabex.logout", req, "admin");
  EXPECT_EQ(out.redirect + "|" + req.session["admin"].text() + req.session["flag"].text() + "|" +
                (out.abandoned ? "abandoned" : "kept"), "./Index.asp||kept");
}

TEST(AccountsPage, OwnersFirstWithTheirRightsTrimmed) {
  FakeSite site;
  long long a = addAccount(site, "  waiter  ", 2), b = addAccount(site, "owner", 1), c = addAccount(site, "odd", 7);
  std::string body = runAs(site, "mabex.manageadmin", {}).body;
  auto at = [&](long long id) { return body.find("action='saveadmin.asp?action=edit&id=" + std::to_string(id) + "'"); };
  ASSERT_NE(at(c), std::string::npos);
  EXPECT_LT(at(b), at(a));
  EXPECT_LT(at(a), at(c));
  expectTexts(body, {"value='waiter'", "saveadmin.asp?id=" + std::to_string(c) + "&action=del'"});
  // Four forms with the site's own owner "admin"; each right checked as stored, none for right 7.
  for (auto [text, n] : {std::pair{"action=edit", 4}, {"name=flag value=1 checked", 2},
                         {"name=flag type=radio value=2 checked", 1}, {"name=flag value=1", 3}})
    EXPECT_EQ(occurrences(body, text), n) << text;
}

TEST(MemberPages, RowsTwentyAPageAndRecordShowApprovalAndRefuseBadIds) {
  FakeSite site;
  expectPage(site, {.name = "no member", .page = "reg", .has = {"暂无用户！！"}, .hasNot = {"<table"}, .ended = true});
  const long long approved = addMember(site, Member{.names = "王", .sh = 1, .sex = 1}),
                  waiting = addMember(site, Member{.names = "李", .sh = 0, .sex = 2}),
                  unset = addMember(site, Member{.sh = data::Value::null()});
  const std::string a = std::to_string(approved), w = std::to_string(waiting);
  const std::string list = runAs(site, "mabex.reg", {}).body;
  for (long long id : {approved, waiting, unset})
    expectTexts(list, {"reg1.asp?id=" + std::to_string(id) + "'", "reg3.asp?id=" + std::to_string(id) + "'"});
  EXPECT_EQ(occurrences(list, "已 审 核"), 1);
  EXPECT_EQ(occurrences(list, "未 审 核"), 2);
  expectPage(site, {.name = "approved", .page = "reg1", .query = {{"id", a}},
                    .has = {"action='./reg2.asp?id=" + a + "'", "value='王'", "value='1990年3月9日'", "<td>男</td>",
                            "value='1' checked>审核"}});
  expectPage(site, {.name = "waiting", .page = "reg1", .query = {{"id", w}},
                    .has = {"<td>女</td>", "value='0' checked>不审核"}});
  for (auto [id, message] : {std::pair{std::string("1.5"), "参数错误"}, {std::to_string(unset + 100), "该用户不存在"}})
    expectPage(site, {.name = "id " + id, .page = "reg1", .query = {{"id", id}}, .has = {message},
                      .hasNot = {"<form"}, .ended = true});
  for (int i = 4; i <= 41; ++i) addMember(site, Member{.names = "m" + std::to_string(i)});
  const std::string last = runAs(site, "mabex.reg", {{"CurrentPage", "99"}}).body;
  EXPECT_EQ(occurrences(last, "<a href='reg1.asp?id="), 1);
  expectTexts(last, {"&nbsp;m41</td>", "</select>页/共3页共41条记录", "<option selected>3</option>"});
}

TEST(Maintenance, SizesInBytesKilobytesOrMegabytes) {
  for (auto [bytes, text] : {std::pair{812ull, "812 字节"}, {1023ull, "1023 字节"}, {1024ull, "1.0 KB"},
                             {36045ull, "35.2 KB"}, {4299161ull, "4.1 MB"}})
    EXPECT_EQ(sizeText(bytes), text);
}

// On a fixed clock, for the names. Files in the backup folder not named as the pages name backups are no backups.
TEST(MaintenancePages, BackUpCompactAndRestoreOnlyAListedBackup) {
  FakeSite site;
  addMember(site, Member{.names = "kept"});
  auto page = [&](int n, Fields form = {}, int hour = 10, const char* origin = "") {
    FakeRequest req = operatorOf(1);
    req.http = true;
    if (!form.empty()) req.sameSitePost().form = std::move(form);
    if (*origin) req.headers["Origin"] = origin;
    req.now = data::DateTime{2024, 3, 9, hour, 15, 0};
    return site.run("tovi.database_menager" + std::to_string(n), req, "admin").body;
  };
  const std::string folder = site.root() + "/database/backup";
  std::filesystem::create_directories(folder + "/tamlo-dir.mdb");
  for (const char* n : {"other.mdb", "tamlo-x.txt"}) std::ofstream(folder + "/" + n) << "x";
  EXPECT_THAT(page(4), HasSubstr("还没有备份文件"));
  EXPECT_THAT(page(2, {{"Submit", "1"}}, 10, "http://evil.example"), HasSubstr("操作被拒绝"));
  EXPECT_THAT(page(2, {{"Submit", "1"}}), HasSubstr("备份完成：database/backup/tamlo-20240309-101500.mdb"));
  page(2, {{"Submit", "1"}});  // a second backup in the same second gets its own name (listed below)
  addMember(site, Member{.names = "lost"});
  EXPECT_THAT(page(3, {{"Submit", "1"}}), HasSubstr("压缩完成："));  // keeping both members (counted below)
  EXPECT_THAT(page(4), HasSubstr("<input type='radio' name='backup' value='tamlo-20240309-101500.mdb'>"));
  for (const char* name : {"", "../tamlo.mdb", "../../etc/passwd", "tamlo-20990101-000000.mdb", "other.mdb"})
    EXPECT_THAT(page(4, {{"backup", name}, {"Submit", "1"}}), HasSubstr("history.go(-1)")) << name;
  EXPECT_EQ(rowCount(site, "reg"), 2);
  EXPECT_THAT(page(4, {{"backup", "tamlo-20240309-101500.mdb"}}, 11),
              HasSubstr("已恢复备份 tamlo-20240309-101500.mdb；恢复前的数据库已备份为 tamlo-20240309-111500.mdb。"));
  EXPECT_EQ(valuesOf(site.db(), "select * from reg", "names"), std::vector<std::string>{"kept"});
  EXPECT_THAT(listBackups(folder),
              ElementsAre("tamlo-20240309-111500.mdb", "tamlo-20240309-101500.mdb", "tamlo-20240309-101500-2.mdb"));
  EXPECT_THROW(data::backup(site.databasePath(), folder + "/tamlo-20240309-111500.mdb"), data::Error);  // never over
}
