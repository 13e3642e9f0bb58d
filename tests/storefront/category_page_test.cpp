// The three category pages: each lists its own category in a grid of at most three rows of three, and stored values
// stay inside their attributes.
#include <filesystem>
#include <fstream>

#include "support/site_rows.h"
#include "support/testing.h"

TEST(CategoryPage, EachListsItsOwnCategoryInAtMostThreeRowsOfThree) {
  const std::tuple<const char*, int, std::string> pages[] = {
      {"mabex.kcdgbody", 1, "快餐"}, {"mabex.jpsqbody", 2, "精品"}, {"mabex.ylxgbody", 3, "饮料"}};
  for (auto [dishes, cells, rows] : {std::tuple{0, 0, 0}, {3, 3, 1}, {4, 4, 2}, {9, 9, 3}, {10, 9, 3}}) {
    FakeSite site;
    for (const auto& [id, lei2, prefix] : pages) addDishes(site, dishes, lei2, prefix);
    for (const auto& [id, lei2, prefix] : pages) {
      SCOPED_TRACE(::testing::Message() << id << " with " << dishes);
      FakeRequest req;
      const std::string body = site.run(id, req).body;
      EXPECT_EQ(occurrences(body, "<td width=160 height=210"), cells);
      EXPECT_EQ(occurrences(body, "<tr><td width=160 height=210"), rows);
      for (const auto& [otherId, otherLei2, other] : pages)
        EXPECT_EQ(occurrences(body, "value='" + other + "1'"), dishes && other == prefix ? 1 : 0) << other;
    }
  }
}

TEST(CategoryPage, StoredValuesCannotBreakOutOfTheirAttributes) {
  FakeSite site;
  addDish(site, {.name = "O'Neil\"<script>x()</script>", .jiage = "9'", .lei2 = 2, .pic = "x.jpg' onerror='alert(1)"});
  FakeRequest req;
  expectTexts(site.run("mabex.jpsqbody", req).body,
              {"name='name1' value='O&#39;Neil&quot;&lt;script&gt;x()&lt;/script&gt;'", "name='jiage1' value='9&#39;'",
               "<img src='x.jpg&#39; onerror=&#39;alert(1)' alt='O&#39;Neil&quot;&lt;script&gt;x()&lt;/script&gt;'",
               "aria-label='O&#39;Neil&quot;&lt;script&gt;x()&lt;/script&gt; 数量'"},
              {"<script>x()", "' onerror='alert(1)"});
}

// An uploaded picture is shown by its small copy where the upload made one; any other path as it is, never looked up.
TEST(CategoryPage, PicturesAreShownByTheirSmallCopyWhereThereIsOne) {
  const std::string a(32, 'a'), b(32, 'b');
  for (auto [pic, shown] : {std::pair<std::string, std::string>{"uploadpic/" + a + ".jpg", "uploadpic/" + a + "-s.jpg"},
                            {"uploadpic/" + b + ".png", "uploadpic/" + b + ".png"},  // stored before copies were made
                            {"../uploadpic/" + a + ".jpg", "../uploadpic/" + a + ".jpg"},
                            {"uploadpic/" + a + ".jpeg", "uploadpic/" + a + ".jpeg"},
                            {"images/dishes/d01.jpg", "images/dishes/d01.jpg"}}) {
    FakeSite site;
    std::filesystem::create_directories(site.root() + "/uploadpic");
    std::ofstream(site.root() + "/uploadpic/" + a + "-s.jpg") << "small";
    addDish(site, {.lei = "新品推荐", .pic = pic});
    FakeRequest category, home;
    EXPECT_THAT(site.run("mabex.kcdgbody", category).body, HasSubstr("<img src='" + shown + "'"));
    // The home page links the picture as stored; its hover box shows the copy.
    expectTexts(site.run("mabex.indexbody", home).body, {"href='" + pic + "'", "'" + shown + "'); return true"}, {});
  }
}
