// Guestbook administration: the review switch, the list, pin/hide/reply, deletes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "backoffice/catalogue/book_admin.h"
#include "catalogue_fixture.h"

using namespace tovi;
using namespace tovi::testing;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

struct Message {
  std::string name = "访客", comments = "你好";
  bool del = false;
  data::DateTime posted{2024, 2, 1, 12, 0, 0};
};

long long addMessage(FakeSite& site, const Message& m) {
  data::Recordset rs;
  rs.Open("select * from Feedback", site.db(), data::adOpenKeyset, data::adLockOptimistic);
  rs.AddNew();
  rs("UserName") = m.name;
  rs("UserMail") = "a@b.cn";
  rs("qq") = "12345";
  rs("Comments") = m.comments;
  rs("PostDate") = m.posted;
  rs("Dates") = m.posted;
  rs("Replay") = "";
  rs("top") = 0;
  rs("Online") = 1;
  rs("del") = m.del;
  rs.Update();
  return rs("ID").value().toInteger();
}

data::Value field(FakeSite& site, long long id, const char* name) { return fieldOf(site, "Feedback", "ID", id, name); }

PageResult page(FakeSite& site, std::vector<std::pair<std::string, std::string>> query,
                std::vector<std::pair<std::string, std::string>> form = {}) {
  return runAs(site, "mabex.book_admin", std::move(query), std::move(form));
}

PageResult saveDetail(FakeSite& site, long long id, const std::string& top, const std::string& online,
                      const std::string& reply = "", const std::string& comments = "你好") {
  return page(site, {{"action", "replay"}, {"id", std::to_string(id)}},
              {{"comments", comments}, {"Replay", reply}, {"top", top}, {"Online", online}, {"send", "ok"},
               {"action", " 提 交 "}});
}

std::string tickBox(long long id) { return R"(name="id" value=")" + std::to_string(id) + "\""; }

