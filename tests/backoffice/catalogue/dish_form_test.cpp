// The dish add and edit forms and the checks they share with the other catalogue pages. (Saves from another site
// or by a GET: catalogue_http_test.cpp; stored text shown escaped: frame_pages_test.cpp.)
#include "backoffice/catalogue/editor_form.h"
#include "support/site_rows.h"
#include "support/testing.h"

using namespace tovi::backoffice::catalogue;

namespace {
PageResult save(FakeSite& site, const std::string& page, Fields query, const std::string& name,
                const std::string& price, const std::string& fblx = "xp") {
  return runAs(site, "mabex." + page, std::move(query),
               {{"newsname", name}, {"jiage", price}, {"addname", " uploadpic/a.png "}, {"Content", "<p><b>好</b></p>"},
                {"fblx", fblx}});
}
std::string text(const Dish& d) { return d.name + "|" + d.jiage + "|" + d.lei + "|" + std::to_string(d.lei2); }
}  // namespace

TEST(EditorForm, PricesArePlainNumbersAndTickedIdsWholeNumbers) {
  for (auto [price, plain] : {std::pair{"12", true}, {"8.5", true}, {"0", true}, {"0012.50", true}, {"", false},
                              {"12元", false}, {"8.", false}, {".5", false}, {"-3", false}, {"1e3", false},
                              {"1,5", false}, {" 8", false}, {"1.2.3", false}})
    EXPECT_EQ(isPlainPrice(price), plain) << price;
  for (auto [list, ids] : {std::pair{"", "{}"}, {"  ", "{}"}, {"7", "{ 7 }"}, {"7, 9 ,11", "{ 7, 9, 11 }"},
                           {"7) or (1=1", "-"}, {"7, x", "-"}, {"7,,9", "-"}, {"7,", "-"}, {"7.5", "-"}, {"0x1", "-"},
                           {"99999999999", "-"}}) {
    auto parsed = parseIdList(list);
    EXPECT_EQ(parsed ? ::testing::PrintToString(*parsed) : "-", ids) << list;
  }
}

TEST(DishForm, AddStoresTrimmedFieldsWithItsPagesCategoryEditKeepsDateAndCategory) {
  for (auto [page, fblx, list, lei, lei2] : {std::tuple{"kcdgadd", "xp", "kcdg.asp", "新品推荐", 1},
                                             {"jpsqadd", "lc", "jpsq.asp", "招牌老菜", 2},
                                             {"ylxgadd", "XP", "ylxg.asp", "招牌老菜", 3}}) {
    SCOPED_TRACE(page);
    FakeSite site;
    EXPECT_EQ(afterGuard(save(site, page, {{"form1up", "yes"}}, "  红\"烧肉 ", " 8.5 ", fblx).body),
              "<script language=javascript>alert('添加成功！');window.location.href='" + std::string(list) +
                  "';</script>");
    const Dish d = storedDish(site, 1).value();
    EXPECT_EQ(text(d) + "|" + d.pic + "|" + d.content, "红\"烧肉|8.5|" + std::string(lei) + "|" + std::to_string(lei2) +
                                                           "|uploadpic/a.png|<p><b>好</b></p>");
    EXPECT_EQ(d.dates, (data::DateTime{2024, 3, 9, 10, 0, 0}));
  }
  FakeSite site;
  const Dish before{.name = "旧", .jiage = "9", .lei = "新品推荐", .lei2 = 2, .dates = {2020, 5, 6, 7, 8, 9}};
  const std::string id = std::to_string(addDish(site, before));
  // Its category's edit page, and the home-page list's, which edits any.
  for (auto [page, name, fblx, answer, stored] :
       {std::tuple{"jpsqedit", " 新 ", "lc", "更改成功！');window.location.href='jpsq.asp';", "新|15|招牌老菜|2"},
        {"cygledit", "再改", "xp", "更改成功！');window.location.href='cygl.asp';", "再改|15|新品推荐|2"},
        {"cygledit", "", "xp", "history.go(-1)", "再改|15|新品推荐|2"}}) {
    SCOPED_TRACE(std::string(page) + " " + name);
    PageResult out = save(site, page, {{"action", "save"}, {"id", id}}, name, *name ? "15" : "12元", fblx);
    EXPECT_THAT(out.body, HasSubstr(answer));
    EXPECT_EQ(text(*storedDish(site, std::stoll(id))), stored);
    EXPECT_EQ(storedDish(site, std::stoll(id))->dates, before.dates);
  }
  for (auto [name, price] : {std::pair{"鱼", "12元"}, {"  ", "12"}})  // one refusal of each check
    EXPECT_THAT(save(site, "kcdgadd", {{"form1up", "yes"}}, name, price).body, HasSubstr("history.go(-1)"));
  EXPECT_EQ(rowCount(site, "cygl"), 1);
}

TEST(DishForm, TheEditFormShowsItsCategorysDishTrimmedAndCallsAnyOtherIdIllegal) {
  FakeSite site;
  const std::string id =
      std::to_string(addDish(site, Dish{.name = " 老王 ", .jiage = " 12 ", .lei = "招牌老菜", .pic = " a.jpg "}));
  const std::string drink = std::to_string(addDish(site, Dish{.name = "可乐", .lei2 = 3}));
  expectPage(site, {.name = "edit", .page = "kcdgedit", .query = {{"id", id}},
                    .has = {R"(value="老王">)", R"(value="12">)", R"(value="a.jpg">)",
                            R"(<input type="radio" name="fblx" value="lc" checked>招牌老菜)",
                            R"(action="kcdgedit.asp?action=save&id=)" + id + "\""}});
  expectPage(site, {.name = "new", .page = "jpsqadd",
                    .has = {R"(action="jpsqadd.asp?form1up=yes")",
                            R"(<input type="radio" name="fblx" value="xp" checked>新品推荐)",
                            R"(<textarea name="Content" style="display:none"></textarea>)"}});
  const std::string illegal = R"(<script>alert("非法访问!");location.href="../index.asp";</script>)";
  // Another category's, none, and ids no whole number that fits 32 bits.
  for (const std::string& bad : std::vector<std::string>{drink, "999", "", "1.0", "2147483648"}) {
    expectPage(site, {.name = bad, .page = "kcdgedit", .query = {{"id", bad}}, .has = {illegal}, .hasNot = {"<form"},
                      .ended = true});
    EXPECT_THAT(save(site, "kcdgedit", {{"action", "save"}, {"id", bad}}, "改掉", "1").body, HasSubstr(illegal));
  }
  EXPECT_THAT(runAs(site, "mabex.ylxgedit", {{"id", drink}}).body, HasSubstr(R"(value="可乐")"));
  EXPECT_EQ(storedDish(site, std::stoll(drink))->name, "可乐");
}
