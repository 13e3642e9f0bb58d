// The catalogue's pages on the fake host: the editor forms and the checks they share, the lists, the guestbook's
// administration. (Refusals: back_office_http_test.cpp; stored text shown escaped: shell_pages_test.cpp.)
#include "backoffice/catalogue/book_admin.h"
#include "backoffice/catalogue/editor_form.h"
#include "support/site_rows.h"
#include "support/testing.h"

using namespace tovi::backoffice::catalogue;

namespace {
PageResult save(FakeSite& site, std::string page, Fields query, std::string name, std::string price,
                std::string fblx = "xp") {
  return runAs(site, "mabex." + page, std::move(query), {{"newsname", name}, {"jiage", price},
               {"addname", " uploadpic/a.png "}, {"Content", "<p><b>好</b></p>"}, {"fblx", fblx}});
}
// Name, price, group, category, picture, content and date of the stored dish.
std::string dishRow(FakeSite& site, long long id) {
  const Dish d = storedDish(site, id).value();
  return d.name + "|" + d.jiage + "|" + d.lei + "|" + std::to_string(d.lei2) + "|" + d.pic + "|" + d.content + "|" +
         d.dates.iso();
}
long long addMessage(FakeSite& site, const std::string& name, const std::string& comments = "你好", bool del = false,
                     data::DateTime at = {2024, 2, 1, 12, 0, 0}) {
  return insertRow(site.db(), "Feedback", {{"UserName", name}, {"Comments", comments}, {"PostDate", at}, {"Dates", at},
                                      {"Replay", ""}, {"top", 0}, {"Online", 1}, {"del", del}}, "ID");
}
PageResult guestbook(FakeSite& site, Fields query, Fields form = {}) {
  return runAs(site, "mabex.book_admin", std::move(query), std::move(form));
}
Fields detail(long long id) { return {{"action", "replay"}, {"id", std::to_string(id)}}; }
std::string tickBox(long long id) { return R"(name="id" value=")" + std::to_string(id) + "\""; }
}  // namespace

TEST(EditorForm, PricesArePlainNumbersAndTickedIdsWholeNumbers) {
  for (auto [price, plain] : {std::pair{"12", true}, {"8.5", true}, {"0", true}, {"0012.50", true}, {"", false},
                              {"12元", false}, {"8.", false}, {".5", false}, {"-3", false}, {"1e3", false},
                              {"1,5", false}, {" 8", false}, {"1.2.3", false}})
    EXPECT_EQ(isPlainPrice(price), plain) << price;
  for (auto [list, ids] : {std::pair{"", "{}"}, {"  ", "{}"}, {"7", "{ 7 }"}, {"7, 9 ,11", "{ 7, 9, 11 }"},
                           {"7) or (1=1", "-"}, {"7, x", "-"}, {"7,,9", "-"}, {"7,", "-"}, {"7.5", "-"}, {"0x1", "-"},
                           {"99999999999", "-"}})
    EXPECT_EQ(parseIdList(list) ? ::testing::PrintToString(*parseIdList(list)) : "-", ids) << list;
}

TEST(DishForm, AddStoresTrimmedFieldsWithItsPagesCategoryEditKeepsDateAndCategory) {
  const std::string sent = "|uploadpic/a.png|<p><b>好</b></p>|";  // the picture trimmed, the content as posted
  for (auto [page, fblx, list, group] : {std::tuple{"kcdgadd", "xp", "kcdg", "新品推荐|1"},
                                         {"jpsqadd", "lc", "jpsq", "招牌老菜|2"}, {"ylxgadd", "XP", "ylxg", "招牌老菜|3"}}) {
    FakeSite site;
    EXPECT_THAT(save(site, page, {{"form1up", "yes"}}, "  红\"烧肉 ", " 8.5 ", fblx).body,
                HasSubstr("添加成功！');window.location.href='" + std::string(list) + ".asp'"));
    EXPECT_EQ(dishRow(site, 1), "红\"烧肉|8.5|" + std::string(group) + sent + "2024-03-09 10:00:00");
  }
  FakeSite site;
  const long long id = addDish(site, Dish{.name = "旧", .jiage = "9", .lei = "新品推荐", .lei2 = 2, .dates = {2020, 5, 6}});
  // Its category's edit page, and the home-page list's, which edits any; a refusal of each check changes nothing.
  for (auto [page, name, price, fblx, answer, kept] :
       {std::tuple{"jpsqedit", " 新 ", "15", "lc", "更改成功！');window.location.href='jpsq.asp';", "新|15|招牌老菜|2"},
        {"cygledit", "再改", "16", "xp", "更改成功！');window.location.href='cygl.asp';", "再改|16|新品推荐|2"},
        {"cygledit", "", "12", "xp", "请填写餐饮名称", "再改|16|新品推荐|2"},
        {"jpsqedit", "鱼", "12元", "xp", "价格只能是数字", "再改|16|新品推荐|2"}}) {
    EXPECT_THAT(save(site, page, {{"action", "save"}, {"id", std::to_string(id)}}, name, price, fblx).body,
                HasSubstr(answer));
    EXPECT_EQ(dishRow(site, id), kept + sent + "2020-05-06 00:00:00") << page;
  }
}

