// The back-office list pattern: paging, the rows written, the multi-delete. (Bad ticks: parseIdList's table in
// dish_form_test.cpp; deletes from elsewhere: catalogue_http_test.cpp; stored text escaped: frame_pages_test.cpp.)
#include "support/site_rows.h"
#include "support/testing.h"

TEST(ListPage, PagingClampsTheWantedPageAndLinksTheOthers) {
  FakeSite site;
  addDishes(site, 3, 2);  // another category's only
  expectPage(site, {.name = "empty", .page = "kcdg", .has = {"您还没有添加新闻！"}, .hasNot = {"selectdel", "页次"}});
  // Rows, the page asked for, the page shown of how many, and its tick boxes; page 3 of 40 rows would start at the
  // end: the first is shown.
  for (auto [rows, asked, shown, pages, boxes] :
       {std::tuple{20, "", 1, 1, 20}, {21, "2", 2, 2, 1}, {41, "2", 2, 3, 20}, {41, "9", 3, 3, 1}, {40, "3", 1, 2, 20},
        {41, "-5", 1, 3, 20}, {41, "2.5", 1, 3, 20}, {41, "99999999999", 1, 3, 20}}) {
    SCOPED_TRACE(std::to_string(rows) + " rows, page " + asked);
    site.db().Execute("delete from cygl where lei2=1");
    addDishes(site, rows);
    std::string body = runAs(site, "mabex.kcdg", {{"page", asked}}).body;
    EXPECT_EQ(occurrences(body, R"(name="selectdel")"), boxes);
    // The newest first.
    expectTexts(body, {">菜" + std::to_string(rows - (shown - 1) * 20) + "</a>", "共有" + std::to_string(rows) + "条新闻",
                       ">" + std::to_string(shown) + "</font><font class='contents'>/" + std::to_string(pages) + "页"});
    auto link = [](int n, const char* label) { return "?page=" + std::to_string(n) + " class='contents'>" + label; };
    EXPECT_EQ(occurrences(body, link(1, "首页")) + occurrences(body, link(shown - 1, "上一页")), shown > 1 ? 2 : 0);
    EXPECT_EQ(occurrences(body, link(shown + 1, "下一页")) + occurrences(body, link(pages, "尾页")), shown < pages ? 2 : 0);
  }
}

// Each list its own rows: a category's with its add link, the home page's every category without one and its
// cells as stored, the news with trimmed titles and their dates. A delete takes only the ticked rows of its list.
TEST(ListPage, EachListShowsAndDeletesItsOwnRows) {
  FakeSite site;
  const long long fast = addDish(site, Dish{.name = "  快餐A ", .lei2 = 1, .pic = " p.jpg "}),
                  drink = addDish(site, Dish{.name = "饮料B", .jiage = "3.5", .lei2 = 3});
  addDish(site, Dish{.name = "快餐C", .lei2 = 1});
  const std::string news = std::to_string(insertRow(
      site, "cyxw", {{"title", " 开业酬宾 "}, {"content", "<p>x</p>"}, {"dates", data::DateTime{2024, 3, 1, 9, 5, 0}}}));
  const std::string f = std::to_string(fast), d = std::to_string(drink);
  for (const PageCase& c : {
           PageCase{.name = "kcdg", .page = "kcdg",
                    .has = {R"(<a href="kcdgedit.asp?id=)" + f + R"(">快餐A</a>)", R"(">p.jpg</td>)"},
                    .hasNot = {"饮料B"}},
           PageCase{.name = "ylxg", .page = "ylxg",
                    .has = {R"(<a href="ylxgedit.asp?id=)" + d + R"(">饮料B</a>)", R"(">3.5</td>)",
                            R"(<a href="ylxgadd.asp">)"}},
           PageCase{.name = "cygl", .page = "cygl",
                    .has = {R"(<a href="cygledit.asp?id=)" + f + R"(">  快餐A </a>)", "饮料B"}, .hasNot = {"add.asp"}},
           PageCase{.name = "cyxw", .page = "cyxw",
                    .has = {R"(<a href="cyxwedit.asp?id=)" + news + R"(">开业酬宾</a>)", ">2024-3-1 9:05:00</td>"}}})
    expectPage(site, c);
  auto tick = [&](const char* page, const std::string& ids) {
    return runAs(site, page, {{"action", "del"}}, {{"selectdel", ids}}).redirect;
  };
  EXPECT_EQ(tick("mabex.kcdg", ""), "kcdg.asp") << "nothing ticked: back to the list";
  EXPECT_EQ(tick("mabex.kcdg", f + ", " + d), "kcdg.asp");
  EXPECT_EQ(valuesOf(site, "select * from cygl order by id", "name"), (std::vector<std::string>{"饮料B", "快餐C"}));
  tick("mabex.cygl", d);  // the home-page list deletes whatever the category
  EXPECT_FALSE(storedDish(site, drink));
}
