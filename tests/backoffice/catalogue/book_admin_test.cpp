// Guestbook administration: the review switch, the list, pin/hide/reply, deletes. (Bad ids and choices, and
// deletes from elsewhere or with bad ticks: catalogue_http_test.cpp.)
#include "backoffice/catalogue/book_admin.h"
#include "support/site_rows.h"
#include "support/testing.h"

namespace {
long long addMessage(FakeSite& site, const std::string& name, const std::string& comments = "你好", bool del = false,
                     data::DateTime at = {2024, 2, 1, 12, 0, 0}) {
  return insertRow(site, "Feedback", {{"UserName", name}, {"Comments", comments}, {"PostDate", at}, {"Dates", at},
                                      {"Replay", ""}, {"top", 0}, {"Online", 1}, {"del", del}}, "ID");
}
PageResult page(FakeSite& site, Fields query, Fields form = {}) {
  return runAs(site, "mabex.book_admin", std::move(query), std::move(form));
}
Fields detail(long long id) { return {{"action", "replay"}, {"id", std::to_string(id)}}; }
std::string tickBox(long long id) { return R"(name="id" value=")" + std::to_string(id) + "\""; }
}  // namespace

TEST(BookAdmin, LleftCutsByCodePageWidthKeepingTheCharacterThatCrossesTheBudget) {
  for (auto [text, budget, cut] : {std::tuple{std::string(), 50, std::string()}, {"abc", 50, "abc"},
                                   {std::string(60, 'a'), 50, std::string(50, 'a')}, {"一二三", 4, "一二"},
                                   {"一二三", 3, "一二"}, {"a一b", 2, "a一"}, {"a一b", 1, "a"}})
    EXPECT_EQ(backoffice::catalogue::book_admin::lleft(text, budget), cut) << text << "/" << budget;
}

TEST(BookAdmin, ReviewSwitchSavesBothWaysAndRefusesOtherValues) {
  FakeSite site;
  for (auto [view, stored] : {std::pair{"0", "0"}, {"1", "1"}, {"0", "0"}, {"7", "0"}}) {
    EXPECT_THAT(page(site, {{"action", "setup"}}, {{"view", view}, {"save", "ok"}}).body,
                HasSubstr(*view == '7' ? "请选择" : "已保存"));
    EXPECT_EQ(valuesOf(site, "select * from view2", "view"), std::vector<std::string>{stored});
    EXPECT_THAT(page(site, {}).body, HasSubstr(R"(name="view" value=")" + std::string(stored) + R"(" checked>)"));
  }
}

// Newest first; a pinned message first, marked and without a tick box; unpinned, back in date order. The reply,
// the visibility and the corrected text are saved with their line breaks; deleted messages never show.
TEST(BookAdmin, ListDetailAndReplyPinHideAndKeepLineBreaks) {
  FakeSite site;
  const long long older = addMessage(site, "甲", "第一行<BR>第二行", false, {2024, 1, 1, 0, 0, 0}),
                  newer = addMessage(site, "乙", "你好", false, {2024, 1, 2, 0, 0, 0});
  addMessage(site, "已删", "你好", true);
  expectTexts(page(site, {}).body, {"新留言", "第一行<br>第二行"});
  expectTexts(page(site, detail(older)).body,
              {">第一行\r\n第二行</textarea>", R"(name="Online" value="1" checked>公开)"});
  for (auto [top, first, second] : {std::tuple{"1", "甲", "乙"}, {"0", "乙", "甲"}}) {
    SCOPED_TRACE(top);
    page(site, detail(older), {{"comments", "第一行\r\n第二行"}, {"Replay", "谢谢\r\n欢迎"}, {"top", top},
                               {"Online", "0"}, {"send", "ok"}});
    const std::string body = page(site, {}).body, pin = ">TOP</font>";
    EXPECT_LT(body.find(std::string(">") + first + "</td>"), body.find(std::string(">") + second + "</td>"));
    const bool pinned = *top == '1';
    expectTexts(body, {tickBox(newer), pinned ? pin : tickBox(older), ">已回复</td>"},
                {"已删", pinned ? tickBox(older) : pin});
  }
  auto stored = [&](const char* field) { return fieldOf(site, "Feedback", "ID", older, field).text(); };
  EXPECT_EQ(stored("Comments") + "|" + stored("Replay") + "|" + stored("ReplayDate"),
            "第一行<BR>第二行|谢谢<BR>欢迎|2024-3-9 10:00:00");
  expectTexts(page(site, detail(older)).body, {">谢谢\r\n欢迎</textarea>", R"(name="Online" value="0" checked> 隐藏)"});
}

TEST(BookAdmin, DeleteRemovesTheTickedMessagesAndPagesHoldTen) {
  FakeSite site;
  const long long id = addMessage(site, "访客"), removed = addMessage(site, "访客", "你好", true),
                  other = addMessage(site, "访客");
  page(site, {}, {{"action", "删除"}, {"id", std::to_string(id)}, {"id", std::to_string(removed)}});
  EXPECT_EQ(valuesOf(site, "select * from Feedback", "ID"), std::vector<std::string>{std::to_string(other)});
  for (int i = 1; i < 25; ++i) addMessage(site, "访客", "你好", false, data::DateTime{2024, 1, 1, 0, 0, 0}.addSeconds(i));
  const std::string p2 = "共25条留言 <a href='book_admin.asp?page=1'>首页</a> <a href='book_admin.asp?page=1'>前页</a> "
                        "<a href='book_admin.asp?page=3'>下页</a> <a href='book_admin.asp?page=3'>末页</a>   第2页 共3页";
  for (auto [asked, boxes, bar] : {std::tuple{"2", 10, p2}, {"3", 5, "<font color=darkgray >下页 末页</font>  第3页"},
                                   {"4", 10, "第1页 共3页"}, {"x", 10, "第1页 共3页"}}) {
    const std::string body = page(site, {{"page", asked}}).body;
    EXPECT_EQ(occurrences(body, R"(name="id" value=")"), boxes) << asked;
    EXPECT_THAT(body, HasSubstr(bar));
  }
}