TEST(BookAdmin, ReviewSwitchSavesBothWaysAndRefusesOtherValues) {
  FakeSite site;
  auto stored = [&] {
    data::Recordset rs;
    rs.Open("select * from view2", site.db(), data::adOpenKeyset, data::adLockReadOnly);
    return rs("view").text();
  };
  for (const char* view : {"0", "1", "0"}) {
    SCOPED_TRACE(view);
    EXPECT_THAT(page(site, {{"action", "setup"}}, {{"view", view}, {"save", "ok"}}).body,
                HasSubstr("alert('您提交的设置已保存。');window.location.href='book_admin.asp';"));
    EXPECT_EQ(stored(), view);
    EXPECT_THAT(page(site, {}).body, HasSubstr(std::string(R"(name="view" value=")") + view + R"(" checked>)"));
  }
  EXPECT_THAT(page(site, {{"action", "setup"}}, {{"view", "7"}, {"save", "ok"}}).body, HasSubstr("alert("));
  EXPECT_EQ(stored(), "0");
}

TEST(BookAdmin, ListPutsPinnedFirstWithoutTickBox) {
  FakeSite site;
  long long older = addMessage(site, Message{.name = "甲", .posted = {2024, 1, 1, 0, 0, 0}});
  long long newer = addMessage(site, Message{.name = "乙", .posted = {2024, 1, 2, 0, 0, 0}});
  addMessage(site, Message{.name = "已删", .del = true});
  auto order = [&] {
    std::string body = page(site, {}).body;
    return body.find(">甲</td>") < body.find(">乙</td>") ? std::string("甲乙") : std::string("乙甲");
  };
  EXPECT_EQ(order(), "乙甲");
  EXPECT_THAT(page(site, {}).body, Not(HasSubstr("已删")));

  saveDetail(site, older, "1", "1");
  EXPECT_EQ(order(), "甲乙") << "pinned first";
  std::string body = page(site, {}).body;
  EXPECT_THAT(body, Not(HasSubstr(tickBox(older))));
  EXPECT_THAT(body, HasSubstr(tickBox(newer)));
  EXPECT_THAT(body, HasSubstr(">TOP</font>"));

  saveDetail(site, older, "0", "1");
  EXPECT_EQ(order(), "乙甲") << "unpinned: back to date order";
  EXPECT_THAT(page(site, {}).body, HasSubstr(tickBox(older)));
}

TEST(BookAdmin, DetailSavesReplyVisibilityAndLineBreaks) {
  FakeSite site;
  long long id = addMessage(site, Message{.comments = "第一行<BR>第二行"});
  const std::vector<std::pair<std::string, std::string>> detail = {{"action", "replay"}, {"id", std::to_string(id)}};
  EXPECT_THAT(page(site, {}).body, HasSubstr("<font color=red>新留言</font>"));
  PageResult shown = page(site, detail);
  EXPECT_THAT(shown.body, HasSubstr(">第一行\r\n第二行</textarea>"));
  EXPECT_THAT(shown.body, HasSubstr(R"(name="Online" value="1" checked>公开)"));

  EXPECT_THAT(saveDetail(site, id, "0", "0", "谢谢\r\n欢迎\r\n再来", "第一行\r\n第二行").body,
              HasSubstr("留言已经修改或回复成功"));
  EXPECT_EQ(field(site, id, "Replay").text(), "谢谢<BR>欢迎<BR>再来");
  EXPECT_EQ(field(site, id, "Comments").text(), "第一行<BR>第二行") << "an unchanged save keeps the text";
  EXPECT_EQ(field(site, id, "Online").toInteger(), 0);
  EXPECT_EQ(field(site, id, "ReplayDate").toDate(), (data::DateTime{2024, 3, 9, 10, 0, 0}));
  EXPECT_THAT(page(site, {}).body, HasSubstr(">已回复</td>"));

  shown = page(site, detail);
  EXPECT_THAT(shown.body, HasSubstr(">谢谢\r\n欢迎\r\n再来</textarea>"));
  EXPECT_THAT(shown.body, HasSubstr(R"(name="Online" value="0" checked> 隐藏)"));
  saveDetail(site, id, "0", "1", "谢谢");
  EXPECT_EQ(field(site, id, "Online").toInteger(), 1) << "shown again";
}

TEST(BookAdmin, DetailRefusesBadIdsAndValues) {
  FakeSite site;
  long long id = addMessage(site, Message{});
  long long removed = addMessage(site, Message{.del = true});
  struct Case {
    std::string id, top, online, answer;
  };
  const Case cases[] = {
      {"", "0", "1", "无此留言编号"},        {"1 or 1=1", "0", "1", "无此留言编号"},
      {"999", "0", "1", "无此留言，"},       {std::to_string(removed), "0", "1", "无此留言，"},
      {std::to_string(id), "5", "1", "请选择"}, {std::to_string(id), "0", "", "请选择"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id + "/" + c.top + "/" + c.online);
    PageResult p = page(site, {{"action", "replay"}, {"id", c.id}},
                        {{"comments", "改"}, {"Replay", "r"}, {"top", c.top}, {"Online", c.online}, {"send", "ok"}});
    EXPECT_THAT(p.body, HasSubstr(c.answer));
    EXPECT_EQ(field(site, id, "Comments").text(), "你好");
    EXPECT_TRUE(field(site, id, "Replay").blank());
  }
}

TEST(BookAdmin, DeleteSeveralAndRefuseMalformedLists) {
  FakeSite site;
  long long a = addMessage(site, Message{}), b = addMessage(site, Message{}), c = addMessage(site, Message{});
  EXPECT_THAT(page(site, {}, {{"action", "删除"}, {"id", std::to_string(a) + ", 0x1"}}).body,
              HasSubstr("没有删除任何留言"));
  EXPECT_EQ(rowCount(site, "Feedback"), 3);
  EXPECT_THAT(page(site, {}, {{"action", "删除"}}).body,
              HasSubstr("操作失败，没有选择合适参数，请单击“确定”返回！"));
  EXPECT_THAT(page(site, {}, {{"action", "删除"}, {"id", std::to_string(a)}, {"id", std::to_string(c)}}).body,
              HasSubstr("留言删除成功，请单击“确定”返回！"));
  EXPECT_EQ(rowCount(site, "Feedback"), 1);
  EXPECT_FALSE(field(site, b, "UserName").blank());
}

TEST(BookAdmin, VisitorTextIsEscapedButLineBreaksStay) {
  FakeSite site;
  long long id = addMessage(site, Message{.name = "<img src=x onerror=alert(1)>", .comments = "<b>hi</b><BR>第二行"});
  std::string body = page(site, {}).body;
  EXPECT_THAT(body, Not(HasSubstr("<img src=x")));
  EXPECT_THAT(body, HasSubstr("&lt;img src=x onerror=alert(1)&gt;"));
  EXPECT_THAT(body, HasSubstr("&lt;b&gt;hi&lt;/b&gt;<br>第二行"));
  std::string detail = page(site, {{"action", "replay"}, {"id", std::to_string(id)}}).body;
  EXPECT_THAT(detail, HasSubstr("<td>&lt;img src=x onerror=alert(1)&gt;</td>"));
  EXPECT_THAT(detail, HasSubstr("&lt;b&gt;hi&lt;/b&gt;\r\n第二行</textarea>"));
}

TEST(BookAdmin, TwentyFiveMessagesMakeThreePages) {
  FakeSite site;
  for (int i = 0; i < 25; ++i) addMessage(site, Message{.posted = data::DateTime{2024, 1, 1, 0, 0, 0}.addSeconds(i)});
  std::string p2 = page(site, {{"page", "2"}}).body;
  EXPECT_EQ(occurrences(p2, R"(name="id" value=")"), 10);
  EXPECT_THAT(p2, HasSubstr("共25条留言 <a href='book_admin.asp?page=1'>首页</a> <a href='book_admin.asp?page=1'>前页</a> "
                            "<a href='book_admin.asp?page=3'>下页</a> <a href='book_admin.asp?page=3'>末页</a>   第2页 共3页"));
  std::string p3 = page(site, {{"page", "3"}}).body;
  EXPECT_EQ(occurrences(p3, R"(name="id" value=")"), 5);
  EXPECT_THAT(p3, HasSubstr("<font color=darkgray >下页 末页</font>"));
  for (const char* beyond : {"4", "x"}) EXPECT_THAT(page(site, {{"page", beyond}}).body, HasSubstr("第1页 共3页"));
}

TEST(BookAdmin, LleftCutsByCodePageWidth) {
  struct Case {
    std::string text;
    int budget;
    std::string cut;
  };
  const Case cases[] = {
      {"", 50, ""}, {"abc", 50, "abc"}, {std::string(60, 'a'), 50, std::string(50, 'a')}, {"一二三", 4, "一二"},
      {"一二三", 3, "一二"},  // the character that crosses the budget is kept
      {"a一b", 2, "a一"}, {"a一b", 1, "a"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(backoffice::catalogue::book_admin::lleft(c.text, c.budget), c.cut) << c.text << "/" << c.budget;
}

}  // namespace
