// Catering news add and edit, and the site bulletin. (The news list: list_page_test.cpp; a save from another
// site: catalogue_http_test.cpp.)
#include "support/site_rows.h"
#include "support/testing.h"

TEST(News, AddThenEditKeepingTheDate) {
  FakeSite site;
  auto stored = [&] {
    return fieldOf(site, "cyxw", "id", 1, "title").text() + "|" + fieldOf(site, "cyxw", "id", 1, "content").text() +
           "|" + fieldOf(site, "cyxw", "id", 1, "dates").text();
  };
  EXPECT_EQ(afterGuard(runAs(site, "mabex.cyxwadd", {{"form1up", "yes"}},
                             {{"newsname", "  春节营业 "}, {"Content", "<p>照常<b>营业</b></p>"}}).body),
            "<script language=javascript>alert('添加成功！');window.location.href='cyxw.asp';</script>");
  EXPECT_EQ(stored(), "春节营业|<p>照常<b>营业</b></p>|2024-3-9 10:00:00");
  expectPage(site, {.name = "form", .page = "cyxwedit", .query = {{"id", "1"}},
                    .has = {R"(name="newsname" id="newsname" size="40" value="春节营业">)", "照常&lt;b&gt;营业"},
                    .hasNot = {"jiage"}});
  FakeRequest later = operatorOf();
  later.now = data::DateTime{2025, 1, 1, 0, 0, 0};
  later.sameSitePost().query = {{"action", "save"}, {"id", "1"}};
  later.form = {{"newsname", " 改 "}, {"Content", "<p>新</p>"}};
  EXPECT_THAT(site.run("mabex.cyxwedit", later, "admin").body,
              HasSubstr("alert('更改成功！');window.location.href='cyxw.asp'"));
  EXPECT_EQ(stored(), "改|<p>新</p>|2024-3-9 10:00:00");
  for (const char* id : {"", "7", "x"})
    EXPECT_THAT(runAs(site, "mabex.cyxwedit", {{"action", "save"}, {"id", id}}, {{"newsname", "t"}}).body,
                HasSubstr("非法访问!"))
        << id;
}

TEST(Bulletin, PlaceholderWhileEmptyAndOneRowOverwritten) {
  FakeSite site;
  site.db().Execute("delete from bulletin");
  auto shown = [&] { return runAs(site, "mabex.bulletin", {}).body; };
  auto save = [&](const char* content) {
    return runAs(site, "mabex.bulletin", {{"action", "save"}}, {{"Content", content}});
  };
  const std::string placeholder = R"(<textarea name="Content" style="display:none">暂时没有消息！！</textarea>)";
  EXPECT_THAT(shown(), HasSubstr(placeholder));
  EXPECT_THAT(save("").body, HasSubstr("alert('更改成功！');window.location.href='bulletin.asp';"));
  EXPECT_THAT(shown(), HasSubstr(placeholder)) << "an empty notice too";
  save("<p>本周八折</p>");
  EXPECT_EQ(valuesOf(site, "select * from bulletin", "content"), std::vector<std::string>{"<p>本周八折</p>"});
  EXPECT_THAT(shown(), HasSubstr("本周八折&lt;/p&gt;</textarea>"));
}
