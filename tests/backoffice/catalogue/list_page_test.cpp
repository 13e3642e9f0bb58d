// The back-office list pattern: paging, the rows written, the multi-delete. (Bad ticks and deletes from
// elsewhere: catalogue_http_test.cpp.)
#include "support/site_rows.h"
#include "support/testing.h"

TEST(ListPage, PagingClampsTheWantedPageAndLinksTheOthers) {
  struct Case {
    int rows;
    std::string page;
    int shown, pages, boxes;
    std::string newest;  // the newest row of the page shown
  };
  for (const Case& c : {Case{20, "", 1, 1, 20, "菜20"}, Case{21, "2", 2, 2, 1, "菜1"}, Case{41, "2", 2, 3, 20, "菜21"},
                        Case{41, "3", 3, 3, 1, "菜1"}, Case{41, "9", 3, 3, 1, "菜1"},  // beyond the end: the last
                        Case{40, "3", 1, 2, 20, "菜40"},  // starts exactly at the end: the first page
                        Case{41, "0", 1, 3, 20, "菜41"}, Case{41, "-5", 1, 3, 20, "菜41"},
                        Case{41, "2.5", 1, 3, 20, "菜41"}, Case{41, "abc", 1, 3, 20, "菜41"},
                        Case{41, "99999999999", 1, 3, 20, "菜41"}}) {
    SCOPED_TRACE(std::to_string(c.rows) + " rows, page " + c.page);
    FakeSite site;
    addDishes(site, c.rows);
    std::string body = runAs(site, "mabex.kcdg", {{"page", c.page}}).body;
    EXPECT_EQ(occurrences(body, R"(name="selectdel")"), c.boxes);
    expectTexts(body, {">" + c.newest + "</a>", "共有" + std::to_string(c.rows) + "条新闻",
                       "class=smallInput value=" + std::to_string(c.shown) + ">",
                       "页次：</font><font class='contents'>" + std::to_string(c.shown) +
                           "</font><font class='contents'>/" + std::to_string(c.pages) + "页</font>"});
    auto link = [](int n, const char* label) {
      return "<a href=kcdg.asp?page=" + std::to_string(n) + " class='contents'>" + label + "</a>";
    };
    EXPECT_EQ(occurrences(body, link(1, "首页")) + occurrences(body, link(c.shown - 1, "上一页")), c.shown > 1 ? 2 : 0);
    EXPECT_EQ(occurrences(body, link(c.shown + 1, "下一页")) + occurrences(body, link(c.pages, "尾页")),
              c.shown < c.pages ? 2 : 0);
  }
  FakeSite site;
  addDishes(site, 3, 2);  // another category's only
  expectPage(site, {.name = "empty", .page = "kcdg", .has = {"<p align='center' class='contents'> 您还没有添加新闻！</p>"},
                    .hasNot = {"selectdel", "页次"}});
}

// The home-page list (cygl) holds every category with cells as stored and no
// add link; the news list trims titles.
TEST(ListPage, EachListShowsItsOwnRowsEscaped) {
  FakeSite site;
  const std::string fast = std::to_string(addDish(site, Dish{.name = "  快餐A ", .lei2 = 1, .pic = " p.jpg "})),
                    drink = std::to_string(addDish(site, Dish{.name = "饮料B", .jiage = "3.5", .lei2 = 3}));
  addDish(site, Dish{.name = "<script>x</script>", .jiage = "1\"2", .lei = "<b>", .pic = "a'.jpg"});
  const std::string news = std::to_string(insertRow(
      site, "cyxw", {{"title", " 开业酬宾 "}, {"content", "<p>x</p>"}, {"dates", data::DateTime{2024, 3, 1, 9, 5, 0}}}));
  for (const PageCase& c : {
           PageCase{.name = "kcdg", .page = "kcdg",
                    .has = {R"(<a href="kcdgedit.asp?id=)" + fast + R"(">快餐A</a>)", R"(align="center">p.jpg</td>)",
                            "&lt;script&gt;x&lt;/script&gt;", "1&quot;2", "a&#39;.jpg", "&lt;b&gt;"},
                    .hasNot = {"饮料B", "<script>x"}},
           PageCase{.name = "ylxg", .page = "ylxg",
                    .has = {R"(<a href="ylxgedit.asp?id=)" + drink + R"(">饮料B</a>)", R"(align="center">3.5</td>)",
                            R"(<a href="ylxgadd.asp">增加餐饮</a>)"}},
           PageCase{.name = "cygl", .page = "cygl",
                    .has = {R"(<a href="cygledit.asp?id=)" + fast + R"(">  快餐A </a>)", "饮料B"}, .hasNot = {"增加餐饮"}},
           PageCase{.name = "cyxw", .page = "cyxw",
                    .has = {R"(<a href="cyxwedit.asp?id=)" + news + R"(">开业酬宾</a>)", ">2024-3-1 9:05:00</td>"}}})
    expectPage(site, c);
}

TEST(ListPage, DeleteRemovesTheTickedRowsOfItsCategoryOnly) {
  FakeSite site;
  long long a = addDish(site, Dish{.lei2 = 1}), b = addDish(site, Dish{.lei2 = 1}), c = addDish(site, Dish{.lei2 = 1});
  long long drink = addDish(site, Dish{.lei2 = 3});
  auto tick = [&](const char* page, const std::string& ids) {
    return runAs(site, page, {{"action", "del"}}, {{"selectdel", ids}}).redirect;
  };
  const std::string ticked = std::to_string(a) + ", " + std::to_string(c) + ", " + std::to_string(drink);
  EXPECT_EQ(tick("mabex.kcdg", ticked), "kcdg.asp");
  EXPECT_EQ(rowCount(site, "cygl"), 2);
  EXPECT_TRUE(storedDish(site, b));
  EXPECT_TRUE(storedDish(site, drink)) << "another category's dish stays";
  EXPECT_EQ(tick("mabex.kcdg", ""), "kcdg.asp") << "nothing ticked: back to the list";
  EXPECT_EQ(rowCount(site, "cygl"), 2);
  tick("mabex.cygl", std::to_string(drink));  // the home-page list deletes whatever the category
  EXPECT_FALSE(storedDish(site, drink));
}
