// The back-office list pattern: paging, the rows written, the multi-delete.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "catalogue_fixture.h"

using namespace tovi;
using namespace tovi::testing;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

PageResult listPage(FakeSite& site, const std::string& id, const std::string& page = "") {
  if (page.empty()) return runAs(site, id, {});
  return runAs(site, id, {{"page", page}});
}

std::string position(int page, int pages) {
  return "页次：</font><font class='contents'>" + std::to_string(page) + "</font><font class='contents'>/" +
         std::to_string(pages) + "页</font>";
}

TEST(ListPage, PagingClampsTheWantedPage) {
  struct Case {
    int rows;
    std::string page;
    int shownPage, pages, boxes;
    std::string firstShown;  // the newest row of the page shown
  };
  const Case cases[] = {
      {20, "", 1, 1, 20, "菜20"},     // one full page
      {21, "2", 2, 2, 1, "菜1"},      // the oldest alone on page 2
      {41, "3", 3, 3, 1, "菜1"},
      {41, "9", 3, 3, 1, "菜1"},      // beyond the end: the last page
      {40, "3", 1, 2, 20, "菜40"},    // starts exactly at the end: the first page
      {41, "0", 1, 3, 20, "菜41"},
      {41, "-5", 1, 3, 20, "菜41"},
      {41, "2.5", 1, 3, 20, "菜41"},  // not a whole number
      {41, "abc", 1, 3, 20, "菜41"},
      {41, "99999999999", 1, 3, 20, "菜41"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.rows) + " rows, page " + c.page);
    FakeSite site;
    addDishes(site, c.rows);
    PageResult page = listPage(site, "mabex.kcdg", c.page);
    EXPECT_EQ(occurrences(page.body, R"(name="selectdel")"), c.boxes);
    EXPECT_THAT(page.body, HasSubstr(position(c.shownPage, c.pages)));
    EXPECT_THAT(page.body, HasSubstr(">" + c.firstShown + "</a>"));
    EXPECT_THAT(page.body, HasSubstr("共有" + std::to_string(c.rows) + "条新闻"));
  }
}

TEST(ListPage, NavigationLinksDependOnThePosition) {
  FakeSite site;
  addDishes(site, 41);
  PageResult first = listPage(site, "mabex.kcdg", "1");
  EXPECT_THAT(first.body, HasSubstr("<font class='contents'>首页 上一页</font>"));
  EXPECT_THAT(first.body, HasSubstr("<a href=kcdg.asp?page=2 class='contents'>下一页</a> "
                                    "<a href=kcdg.asp?page=3 class='contents'>尾页</a>"));
  PageResult middle = listPage(site, "mabex.kcdg", "2");
  EXPECT_THAT(middle.body, HasSubstr("<a href=kcdg.asp?page=1 class='contents'>首页</a> "
                                     "<a href=kcdg.asp?page=1 class='contents'>上一页</a>"));
  EXPECT_THAT(middle.body, HasSubstr("<a href=kcdg.asp?page=3 class='contents'>尾页</a>"));
  PageResult last = listPage(site, "mabex.kcdg", "3");
  EXPECT_THAT(last.body, HasSubstr("<font class='contents'>下一页 尾页</font>"));
  EXPECT_THAT(last.body, HasSubstr("name='page' size=2 maxlength=10 class=smallInput value=3>"));
}

TEST(ListPage, EmptyListShowsTheMessageAndNoForm) {
  FakeSite site;
  addDishes(site, 3, 2);  // other category only
  PageResult page = listPage(site, "mabex.kcdg");
  EXPECT_THAT(page.body, HasSubstr("<p align='center' class='contents'> 您还没有添加新闻！</p>"));
  EXPECT_THAT(page.body, Not(HasSubstr("selectdel")));
  EXPECT_THAT(page.body, Not(HasSubstr("页次")));
}

TEST(ListPage, EachListShowsItsOwnRows) {
  FakeSite site;
  long long fast = addDish(site, Dish{.name = "  快餐A ", .lei2 = 1, .pic = " p.jpg "});
  long long drink = addDish(site, Dish{.name = "饮料B", .jiage = "3.5", .lei = "招牌老菜", .lei2 = 3});
  PageResult kcdg = listPage(site, "mabex.kcdg");
  EXPECT_THAT(kcdg.body, HasSubstr(R"(<a href="kcdgedit.asp?id=)" + std::to_string(fast) + R"(">快餐A</a>)"));
  EXPECT_THAT(kcdg.body, HasSubstr(R"(align="center">p.jpg</td>)"));
  EXPECT_THAT(kcdg.body, Not(HasSubstr("饮料B")));
  PageResult ylxg = listPage(site, "mabex.ylxg");
  EXPECT_THAT(ylxg.body, HasSubstr(R"(<a href="ylxgedit.asp?id=)" + std::to_string(drink) + R"(">饮料B</a>)"));
  EXPECT_THAT(ylxg.body, HasSubstr(R"(align="center">3.5</td>)"));
  EXPECT_THAT(ylxg.body, HasSubstr(R"(<a href="ylxgadd.asp">增加餐饮</a>)"));
  // The home-page list: every category, cells as stored, no add link.
  PageResult cygl = listPage(site, "mabex.cygl");
  EXPECT_THAT(cygl.body, HasSubstr(R"(<a href="cygledit.asp?id=)" + std::to_string(fast) + R"(">  快餐A </a>)"));
  EXPECT_THAT(cygl.body, HasSubstr("饮料B"));
  EXPECT_THAT(cygl.body, Not(HasSubstr("增加餐饮")));
}

