// The dish add and edit forms: what a save stores, what an edit keeps, the
// refusals, and what the form shows.
#include "support/site_rows.h"
#include "support/testing.h"

namespace {

Fields dishFields(const std::string& name, const std::string& price, const std::string& fblx = "xp") {
  return {{"newsname", name}, {"jiage", price}, {"addname", " uploadpic/a.png "}, {"Content", "<p><b>好</b></p>"},
          {"fblx", fblx}};
}
PageResult add(FakeSite& site, const std::string& page, Fields fields) {
  return runAs(site, "mabex." + page, {{"form1up", "yes"}}, std::move(fields));
}
PageResult saveEdit(FakeSite& site, const std::string& page, const std::string& id, Fields fields) {
  return runAs(site, "mabex." + page, {{"action", "save"}, {"id", id}}, std::move(fields));
}
std::string saved(const std::string& message, const std::string& list) {
  return "<script language=javascript>alert('" + message + "');window.location.href='" + list + "';</script>";
}

}  // namespace

TEST(DishForm, AddStoresTrimmedFieldsWithTheCategoryOfItsPageAndTheTime) {
  struct Case {
    std::string page, fblx, list, lei;
    int lei2;
  };
  for (const Case& c : {Case{"kcdgadd", "xp", "kcdg.asp", "新品推荐", 1}, Case{"jpsqadd", "lc", "jpsq.asp", "招牌老菜", 2},
                        Case{"ylxgadd", "", "ylxg.asp", "招牌老菜", 3}, Case{"ylxgadd", "XP", "ylxg.asp", "招牌老菜", 3}}) {
    SCOPED_TRACE(c.page + " " + c.fblx);
    FakeSite site;
    EXPECT_EQ(afterGuard(add(site, c.page, dishFields("  红烧肉 ", " 8.5 ", c.fblx)).body), saved("添加成功！", c.list));
    const Dish d = storedDish(site, 1).value();
    EXPECT_EQ(d.name + "|" + d.jiage + "|" + d.pic + "|" + d.content + "|" + d.lei + "|" + std::to_string(d.lei2),
              "红烧肉|8.5|uploadpic/a.png|<p><b>好</b></p>|" + c.lei + "|" + std::to_string(c.lei2));
    EXPECT_EQ(d.dates, (data::DateTime{2024, 3, 9, 10, 0, 0}));
  }
}

TEST(DishForm, SavesNeedANameAndAPlainPrice) {
  for (auto [name, price, valid] : {std::tuple{"鱼", "12", true}, {"鱼", "8.5", true}, {"鱼", " 0 ", true},
                                    {"鱼", "12元", false}, {"鱼", "", false}, {"鱼", "8.", false}, {"鱼", ".5", false},
                                    {"鱼", "-3", false}, {"鱼", "1e3", false}, {"鱼", "1,5", false},
                                    {"   ", "12", false}, {"", "12", false}}) {
    SCOPED_TRACE(std::string("'") + name + "' '" + price + "'");
    FakeSite site;
    PageResult page = add(site, "kcdgadd", dishFields(name, price));
    EXPECT_EQ(rowCount(site, "cygl"), valid ? 1 : 0);
    EXPECT_EQ(page.body.find("history.go(-1)") != std::string::npos, !valid);
    long long id = addDish(site, Dish{.name = "原名", .jiage = "10"});
    saveEdit(site, "kcdgedit", std::to_string(id), dishFields(name, price));
    EXPECT_EQ(storedDish(site, id)->name, valid ? name : "原名");
  }
}

TEST(DishForm, EditChangesFieldsAndKeepsDateAndCategory) {
  FakeSite site;
  Dish before{.name = "旧", .jiage = "9", .lei = "新品推荐", .lei2 = 2, .dates = {2020, 5, 6, 7, 8, 9}};
  long long id = addDish(site, before);
  // The home-page edit page keeps the category too.
  for (auto [page, name, stored, fblx, list, lei] : {std::tuple{"jpsqedit", " 新 ", "新", "lc", "jpsq.asp", "招牌老菜"},
                                                     {"cygledit", "再改", "再改", "xp", "cygl.asp", "新品推荐"}}) {
    SCOPED_TRACE(page);
    EXPECT_EQ(afterGuard(saveEdit(site, page, std::to_string(id), dishFields(name, "15", fblx)).body),
              saved("更改成功！", list));
    Dish after = *storedDish(site, id);
    EXPECT_EQ(after.name + "|" + after.jiage + "|" + after.lei + "|" + std::to_string(after.lei2),
              std::string(stored) + "|15|" + lei + "|2");
    EXPECT_EQ(after.dates, before.dates);
  }
}

// (Saves from another site or by a GET: catalogue_http_test.cpp.)
TEST(DishForm, EditOfAnIdItMayNotEditChangesNothing) {
  FakeSite site;
  long long drink = addDish(site, Dish{.name = "可乐", .lei2 = 3});
  const std::string illegal = R"(<script>alert("非法访问!");location.href="../index.asp";</script>)";
  for (const std::string& id : {std::to_string(drink), std::string("999"), std::string(""), std::string("abc"),
                                std::string("1 or 1=1"), std::string("1.0"), std::string("99999999999")}) {
    SCOPED_TRACE(id);
    expectPage(site, {.name = "shown", .page = "kcdgedit", .query = {{"id", id}}, .has = {illegal}, .hasNot = {"<form"},
                      .ended = true});
    EXPECT_THAT(saveEdit(site, "kcdgedit", id, dishFields("改掉", "1")).body, HasSubstr(illegal));
  }
  // Through its own category's page it is found.
  EXPECT_THAT(runAs(site, "mabex.ylxgedit", {{"id", std::to_string(drink)}}).body, HasSubstr(R"(value="可乐")"));
  EXPECT_EQ(storedDish(site, drink)->name, "可乐");
  EXPECT_EQ(rowCount(site, "cygl"), 1);
}

TEST(DishForm, FormsShowTheDishEscapedAndTheNewFormEmpty) {
  FakeSite site;
  const std::string id = std::to_string(addDish(site, Dish{.name = " 老\"王\" ", .jiage = " 12 ", .lei = "招牌老菜",
                                                           .content = "<p>辣 & <b>香</b></p>", .pic = " a'b.jpg "}));
  expectPage(site, {.name = "edit", .page = "kcdgedit", .query = {{"id", id}},
                    .has = {R"(name="newsname" id="newsname" size="40" value="老&quot;王&quot;">)",
                            R"(name="jiage" id="jiage" size="40" value="12">)",
                            R"(name="addname" id="addname" size="40" value="a&#39;b.jpg">)",
                            R"(<textarea name="Content" style="display:none">)"
                            "&lt;p&gt;辣 &amp; &lt;b&gt;香&lt;/b&gt;&lt;/p&gt;</textarea>",
                            R"(<input type="radio" name="fblx" value="lc" checked>招牌老菜)"}});
  // Saving what the form shows keeps the quote in the name.
  saveEdit(site, "kcdgedit", id, dishFields("老\"王\"", "12"));
  EXPECT_EQ(storedDish(site, std::stoll(id))->name, "老\"王\"");
  expectPage(site, {.name = "new", .page = "jpsqadd",
                    .has = {R"(action="jpsqadd.asp?form1up=yes")",
                            R"(<input type="radio" name="fblx" value="xp" checked>新品推荐)",
                            R"(<textarea name="Content" style="display:none"></textarea>)"}});
  EXPECT_EQ(rowCount(site, "cygl"), 1);
}
