// The three category pages: each lists its own category in a grid of at most
// three rows of three, and stored values stay inside their attributes.
#include "support/site_rows.h"
#include "support/testing.h"

constexpr const char* kDishCell = "<td width=160 height=210";
constexpr const char* kRowStart = "<tr><td width=160 height=210";
constexpr const char* kSpacer = "<td><samp style='width:9'>&nbsp;</samp></td>";

TEST(CategoryPage, GridHoldsAtMostThreeRowsOfThree) {
  for (auto [dishes, cells, rows] : {std::tuple{0, 0, 0}, {3, 3, 1}, {4, 4, 2}, {9, 9, 3}, {10, 9, 3}}) {
    SCOPED_TRACE(dishes);
    FakeSite site;
    addDishes(site, dishes, 1, "快餐");
    FakeRequest req;
    PageResult page = site.run("mabex.kcdgbody", req);
    for (const char* cell : {kDishCell, kSpacer, "name='number'",
                             "<img src='images/dishes/d01.jpg' width=123 height=93 border=1>"})
      EXPECT_EQ(occurrences(page.body, cell), cells) << cell;
    EXPECT_EQ(occurrences(page.body, kRowStart), rows);
    EXPECT_EQ(page.body.find("快餐10<br>"), std::string::npos);
  }
}

TEST(CategoryPage, EachPageListsItsOwnCategory) {
  FakeSite site;
  addDishes(site, 2, 1, "快餐");
  addDishes(site, 2, 2, "精品", "新品推荐");
  addDishes(site, 2, 3, "饮料");
  for (auto [id, shown] : {std::pair{"mabex.kcdgbody", "快餐"}, {"mabex.jpsqbody", "精品"}, {"mabex.ylxgbody", "饮料"}}) {
    SCOPED_TRACE(id);
    FakeRequest req;
    PageResult page = site.run(id, req);
    EXPECT_EQ(occurrences(page.body, kDishCell), 2);
    for (std::string prefix : {"快餐", "精品", "饮料"})
      EXPECT_EQ(occurrences(page.body, "value='" + prefix + "1'"), prefix == shown ? 1 : 0) << prefix;
  }
}

TEST(CategoryPage, StoredValuesCannotBreakOutOfTheirAttributes) {
  FakeSite site;
  addDish(site, {.name = "O'Neil\"<script>x()</script>", .jiage = "9'", .lei2 = 2, .pic = "x.jpg' onerror='alert(1)"});
  FakeRequest req;
  PageResult page = site.run("mabex.jpsqbody", req);
  EXPECT_THAT(page.body, Not(HasSubstr("<script>x()")));
  EXPECT_THAT(page.body, Not(HasSubstr("' onerror='alert(1)")));
  EXPECT_THAT(page.body, HasSubstr("name='name1' value='O&#39;Neil&quot;&lt;script&gt;x()&lt;/script&gt;'"));
  EXPECT_THAT(page.body, HasSubstr("name='jiage1' value='9&#39;'"));
}
