// The home page: eight new and twenty-four signature dishes at most, each
// list by its group whatever the category, and the hover box's calls.
#include <array>

#include "support/site_rows.h"
#include "support/testing.h"

const std::string kNewCell = "<td height=32 align=center bgcolor=#FFFFFF>",
                  kSignatureCell = "<td height=32 align=center><table";

TEST(HomePage, ListsHoldEightNewAndTwentyFourSignatureDishes) {
  // Each shown dish carries its order field; the hover box is written even when the first list is empty.
  const std::vector<std::string> texts = {kNewCell, "<tr>" + kNewCell, kSignatureCell, "<tr>" + kSignatureCell,
                                          "name='name' value=", "name='name1' value=", "<div id='overDiv'", "别组菜"};
  // Dishes stored in each group; shown and rows of the new list (two a row), of the signature list (three a row).
  for (auto [newDishes, signatureDishes, newShown, newRows, signatureShown, signatureRows] :
       {std::array{0, 0, 0, 0, 0, 0}, {1, 3, 1, 1, 3, 1}, {8, 24, 8, 4, 24, 8}, {9, 25, 8, 4, 24, 8}, {3, 4, 3, 2, 4, 2}}) {
    SCOPED_TRACE(::testing::Message() << newDishes << " new, " << signatureDishes << " signature");
    FakeSite site;
    addDishes(site, newDishes, 2, "新菜", "新品推荐");
    addDishes(site, signatureDishes, 3, "老菜");
    addDish(site, {.name = "别组菜", .lei = "其他", .lei2 = 1});  // neither group: never shown
    FakeRequest req;
    PageResult page = site.run("mabex.indexbody", req);
    std::vector<int> counts;
    for (const std::string& text : texts) counts.push_back(occurrences(page.body, text));
    EXPECT_EQ(counts, (std::vector<int>{newShown, newRows, signatureShown, signatureRows, newShown, signatureShown, 1, 0}));
  }
}

TEST(HomePage, HoverCallsCarryTheExactDescriptionAndEscapedNames) {
  FakeSite site;
  addDish(site, {.name = "it's", .lei = "新品推荐", .content = "don't \"stop\"", .pic = "a'.jpg"});
  addDish(site, {.name = "沙茶面", .lei = "招牌老菜", .content = "汤", .pic = "images/dishes/d06.jpg"});
  FakeRequest req;
  PageResult page = site.run("mabex.indexbody", req);
  // JavaScript escapes first, then entities: the browser hands drc the exact
  // description (the new list adds a line break), and name and picture as
  // text for the box's markup.
  expectTexts(page.body,
              {"drc('don\\&#39;t \\&quot;stop\\&quot;\\x3Cbr\\x3E','it\\x26#39;s','a\\x26#39;.jpg')",
               "drc('汤','沙茶面','images/dishes/d06.jpg')", "href='a&#39;.jpg'"},
              {"don't"});
  // New dishes come first in the form, so their order lines come first.
  EXPECT_LT(page.body.find("value='it&#39;s'"), page.body.find("value='沙茶面'"));
}
