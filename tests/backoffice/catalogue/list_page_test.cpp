// The back-office list pattern: paging, the rows written, the multi-delete. (Bad ticks: parseIdList's table in
// dish_form_test.cpp; deletes from elsewhere: catalogue_http_test.cpp; stored text escaped: frame_pages_test.cpp.)
#include "support/site_rows.h"
#include "support/testing.h"

TEST(ListPage, PagingClampsTheWantedPageAndLinksTheOthers) {
  FakeSite site;
  addDishes(site, 3, 2);  // another category's only
  expectPage(site, {.name = "empty", .page = "kcdg", .has = {"<p align='center' class='contents'> 您还没有添加新闻！</p>"},
                    .hasNot = {"selectdel", "页次"}});
  struct Case {
    int rows;
    std::string page;
    int shown, pages, boxes;
  };
  for (const Case& c : {Case{20, "", 1, 1, 20}, Case{21, "2", 2, 2, 1}, Case{41, "2", 2, 3, 20}, Case{41, "9", 3, 3, 1},
                        Case{40, "3", 1, 2, 20},  // starts exactly at the end: the first page
                        Case{41, "-5", 1, 3, 20}, Case{41, "2.5", 1, 3, 20}, Case{41, "99999999999", 1, 3, 20}}) {
    SCOPED_TRACE(std::to_string(c.rows) + " rows, page " + c.page);
    site.db().Execute("delete from cygl where lei2=1");
    addDishes(site, c.rows);
    std::string body = runAs(site, "mabex.kcdg", {{"page", c.page}}).body;
    EXPECT_EQ(occurrences(body, R"(name="selectdel")"), c.boxes);
    // The newest first.
    expectTexts(body, {">菜" + std::to_string(c.rows - (c.shown - 1) * 20) + "</a>",
                       "共有" + std::to_string(c.rows) + "条新闻",
                       "页次：</font><font class='contents'>" + std::to_string(c.shown) +
                           "</font><font class='contents'>/" + std::to_string(c.pages) + "页</font>"});
    auto link = [](int n, const char* label) {
      return "<a href=kcdg.asp?page=" + std::to_string(n) + " class='contents'>" + label + "</a>";
    };
    EXPECT_EQ(occurrences(body, link(1, "首页")) + occurrences(body, link(c.shown - 1, "上一页")), c.shown > 1 ? 2 : 0);
    EXPECT_EQ(occurrences(body, link(c.shown + 1, "下一页")) + occurrences(body, link(c.pages, "尾页")),
              c.shown < c.pages ? 2 : 0);
  }
}

// Each list its own rows: a category's with its add link, the home page's every category without one and its
// cells as stored, the news with trimmed titles and their dates. A delete takes only the ticked rows of its list.
TEST(ListPage, EachListShowsAndDeletesItsOwnRows) {
  FakeSite site;
  const long long fast = addDish(site, Dish{.name = "  快餐A ", .lei2 = 1, .pic = " p.jpg "}),
                  drink = addDish(site, Dish{.name = "饮料B", .jiage = "3.5", .lei2 = 3}),
                  other = addDish(site, Dish{.name = "快餐C", .lei2 = 1});
  const std::string news = std::to_string(insertRow(
      site, "cyxw", {{"title", " 开业酬宾 "}, {"content", "<p>x</p>"}, {"dates", data::DateTime{2024, 3, 1, 9, 5, 0}}}));
  const std::string f = std::to_string(fast), d = std::to_string(drink);
  for (const PageCase& c : {
           PageCase{.name = "kcdg", .page = "kcdg",
                    .has = {R"(<a href="kcdgedit.asp?id=)" + f + R"(">快餐A</a>)", R"(align="center">p.jpg</td>)"},
                    .hasNot = {"饮料B"}},
           PageCase{.name = "ylxg", .page = "ylxg",
                    .has = {R"(<a href="ylxgedit.asp?id=)" + d + R"(">饮料B</a>)", R"(align="center">3.5</td>)",
                            R"(<a href="ylxgadd.asp">增加餐饮</a>)"}},
           PageCase{.name = "cygl", .page = "cygl",
                    .has = {R"(<a href="cygledit.asp?id=)" + f + R"(">  快餐A </a>)", "饮料B"}, .hasNot = {"增加餐饮"}},
           PageCase{.name = "cyxw", .page = "cyxw",
                    .has = {R"(<a href="cyxwedit.asp?id=)" + news + R"(">开业酬宾</a>)", ">2024-3-1 9:05:00</td>"}}})
    expectPage(site, c);
  auto tick = [&](const char* page, const std::string& ids) {
    return runAs(site, page, {{"action", "del"}}, {{"selectdel", ids}}).redirect;
  };
  EXPECT_EQ(tick("mabex.kcdg", ""), "kcdg.asp") << "nothing ticked: back to the list";
  EXPECT_EQ(tick("mabex.kcdg", f + ", " + d), "kcdg.asp");
  EXPECT_FALSE(storedDish(site, fast));
  EXPECT_TRUE(storedDish(site, drink)) << "another category's dish stays";
  EXPECT_TRUE(storedDish(site, other));
  tick("mabex.cygl", d);  // the home-page list deletes whatever the category
  EXPECT_FALSE(storedDish(site, drink));
}