TEST(DishForm, TheEditFormShowsItsCategorysDishTrimmedAndCallsAnyOtherIdIllegal) {
  FakeSite site;
  const std::string id =
      std::to_string(addDish(site, Dish{.name = " 老王 ", .jiage = " 12 ", .lei = "招牌老菜", .pic = " a.jpg "}));
  const std::string drink = std::to_string(addDish(site, Dish{.name = "可乐", .lei2 = 3}));
  expectPage(site, {.name = "edit", .page = "kcdgedit", .query = {{"id", id}},
                    .has = {R"(value="老王">)", R"(value="12">)", R"(value="a.jpg">)", R"(value="lc" checked>)",
                            R"(action="kcdgedit.asp?action=save&id=)" + id + "\""}});
  // Another category's, none, and ids no whole number that fits 32 bits.
  for (const std::string& bad : std::vector<std::string>{drink, "999", "", "1.0", "2147483648"}) {
    expectPage(site, {.name = bad, .page = "kcdgedit", .query = {{"id", bad}}, .has = {"非法访问!"}, .hasNot = {"<form"},
                      .ended = true});
    EXPECT_THAT(save(site, "kcdgedit", {{"action", "save"}, {"id", bad}}, "改掉", "1").body, HasSubstr("非法访问!"));
  }
  EXPECT_EQ(storedDish(site, std::stoll(drink))->name, "可乐");
}

TEST(NewsForm, AddStampsTheDateAnEditKeepsIt) {
  FakeSite site;
  auto stored = [&](long long id) {
    auto field = [&](const char* name) { return fieldOf(site, "cyxw", "id", id, name); };
    return field("title") + "|" + field("content") + "|" + field("dates");
  };
  runAs(site, "mabex.cyxwadd", {{"form1up", "yes"}}, {{"newsname", "  春节营业 "}, {"Content", "<p>照常<b>营业</b></p>"}});
  EXPECT_EQ(stored(1), "春节营业|<p>照常<b>营业</b></p>|2024-3-9 10:00:00");
  const long long old = insertRow(site.db(), "cyxw", {{"title", "旧"}, {"dates", data::DateTime{2020, 5, 6}}});
  runAs(site, "mabex.cyxwedit", {{"action", "save"}, {"id", std::to_string(old)}},
        {{"newsname", " 改 "}, {"Content", "新"}});
  EXPECT_EQ(stored(old), "改|新|2020-5-6 0:00:00");
  EXPECT_THAT(runAs(site, "mabex.cyxwedit", {{"action", "save"}, {"id", "7"}}, {{"newsname", "t"}}).body,
              HasSubstr("非法访问!"));
}

// The placeholder while there is no notice or an empty one; saves fill the one row.
TEST(BulletinForm, PlaceholderWhileEmptyAndOneRowOverwritten) {
  FakeSite site;
  site.db().Execute("delete from bulletin");
  for (const char* content : {"", "<p>本周八折</p>"}) {
    EXPECT_THAT(runAs(site, "mabex.bulletin", {}).body, HasSubstr(">暂时没有消息！！</textarea>"));
    runAs(site, "mabex.bulletin", {{"action", "save"}}, {{"Content", content}});
  }
  EXPECT_EQ(valuesOf(site.db(), "select * from bulletin", "content"), std::vector<std::string>{"<p>本周八折</p>"});
}

