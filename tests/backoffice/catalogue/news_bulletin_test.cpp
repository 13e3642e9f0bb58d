// Catering news add/edit/delete and the site bulletin.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "catalogue_fixture.h"

using namespace tovi;
using namespace tovi::testing;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

struct News {
  std::string title, content;
  data::DateTime dates;
};

std::optional<News> storedNews(FakeSite& site, long long id) {
  data::Recordset rs;
  rs.Open(data::Sql("select * from cyxw where id=?", {id}), site.db(), data::adOpenKeyset, data::adLockReadOnly);
  if (rs.Eof()) return std::nullopt;
  return News{rs("title").text(), rs("content").text(), *rs("dates").value().toDate()};
}

PageResult post(FakeSite& site, const std::string& id, std::vector<std::pair<std::string, std::string>> query,
                std::vector<std::pair<std::string, std::string>> form) {
  FakeRequest req = operatorRequest();
  req.sameSitePost();
  req.query = std::move(query);
  req.form = std::move(form);
  return site.run(id, req, "admin");
}

TEST(News, AddEditDeleteRoundTrip) {
  FakeSite site;
  PageResult added = post(site, "mabex.cyxwadd", {{"form1up", "yes"}},
                          {{"newsname", "  春节营业 "}, {"Content", "<p>照常<b>营业</b></p>"}});
  EXPECT_EQ(afterGuard(added.body),
            "<script language=javascript>alert('添加成功！');window.location.href='cyxw.asp';</script>");
  News n = *storedNews(site, 1);
  EXPECT_EQ(n.title, "春节营业");
  EXPECT_EQ(n.content, "<p>照常<b>营业</b></p>");
  EXPECT_EQ(n.dates, (data::DateTime{2024, 3, 9, 10, 0, 0}));

  FakeRequest show = operatorRequest();
  show.query = {{"id", "1"}};
  PageResult form = site.run("mabex.cyxwedit", show, "admin");
  EXPECT_THAT(form.body, HasSubstr(R"(name="newsname" id="newsname" size="40" value="春节营业">)"));
  EXPECT_THAT(form.body, HasSubstr("&lt;p&gt;照常&lt;b&gt;营业&lt;/b&gt;&lt;/p&gt;</textarea>"));
  EXPECT_THAT(form.body, HasSubstr("修改餐饮新闻"));
  EXPECT_THAT(form.body, Not(HasSubstr("jiage")));

  FakeRequest later = operatorRequest();
  later.now = data::DateTime{2025, 1, 1, 0, 0, 0};
  later.sameSitePost();
  later.query = {{"action", "save"}, {"id", "1"}};
  later.form = {{"newsname", " 改 "}, {"Content", "<p>新</p>"}};
  PageResult saved = site.run("mabex.cyxwedit", later, "admin");
  EXPECT_THAT(saved.body, HasSubstr("alert('更改成功！');window.location.href='cyxw.asp'"));
  n = *storedNews(site, 1);
  EXPECT_EQ(n.title, "改");
  EXPECT_EQ(n.content, "<p>新</p>");
  EXPECT_EQ(n.dates, (data::DateTime{2024, 3, 9, 10, 0, 0})) << "an edit keeps the date";

  post(site, "mabex.cyxwadd", {{"form1up", "yes"}}, {{"newsname", "第二条"}, {"Content", ""}});
  PageResult deleted = post(site, "mabex.cyxw", {{"action", "del"}}, {{"selectdel", "1"}});
  EXPECT_EQ(deleted.redirect, "cyxw.asp");
  EXPECT_FALSE(storedNews(site, 1));
  EXPECT_TRUE(storedNews(site, 2));
}

TEST(News, EditOfAMissingItemIsIllegal) {
  FakeSite site;
  for (const char* id : {"", "7", "x"}) {
    SCOPED_TRACE(id);
    PageResult page = post(site, "mabex.cyxwedit", {{"action", "save"}, {"id", id}}, {{"newsname", "t"}});
    EXPECT_THAT(page.body, HasSubstr("非法访问!"));
    EXPECT_EQ(rowCount(site, "cyxw"), 0);
  }
}

TEST(News, TwentyOneItemsMakeTwoPages) {
  FakeSite site;
  for (int i = 1; i <= 21; ++i) {
    FakeRequest req = operatorRequest();
    req.now = data::DateTime{2024, 1, 1, 0, 0, 0}.addSeconds(i);
    req.sameSitePost();
    req.query = {{"form1up", "yes"}};
    req.form = {{"newsname", "新闻" + std::to_string(i)}};
    site.run("mabex.cyxwadd", req, "admin");
  }
  FakeRequest req = operatorRequest();
  req.query = {{"page", "2"}};
  PageResult page = site.run("mabex.cyxw", req, "admin");
  EXPECT_EQ(count(page.body, R"(name="selectdel")"), 1);
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

TEST(Bulletin, EmptyTableShowsThePlaceholderAndTheFirstSaveCreatesTheRow) {
  FakeSite site;
  site.db().Execute("delete from bulletin");
  FakeRequest req = operatorRequest();
  PageResult page = site.run("mabex.bulletin", req, "admin");
  EXPECT_THAT(page.body, HasSubstr(R"(<textarea name="Content" style="display:none">暂时没有消息！！</textarea>)"));
  EXPECT_THAT(page.body, HasSubstr(R"(background="../../tamlo/images/admin_bg_1.gif")"));
  EXPECT_THAT(page.body, HasSubstr(R"(action="bulletin.asp?action=save")"));
  EXPECT_THAT(page.body, Not(HasSubstr("<title>")));
  EXPECT_TRUE(bulletinRows(site).empty());

  PageResult saved = post(site, "mabex.bulletin", {{"action", "save"}}, {{"Content", "暂时没有消息！！"}});
  EXPECT_THAT(saved.body, HasSubstr("alert('更改成功！');window.location.href='bulletin.asp';"));
  EXPECT_EQ(bulletinRows(site), std::vector<std::string>{"暂时没有消息！！"});

  post(site, "mabex.bulletin", {{"action", "save"}}, {{"Content", "<p>本周<b>八折</b></p>"}});
  EXPECT_EQ(bulletinRows(site), std::vector<std::string>{"<p>本周<b>八折</b></p>"}) << "one row, overwritten";
  page = site.run("mabex.bulletin", req, "admin");
  EXPECT_THAT(page.body, HasSubstr("&lt;p&gt;本周&lt;b&gt;八折&lt;/b&gt;&lt;/p&gt;</textarea>"));
}

TEST(Bulletin, EmptyNoticeShowsThePlaceholder) {
  FakeSite site;
  post(site, "mabex.bulletin", {{"action", "save"}}, {{"Content", ""}});
  ASSERT_EQ(bulletinRows(site).size(), 1u);
  FakeRequest req = operatorRequest();
  EXPECT_THAT(site.run("mabex.bulletin", req, "admin").body, HasSubstr(">暂时没有消息！！</textarea>"));
}

TEST(Bulletin, SaveFromAnotherSiteChangesNothing) {
  FakeSite site;
  site.db().Execute("delete from bulletin");
  FakeRequest req = operatorRequest();
  req.http = true;
  req.method = "POST";
  req.headers["Host"] = "127.0.0.1:8080";
  req.headers["Referer"] = "http://evil.example/x";
  req.query = {{"action", "save"}};
  req.form = {{"Content", "hacked"}};
  EXPECT_THAT(site.run("mabex.bulletin", req, "admin").body, HasSubstr("操作被拒绝"));
  EXPECT_TRUE(bulletinRows(site).empty());
}

}  // namespace
