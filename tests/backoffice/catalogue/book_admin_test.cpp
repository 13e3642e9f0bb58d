// Guestbook administration: the review switch, the list, pin/hide/reply, deletes.
#include "backoffice/catalogue/book_admin.h"
#include "support/site_rows.h"
#include "support/testing.h"

namespace {

long long addMessage(FakeSite& site, const std::string& name = "访客", const std::string& comments = "你好",
                     bool del = false, data::DateTime posted = {2024, 2, 1, 12, 0, 0}) {
  return insertRow(site, "Feedback", {{"UserName", name}, {"UserMail", "a@b.cn"}, {"qq", "12345"},
                                      {"Comments", comments}, {"PostDate", posted}, {"Dates", posted}, {"Replay", ""},
                                      {"top", 0}, {"Online", 1}, {"del", del}}, "ID");
}

data::Value field(FakeSite& site, long long id, const char* name) { return fieldOf(site, "Feedback", "ID", id, name); }

PageResult page(FakeSite& site, Fields query, Fields form = {}) {
  return runAs(site, "mabex.book_admin", std::move(query), std::move(form));
}
Fields detail(long long id) { return {{"action", "replay"}, {"id", std::to_string(id)}}; }
PageResult saveDetail(FakeSite& site, long long id, const std::string& top, const std::string& online,
                      const std::string& reply = "", const std::string& comments = "你好") {
  return page(site, detail(id), {{"comments", comments}, {"Replay", reply}, {"top", top}, {"Online", online},
                                 {"send", "ok"}, {"action", " 提 交 "}});
}
std::string tickBox(long long id) { return R"(name="id" value=")" + std::to_string(id) + "\""; }

}  // namespace

TEST(BookAdmin, ReviewSwitchSavesBothWaysAndRefusesOtherValues) {
  FakeSite site;
  for (const char* view : {"0", "1", "0", "7"}) {
    SCOPED_TRACE(view);
    bool valid = view[0] != '7';
    EXPECT_THAT(page(site, {{"action", "setup"}}, {{"view", view}, {"save", "ok"}}).body,
                HasSubstr(valid ? "alert('您提交的设置已保存。');window.location.href='book_admin.asp';" : "alert("));
    const std::string stored = valid ? view : "0";
    EXPECT_EQ(valuesOf(site, "select * from view2", "view"), std::vector{stored});
    EXPECT_THAT(page(site, {}).body, HasSubstr(R"(name="view" value=")" + stored + R"(" checked>)"));
  }
}

TEST(BookAdmin, ListPutsPinnedFirstWithoutTickBoxAndHidesDeleted) {
  FakeSite site;
  long long older = addMessage(site, "甲", "你好", false, {2024, 1, 1, 0, 0, 0});
  long long newer = addMessage(site, "乙", "你好", false, {2024, 1, 2, 0, 0, 0});
  addMessage(site, "已删", "你好", true);
  // Newest first; pinned: first, marked and without a tick box; unpinned: back in date order.
  for (auto [top, first, second] : {std::tuple{"", "乙", "甲"}, {"1", "甲", "乙"}, {"0", "乙", "甲"}}) {
    SCOPED_TRACE(top);
    if (*top) saveDetail(site, older, top, "1");
    const std::string body = page(site, {}).body, pin = ">TOP</font>";
    EXPECT_LT(body.find(std::string(">") + first + "</td>"), body.find(std::string(">") + second + "</td>"));
    const bool pinned = *top == '1';
    expectTexts(body, {tickBox(newer), pinned ? pin : tickBox(older)}, {"已删", pinned ? tickBox(older) : pin});
  }
}

