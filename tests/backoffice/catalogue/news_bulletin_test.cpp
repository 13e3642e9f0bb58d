// Catering news add/edit/delete and the site bulletin.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "catalogue_fixture.h"

using namespace tovi;
using namespace tovi::testing;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

PageResult post(FakeSite& site, const std::string& id, std::vector<std::pair<std::string, std::string>> query,
                std::vector<std::pair<std::string, std::string>> form) {
  return runAs(site, id, std::move(query), std::move(form), true);
}

TEST(News, AddEditDeleteRoundTrip) {
  FakeSite site;
  auto stored = [&](const char* f) { return fieldOf(site, "cyxw", "id", 1, f); };
  PageResult added = post(site, "mabex.cyxwadd", {{"form1up", "yes"}},
                          {{"newsname", "  春节营业 "}, {"Content", "<p>照常<b>营业</b></p>"}});
  EXPECT_EQ(afterGuard(added.body),
            "<script language=javascript>alert('添加成功！');window.location.href='cyxw.asp';</script>");
  EXPECT_EQ(stored("title").text(), "春节营业");
  EXPECT_EQ(stored("content").text(), "<p>照常<b>营业</b></p>");
  EXPECT_EQ(stored("dates").toDate(), (data::DateTime{2024, 3, 9, 10, 0, 0}));

  PageResult form = runAs(site, "mabex.cyxwedit", {{"id", "1"}});
  EXPECT_THAT(form.body, HasSubstr(R"(name="newsname" id="newsname" size="40" value="春节营业">)"));
  EXPECT_THAT(form.body, HasSubstr("&lt;p&gt;照常&lt;b&gt;营业&lt;/b&gt;&lt;/p&gt;</textarea>"));
  EXPECT_THAT(form.body, Not(HasSubstr("jiage")));

  FakeRequest later = operatorOf();
  later.now = data::DateTime{2025, 1, 1, 0, 0, 0};
  later.sameSitePost();
  later.query = {{"action", "save"}, {"id", "1"}};
  later.form = {{"newsname", " 改 "}, {"Content", "<p>新</p>"}};
  EXPECT_THAT(site.run("mabex.cyxwedit", later, "admin").body,
              HasSubstr("alert('更改成功！');window.location.href='cyxw.asp'"));
  EXPECT_EQ(stored("title").text(), "改");
  EXPECT_EQ(stored("content").text(), "<p>新</p>");
  EXPECT_EQ(stored("dates").toDate(), (data::DateTime{2024, 3, 9, 10, 0, 0})) << "an edit keeps the date";

  post(site, "mabex.cyxwadd", {{"form1up", "yes"}}, {{"newsname", "第二条"}, {"Content", ""}});
  EXPECT_EQ(post(site, "mabex.cyxw", {{"action", "del"}}, {{"selectdel", "1"}}).redirect, "cyxw.asp");
  EXPECT_EQ(rowCount(site, "cyxw"), 1);
  EXPECT_EQ(fieldOf(site, "cyxw", "id", 2, "title").text(), "第二条");
}

TEST(News, EditOfAMissingItemIsIllegal) {
  FakeSite site;
  for (const char* id : {"", "7", "x"}) {
    SCOPED_TRACE(id);
    EXPECT_THAT(post(site, "mabex.cyxwedit", {{"action", "save"}, {"id", id}}, {{"newsname", "t"}}).body,
                HasSubstr("非法访问!"));
    EXPECT_EQ(rowCount(site, "cyxw"), 0);
  }
}

TEST(News, TwentyOneItemsMakeTwoPages) {
  FakeSite site;
  for (int i = 1; i <= 21; ++i) {
    FakeRequest req = operatorOf();
    req.now = data::DateTime{2024, 1, 1, 0, 0, 0}.addSeconds(i);
    req.sameSitePost();
    req.query = {{"form1up", "yes"}};
    req.form = {{"newsname", "新闻" + std::to_string(i)}};
    site.run("mabex.cyxwadd", req, "admin");
  }
  PageResult page = runAs(site, "mabex.cyxw", {{"page", "2"}});
  EXPECT_EQ(occurrences(page.body, R"(name="selectdel")"), 1);
  EXPECT_THAT(page.body, HasSubstr(">新闻1</a>"));
  EXPECT_THAT(page.body, HasSubstr("/2页"));
}

std::vector<std::string> bulletinRows(FakeSite& site) {
  data::Recordset rs;
  rs.Open("select * from bulletin", site.db(), data::adOpenKeyset, data::adLockReadOnly);
  std::vector<std::string> rows;
  for (; !rs.Eof(); rs.MoveNext()) rows.push_back(rs("content").text());
  return rows;
}

TEST(Bulletin, PlaceholderWhileEmptyAndOneRowOverwritten) {
  FakeSite site;
  site.db().Execute("delete from bulletin");
  const std::string placeholder = R"(<textarea name="Content" style="display:none">暂时没有消息！！</textarea>)";
  EXPECT_THAT(runAs(site, "mabex.bulletin", {}).body, HasSubstr(placeholder));
  EXPECT_TRUE(bulletinRows(site).empty());

  EXPECT_THAT(post(site, "mabex.bulletin", {{"action", "save"}}, {{"Content", ""}}).body,
              HasSubstr("alert('更改成功！');window.location.href='bulletin.asp';"));
  EXPECT_EQ(bulletinRows(site).size(), 1u);
  EXPECT_THAT(runAs(site, "mabex.bulletin", {}).body, HasSubstr(placeholder)) << "an empty notice too";

  post(site, "mabex.bulletin", {{"action", "save"}}, {{"Content", "<p>本周<b>八折</b></p>"}});
  EXPECT_EQ(bulletinRows(site), std::vector<std::string>{"<p>本周<b>八折</b></p>"}) << "one row, overwritten";
  EXPECT_THAT(runAs(site, "mabex.bulletin", {}).body,
              HasSubstr("&lt;p&gt;本周&lt;b&gt;八折&lt;/b&gt;&lt;/p&gt;</textarea>"));
}

TEST(Bulletin, SaveFromAnotherSiteChangesNothing) {
  FakeSite site;
  site.db().Execute("delete from bulletin");
  FakeRequest req = operatorOf();
  req.sameSitePost();
  req.headers.erase("Origin");
  req.headers["Referer"] = "http://evil.example/x";
  req.query = {{"action", "save"}};
  req.form = {{"Content", "hacked"}};
  EXPECT_THAT(site.run("mabex.bulletin", req, "admin").body, HasSubstr("操作被拒绝"));
  EXPECT_TRUE(bulletinRows(site).empty());
}

}  // namespace
