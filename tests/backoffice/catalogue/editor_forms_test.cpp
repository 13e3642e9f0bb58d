// The editor forms: the dishes', the news' and the bulletin's, with the checks they share with the lists. (Saves from
// another site or by a GET: catalogue_http_test.cpp; stored text shown escaped: frame_pages_test.cpp.)
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
// Name, price, group, category, picture, content and date of the stored dish.
std::string stored(FakeSite& site, long long id) {
  const Dish d = storedDish(site, id).value();
  return d.name + "|" + d.jiage + "|" + d.lei + "|" + std::to_string(d.lei2) + "|" + d.pic + "|" + d.content + "|" +
         d.dates.iso();
}
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
  const std::string sent = "|uploadpic/a.png|<p><b>好</b></p>|";  // the picture trimmed, the content as posted
  for (auto [page, fblx, list, group] : {std::tuple{"kcdgadd", "xp", "kcdg", "新品推荐|1"},
                                         {"jpsqadd", "lc", "jpsq", "招牌老菜|2"}, {"ylxgadd", "XP", "ylxg", "招牌老菜|3"}}) {
    FakeSite site;
    EXPECT_THAT(save(site, page, {{"form1up", "yes"}}, "  红\"烧肉 ", " 8.5 ", fblx).body,
                HasSubstr("添加成功！');window.location.href='" + std::string(list) + ".asp'"));
    EXPECT_EQ(stored(site, 1), "红\"烧肉|8.5|" + std::string(group) + sent + "2024-03-09 10:00:00");
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
    EXPECT_EQ(stored(site, id), kept + sent + "2020-05-06 00:00:00") << page;
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
  EXPECT_THAT(runAs(site, "mabex.ylxgedit", {{"id", drink}}).body, HasSubstr(R"(value="可乐")"));
  EXPECT_EQ(storedDish(site, std::stoll(drink))->name, "可乐");
}

TEST(NewsForm, AddStampsTheDateAnEditKeepsIt) {
  FakeSite site;
  auto stored = [&](long long id) {
    auto field = [&](const char* name) { return fieldOf(site, "cyxw", "id", id, name).text(); };
    return field("title") + "|" + field("content") + "|" + field("dates");
  };
  runAs(site, "mabex.cyxwadd", {{"form1up", "yes"}}, {{"newsname", "  春节营业 "}, {"Content", "<p>照常<b>营业</b></p>"}});
  EXPECT_EQ(stored(1), "春节营业|<p>照常<b>营业</b></p>|2024-3-9 10:00:00");
  const long long old = insertRow(site, "cyxw", {{"title", "旧"}, {"dates", data::DateTime{2020, 5, 6}}});
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
  EXPECT_EQ(valuesOf(site, "select * from bulletin", "content"), std::vector<std::string>{"<p>本周八折</p>"});
}