TEST(ListPage, StoredValuesAreEscaped) {
  FakeSite site;
  addDish(site, Dish{.name = "<script>x</script>", .jiage = "1\"2", .lei = "<b>", .pic = "a'.jpg"});
  PageResult page = listPage(site, "mabex.kcdg");
  EXPECT_THAT(page.body, Not(HasSubstr("<script>x")));
  EXPECT_THAT(page.body, HasSubstr("&lt;script&gt;x&lt;/script&gt;"));
  EXPECT_THAT(page.body, HasSubstr("1&quot;2"));
  EXPECT_THAT(page.body, HasSubstr("a&#39;.jpg"));
  EXPECT_THAT(page.body, HasSubstr("&lt;b&gt;"));
}

TEST(ListPage, NewsListShowsTitlesAndDates) {
  FakeSite site;
  data::Recordset rs;
  rs.Open("select * from cyxw", site.db(), data::adOpenKeyset, data::adLockOptimistic);
  rs.AddNew();
  rs("title") = " 开业酬宾 ";
  rs("content") = "<p>x</p>";
  rs("dates") = data::DateTime{2024, 3, 1, 9, 5, 0};
  rs.Update();
  std::string id = rs("id").text();
  rs.Close();
  PageResult page = listPage(site, "mabex.cyxw");
  EXPECT_THAT(page.body, HasSubstr(R"(<a href="cyxwedit.asp?id=)" + id + R"(">开业酬宾</a>)"));
  EXPECT_THAT(page.body, HasSubstr(">2024-3-1 9:05:00</td>"));
}

PageResult deleteTicked(FakeSite& site, const std::string& id, const std::string& ticked) {
  return runAs(site, id, {{"action", "del"}}, {{"selectdel", ticked}});
}

TEST(ListPage, DeleteRemovesTheTickedRowsOfItsCategory) {
  FakeSite site;
  long long a = addDish(site, Dish{.lei2 = 1}), b = addDish(site, Dish{.lei2 = 1}), c = addDish(site, Dish{.lei2 = 1});
  long long drink = addDish(site, Dish{.lei2 = 3});
  PageResult page = deleteTicked(site, "mabex.kcdg",
                                 std::to_string(a) + ", " + std::to_string(c) + ", " + std::to_string(drink));
  EXPECT_EQ(page.redirect, "kcdg.asp");
  EXPECT_EQ(rowCount(site, "cygl"), 2);
  EXPECT_TRUE(storedDish(site, b));
  EXPECT_TRUE(storedDish(site, drink)) << "another category's dish stays";
  // The home-page list deletes whatever the category.
  deleteTicked(site, "mabex.cygl", std::to_string(drink));
  EXPECT_FALSE(storedDish(site, drink));
}

TEST(ListPage, BadDeletesChangeNothing) {
  struct Case {
    std::string ticked;
    bool sameSite;
    std::string answer;
  };
  const Case cases[] = {
      {"1) or (1=1", true, "所选的编号无效"},
      {"1, x", true, "所选的编号无效"},
      {"1,,2", true, "所选的编号无效"},
      {"1.5", true, "所选的编号无效"},
      {"1", false, "操作被拒绝"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ticked);
    FakeSite site;
    addDishes(site, 2);
    FakeRequest req = operatorOf();
    req.http = true;  // without a same-site post: a link to the delete address (a GET) from anywhere
    if (c.sameSite) req.sameSitePost();
    req.query = {{"action", "del"}};
    req.form = {{"selectdel", c.ticked}};
    PageResult page = site.run("mabex.kcdg", req, "admin");
    EXPECT_TRUE(page.ended);
    EXPECT_THAT(page.body, HasSubstr(c.answer));
    EXPECT_EQ(rowCount(site, "cygl"), 2);
  }
  FakeSite site;
  addDishes(site, 2);
  EXPECT_EQ(deleteTicked(site, "mabex.kcdg", "").redirect, "kcdg.asp") << "nothing ticked: back to the list";
  EXPECT_EQ(rowCount(site, "cygl"), 2);
}

TEST(ListPage, GuardRefusesVisitorsNotLoggedIn) {
  FakeSite site;
  addDishes(site, 1);
  FakeRequest req;
  req.query = {{"action", "del"}};
  req.form = {{"selectdel", "1"}};
  PageResult page = site.run("mabex.kcdg", req, "admin");
  EXPECT_THAT(page.body, HasSubstr("网络超时或者您还没有登录请登录"));
  EXPECT_THAT(page.body, Not(HasSubstr("<html>")));
  EXPECT_EQ(rowCount(site, "cygl"), 1);
}

}  // namespace