TEST(BookAdmin, DetailSavesReplyVisibilityAndLineBreaks) {
  FakeSite site;
  long long id = addMessage(site, "访客", "第一行<BR>第二行");
  EXPECT_THAT(page(site, {}).body, HasSubstr("<font color=red>新留言</font>"));
  expectTexts(page(site, detail(id)).body, {">第一行\r\n第二行</textarea>", R"(name="Online" value="1" checked>公开)"});
  EXPECT_THAT(saveDetail(site, id, "0", "0", "谢谢\r\n欢迎\r\n再来", "第一行\r\n第二行").body,
              HasSubstr("留言已经修改或回复成功"));
  EXPECT_EQ(field(site, id, "Replay").text(), "谢谢<BR>欢迎<BR>再来");
  EXPECT_EQ(field(site, id, "Comments").text(), "第一行<BR>第二行") << "an unchanged save keeps the text";
  EXPECT_EQ(field(site, id, "Online").toInteger(), 0);
  EXPECT_EQ(field(site, id, "ReplayDate").toDate(), (data::DateTime{2024, 3, 9, 10, 0, 0}));
  EXPECT_THAT(page(site, {}).body, HasSubstr(">已回复</td>"));
  expectTexts(page(site, detail(id)).body, {">谢谢\r\n欢迎\r\n再来</textarea>", R"(name="Online" value="0" checked> 隐藏)"});
}

// (Bad ids and choices, and deletes from elsewhere or with bad ticks: catalogue_http_test.cpp.)
TEST(BookAdmin, DeleteRemovesTheTickedMessages) {
  FakeSite site;
  long long id = addMessage(site), removed = addMessage(site, "访客", "你好", true), other = addMessage(site);
  EXPECT_THAT(page(site, {}, {{"action", "删除"}, {"id", std::to_string(id)}, {"id", std::to_string(removed)}}).body,
              HasSubstr("留言删除成功，请单击“确定”返回！"));
  EXPECT_EQ(rowCount(site, "Feedback"), 1);
  EXPECT_FALSE(field(site, other, "UserName").blank());
}

TEST(BookAdmin, VisitorTextIsEscapedButLineBreaksStay) {
  FakeSite site;
  long long id = addMessage(site, "<img src=x onerror=alert(1)>", "<b>hi</b><BR>第二行");
  expectTexts(page(site, {}).body, {"&lt;img src=x onerror=alert(1)&gt;", "&lt;b&gt;hi&lt;/b&gt;<br>第二行"},
              {"<img src=x"});
  expectTexts(page(site, detail(id)).body,
              {"<td>&lt;img src=x onerror=alert(1)&gt;</td>", "&lt;b&gt;hi&lt;/b&gt;\r\n第二行</textarea>"});
}

TEST(BookAdmin, TwentyFiveMessagesMakeThreePages) {
  FakeSite site;
  for (int i = 0; i < 25; ++i) addMessage(site, "访客", "你好", false, data::DateTime{2024, 1, 1, 0, 0, 0}.addSeconds(i));
  std::string p2 = page(site, {{"page", "2"}}).body;
  EXPECT_EQ(occurrences(p2, R"(name="id" value=")"), 10);
  EXPECT_THAT(p2, HasSubstr("共25条留言 <a href='book_admin.asp?page=1'>首页</a> <a href='book_admin.asp?page=1'>前页</a> "
                            "<a href='book_admin.asp?page=3'>下页</a> <a href='book_admin.asp?page=3'>末页</a>   第2页 共3页"));
  std::string p3 = page(site, {{"page", "3"}}).body;
  EXPECT_EQ(occurrences(p3, R"(name="id" value=")"), 5);
  EXPECT_THAT(p3, HasSubstr("<font color=darkgray >下页 末页</font>"));
  for (const char* beyond : {"4", "x"}) EXPECT_THAT(page(site, {{"page", beyond}}).body, HasSubstr("第1页 共3页"));
}

TEST(BookAdmin, LleftCutsByCodePageWidthKeepingTheCharacterThatCrossesTheBudget) {
  for (auto [text, budget, cut] : {std::tuple{std::string(), 50, std::string()}, {"abc", 50, "abc"},
                                   {std::string(60, 'a'), 50, std::string(50, 'a')}, {"一二三", 4, "一二"},
                                   {"一二三", 3, "一二"}, {"a一b", 2, "a一"}, {"a一b", 1, "a"}})
    EXPECT_EQ(backoffice::catalogue::book_admin::lleft(text, budget), cut) << text << "/" << budget;
}
