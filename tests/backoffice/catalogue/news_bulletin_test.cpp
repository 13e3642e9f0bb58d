// Catering news add and edit, and the site bulletin. (The news list: list_page_test.cpp; a save from another
// site: catalogue_http_test.cpp; the forms' stored text shown escaped: frame_pages_test.cpp.)
#include "support/site_rows.h"
#include "support/testing.h"

TEST(News, AddThenEditKeepingTheDate) {
  FakeSite site;
  auto stored = [&] {
    return fieldOf(site, "cyxw", "id", 1, "title").text() + "|" + fieldOf(site, "cyxw", "id", 1, "content").text() +
           "|" + fieldOf(site, "cyxw", "id", 1, "dates").text();
  };
  runAs(site, "mabex.cyxwadd", {{"form1up", "yes"}}, {{"newsname", "  春节营业 "}, {"Content", "<p>照常<b>营业</b></p>"}});
  EXPECT_EQ(stored(), "春节营业|<p>照常<b>营业</b></p>|2024-3-9 10:00:00");
  FakeRequest later = operatorOf();
  later.now = data::DateTime{2025, 1, 1, 0, 0, 0};
  later.sameSitePost().query = {{"action", "save"}, {"id", "1"}};
  later.form = {{"newsname", " 改 "}, {"Content", "<p>新</p>"}};
  site.run("mabex.cyxwedit", later, "admin");
  EXPECT_EQ(stored(), "改|<p>新</p>|2024-3-9 10:00:00");
  // (Ids no whole number: the dish edit form's bad ids.)
  EXPECT_THAT(runAs(site, "mabex.cyxwedit", {{"action", "save"}, {"id", "7"}}, {{"newsname", "t"}}).body,
              HasSubstr("非法访问!"));
}

TEST(Bulletin, PlaceholderWhileEmptyAndOneRowOverwritten) {
  FakeSite site;
  site.db().Execute("delete from bulletin");
  auto shown = [&] { return runAs(site, "mabex.bulletin", {}).body; };
  auto save = [&](const char* content) { runAs(site, "mabex.bulletin", {{"action", "save"}}, {{"Content", content}}); };
  EXPECT_THAT(shown(), HasSubstr(">暂时没有消息！！</textarea>"));
  save("");
  EXPECT_THAT(shown(), HasSubstr(">暂时没有消息！！</textarea>")) << "an empty notice too";
  save("<p>本周八折</p>");
  EXPECT_EQ(valuesOf(site, "select * from bulletin", "content"), std::vector<std::string>{"<p>本周八折</p>"});
}