TEST(ListPage, PagingClampsTheWantedPageAndLinksTheOthers) {
  FakeSite site;
  addDishes(site, 3, 2);  // another category's only
  expectPage(site, {.name = "empty", .page = "kcdg", .has = {"您还没有添加新闻！"}, .hasNot = {"selectdel", "页次"}});
  // Rows, the page asked for, the page shown (newest first) of how many, its tick boxes. Page 3 of 40: page 1.
  for (auto [rows, asked, shown, pages, boxes] :
       {std::tuple{20, "", 1, 1, 20}, {21, "2", 2, 2, 1}, {41, "2", 2, 3, 20}, {41, "9", 3, 3, 1}, {40, "3", 1, 2, 20},
        {41, "-5", 1, 3, 20}, {41, "2.5", 1, 3, 20}, {41, "99999999999", 1, 3, 20}}) {
    SCOPED_TRACE(std::to_string(rows) + " rows, page " + asked);
    site.db().Execute("delete from cygl where lei2=1");
    addDishes(site, rows);
    std::string body = runAs(site, "mabex.kcdg", {{"page", asked}}).body;
    EXPECT_EQ(occurrences(body, R"(name="selectdel")"), boxes);
    expectTexts(body, {">菜" + std::to_string(rows - (shown - 1) * 20) + "</a>", "共有" + std::to_string(rows) + "条新闻",
                       ">" + std::to_string(shown) + "</font><font class='contents'>/" + std::to_string(pages) + "页"});
    auto link = [](int n, const char* label) { return "?page=" + std::to_string(n) + " class='contents'>" + label; };
    EXPECT_EQ(occurrences(body, link(1, "首页")) + occurrences(body, link(shown - 1, "上一页")), shown > 1 ? 2 : 0);
    EXPECT_EQ(occurrences(body, link(shown + 1, "下一页")) + occurrences(body, link(pages, "尾页")), shown < pages ? 2 : 0);
  }
}

