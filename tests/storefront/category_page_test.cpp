// The three category pages: each lists its own category in a grid of at most
// three rows of three, and stored values stay inside their attributes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/site_rows.h"

namespace tovi::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kDishCell = "<td width=160 height=210";
constexpr const char* kRowStart = "<tr><td width=160 height=210";
constexpr const char* kSpacer = "<td><samp style='width:9'>&nbsp;</samp></td>";

TEST(CategoryPage, GridHoldsAtMostThreeRowsOfThree) {
  struct Case {
    int dishes, cells, rows;
  };
  for (Case c : {Case{0, 0, 0}, Case{3, 3, 1}, Case{4, 4, 2}, Case{9, 9, 3}, Case{10, 9, 3}}) {
    SCOPED_TRACE(c.dishes);
    FakeSite site;
    addDishes(site, c.dishes, 1, "快餐");
    FakeRequest req;
    PageResult page = site.run("mabex.kcdgbody", req);
    EXPECT_EQ(occurrences(page.body, kDishCell), c.cells);
    EXPECT_EQ(occurrences(page.body, kSpacer), c.cells);
    EXPECT_EQ(occurrences(page.body, kRowStart), c.rows);
    EXPECT_EQ(occurrences(page.body, "name='number'"), c.cells);
    EXPECT_EQ(occurrences(page.body, "<img src='images/dishes/d01.jpg' width=123 height=93 border=1>"), c.cells);
    EXPECT_EQ(page.body.find("快餐10<br>"), std::string::npos);
  }
}

TEST(CategoryPage, EachPageListsItsOwnCategory) {
  FakeSite site;
  addDishes(site, 2, 1, "快餐");
  addDishes(site, 2, 2, "精品", "新品推荐");
  addDishes(site, 2, 3, "饮料");
  struct Case {
    const char *id, *shown;
  };
  for (Case c : {Case{"mabex.kcdgbody", "快餐"}, Case{"mabex.jpsqbody", "精品"}, Case{"mabex.ylxgbody", "饮料"}}) {
    SCOPED_TRACE(c.id);
    FakeRequest req;
    PageResult page = site.run(c.id, req);
    EXPECT_EQ(occurrences(page.body, kDishCell), 2);
    for (const char* prefix : {"快餐", "精品", "饮料"})
      EXPECT_EQ(occurrences(page.body, std::string("value='") + prefix + "1'"), prefix == std::string(c.shown) ? 1 : 0);
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

}  // namespace
}  // namespace tovi::testing