// Each list its own rows (the home page's every category's, as stored, and no add link); a delete its own rows only.
TEST(ListPage, EachListShowsAndDeletesItsOwnRows) {
  FakeSite site;
  const long long fast = addDish(site, Dish{.name = "  快餐A ", .lei2 = 1, .pic = " p.jpg "}),
                  drink = addDish(site, Dish{.name = "饮料B", .jiage = "3.5", .lei2 = 3});
  addDish(site, Dish{.name = "快餐C", .lei2 = 1});
  const std::string news = std::to_string(insertRow(site.db(), "cyxw", {{"title", " 开业酬宾 "}, {"content", "<p>x</p>"},
                                                                        {"dates", data::DateTime{2024, 3, 1, 9, 5, 0}}}));
  const std::string f = std::to_string(fast), d = std::to_string(drink);
  auto link = [](std::string p, std::string id, std::string t) { return p + "edit.asp?id=" + id + "\">" + t + "</a>"; };
  using Texts = std::vector<std::string>;
  for (auto [page, has, hasNot] :
       {std::tuple{"kcdg", Texts{link("kcdg", f, "快餐A"), R"(">p.jpg</td>)"}, "饮料B"},
        {"ylxg", Texts{link("ylxg", d, "饮料B"), R"(">3.5</td>)", R"(<a href="ylxgadd.asp">)"}, "快餐"},
        {"cygl", Texts{link("cygl", f, "  快餐A "), "饮料B"}, "add.asp"},
        {"cyxw", Texts{link("cyxw", news, "开业酬宾"), ">2024-3-1 9:05:00</td>"}, "快餐"}})
    expectPage(site, {.name = page, .page = page, .has = has, .hasNot = {hasNot}});
  auto tick = [&](const char* p, std::string ids) { return runAs(site, p, {{"action", "del"}}, {{"selectdel", ids}}); };
  EXPECT_EQ(tick("mabex.kcdg", "").redirect, "kcdg.asp") << "nothing ticked: back to the list";
  EXPECT_EQ(tick("mabex.kcdg", f + ", " + d).redirect, "kcdg.asp");
  EXPECT_EQ(valuesOf(site.db(), "select * from cygl order by id", "name"), (std::vector<std::string>{"饮料B", "快餐C"}));
  tick("mabex.cygl", d);  // the home-page list deletes whatever the category
  EXPECT_FALSE(storedDish(site, drink));
}

TEST(BookAdmin, LleftCutsByCodePageWidthKeepingTheCharacterThatCrossesTheBudget) {
  for (auto [text, budget, cut] : {std::tuple{std::string(), 50, std::string()}, {"abc", 50, "abc"},
                                   {std::string(60, 'a'), 50, std::string(50, 'a')}, {"一二三", 4, "一二"},
                                   {"一二三", 3, "一二"}, {"a一b", 2, "a一"}, {"a一b", 1, "a"}})
    EXPECT_EQ(book_admin::lleft(text, budget), cut) << text << "/" << budget;
}

TEST(BookAdmin, ReviewSwitchSavesBothWaysAndRefusesOtherValues) {
  FakeSite site;
  for (auto [view, stored] : {std::pair{"0", "0"}, {"1", "1"}, {"0", "0"}, {"7", "0"}}) {
    EXPECT_THAT(guestbook(site, {{"action", "setup"}}, {{"view", view}, {"save", "ok"}}).body,
                HasSubstr(*view == '7' ? "请选择" : "已保存"));
    EXPECT_EQ(valuesOf(site.db(), "select * from view2", "view"), std::vector<std::string>{stored});
    EXPECT_THAT(guestbook(site, {}).body, HasSubstr(R"(name="view" value=")" + std::string(stored) + R"(" checked>)"));
  }
}

// Newest first, a pinned one before all without a tick box; texts saved with their line breaks; deleted ones hidden.
TEST(BookAdmin, ListDetailAndReplyPinHideAndKeepLineBreaks) {
  FakeSite site;
  const long long older = addMessage(site, "甲", "第一行<BR>第二行", false, {2024, 1, 1, 0, 0, 0}),
                  newer = addMessage(site, "乙", "你好", false, {2024, 1, 2, 0, 0, 0});
  addMessage(site, "已删", "你好", true);
  expectTexts(guestbook(site, {}).body, {"新留言", "第一行<br>第二行"});
  expectTexts(guestbook(site, detail(older)).body, {">第一行\r\n第二行</textarea>", R"(name="Online" value="1" checked>公开)"});
  for (auto [top, first, second] : {std::tuple{"1", "甲", "乙"}, {"0", "乙", "甲"}}) {
    guestbook(site, detail(older), {{"comments", "第一行\r\n第二行"}, {"Replay", "谢谢\r\n欢迎"}, {"top", top},
                               {"Online", "0"}, {"send", "ok"}});
    const std::string body = guestbook(site, {}).body, pin = ">TOP</font>";
    EXPECT_LT(body.find(std::string(">") + first + "</td>"), body.find(std::string(">") + second + "</td>")) << top;
    const bool pinned = *top == '1';
    expectTexts(body, {tickBox(newer), pinned ? pin : tickBox(older), ">已回复</td>"},
                {"已删", pinned ? tickBox(older) : pin});
  }
  auto stored = [&](const char* field) { return fieldOf(site, "Feedback", "ID", older, field); };
  EXPECT_EQ(stored("Comments") + "|" + stored("Replay") + "|" + stored("ReplayDate"),
            "第一行<BR>第二行|谢谢<BR>欢迎|2024-3-9 10:00:00");
  expectTexts(guestbook(site, detail(older)).body, {">谢谢\r\n欢迎</textarea>", R"(name="Online" value="0" checked> 隐藏)"});
}

TEST(BookAdmin, DeleteRemovesTheTickedMessagesAndPagesHoldTen) {
  FakeSite site;
  const long long a = addMessage(site, "访客"), gone = addMessage(site, "访客", "你好", true), b = addMessage(site, "访客");
  guestbook(site, {}, {{"action", "删除"}, {"id", std::to_string(a)}, {"id", std::to_string(gone)}});
  EXPECT_EQ(valuesOf(site.db(), "select * from Feedback", "ID"), std::vector<std::string>{std::to_string(b)});
  for (int i = 1; i < 25; ++i) addMessage(site, "访客", "你好", false, data::DateTime{2024, 1, 1, 0, 0, 0}.addSeconds(i));
  const std::string p2 = "共25条留言 <a href='book_admin.asp?page=1'>首页</a> <a href='book_admin.asp?page=1'>前页</a> "
                        "<a href='book_admin.asp?page=3'>下页</a> <a href='book_admin.asp?page=3'>末页</a>   第2页 共3页";
  for (auto [asked, boxes, bar] : {std::tuple{"2", 10, p2}, {"3", 5, "<font color=darkgray >下页 末页</font>  第3页"},
                                   {"4", 10, "第1页 共3页"}, {"x", 10, "第1页 共3页"}}) {
    const std::string body = guestbook(site, {{"page", asked}}).body;
    EXPECT_EQ(occurrences(body, R"(name="id" value=")"), boxes) << asked;
    EXPECT_THAT(body, HasSubstr(bar));
  }
}
