// The accounts list (manageadmin) and the member pages (reg, reg1). (Names shown escaped: frame_pages_test.cpp;
// the page selector's clamping and links: tests/frame; every malformed id: tests/frame's positiveId table.)
#include "support/site_rows.h"
#include "support/testing.h"

TEST(AccountsPage, OwnersFirstWithTheirRightsTrimmed) {
  FakeSite site;
  long long a = addAccount(site, "  waiter  ", 2), b = addAccount(site, "owner", 1), c = addAccount(site, "odd", 7);
  std::string body = runAs(site, "mabex.manageadmin", {}).body;
  auto at = [&](long long id) { return body.find("action='saveadmin.asp?action=edit&id=" + std::to_string(id) + "'"); };
  ASSERT_NE(at(c), std::string::npos);
  EXPECT_LT(at(b), at(a));
  EXPECT_LT(at(a), at(c));
  expectTexts(body, {"value='waiter'", "saveadmin.asp?id=" + std::to_string(c) + "&action=del'"});
  // Four forms with the site's own owner "admin"; each right checked as stored, none for right 7.
  for (auto [text, n] : {std::pair{"action=edit", 4}, {"name=flag value=1 checked", 2},
                         {"name=flag type=radio value=2 checked", 1}, {"name=flag value=1", 3}})
    EXPECT_EQ(occurrences(body, text), n) << text;
}

TEST(MembersPage, TwentyAPageTheWantedOneClamped) {
  FakeSite site;
  expectPage(site, {.name = "no member", .page = "reg", .has = {"暂无用户！！"}, .hasNot = {"<table"}, .ended = true});
  for (int i = 1; i <= 41; ++i) addMember(site, Member{.names = "m" + std::to_string(i)});
  const std::string body = runAs(site, "mabex.reg", {{"CurrentPage", "99"}}).body;  // the last page
  EXPECT_EQ(occurrences(body, "<a href='reg1.asp?id="), 1);
  expectTexts(body, {"&nbsp;m41</td>", "</select>页/共3页共41条记录", "<option selected>3</option>"});
}

TEST(MemberPages, RowsAndRecordShowApprovalAndRefuseBadIds) {
  FakeSite site;
  const long long approved = addMember(site, Member{.names = "王", .sh = 1, .sex = 1}),
                  waiting = addMember(site, Member{.names = "李", .sh = 0, .sex = 2}),
                  unset = addMember(site, Member{.sh = data::Value::null()});
  const std::string a = std::to_string(approved), w = std::to_string(waiting);
  const std::string list = runAs(site, "mabex.reg", {}).body;
  for (long long id : {approved, waiting, unset})
    expectTexts(list, {"reg1.asp?id=" + std::to_string(id) + "'", "reg3.asp?id=" + std::to_string(id) + "'"});
  EXPECT_EQ(occurrences(list, "已 审 核"), 1);
  EXPECT_EQ(occurrences(list, "未 审 核"), 2);
  expectPage(site, {.name = "approved", .page = "reg1", .query = {{"id", a}},
                    .has = {"action='./reg2.asp?id=" + a + "'", "value='王'", "value='1990年3月9日'", "<td>男</td>",
                            "value='1' checked>审核"}});
  expectPage(site, {.name = "waiting", .page = "reg1", .query = {{"id", w}},
                    .has = {"<td>女</td>", "value='0' checked>不审核"}});
  for (auto [id, message] : {std::pair{std::string("1.5"), "参数错误"}, {std::to_string(unset + 100), "该用户不存在"}})
    expectPage(site, {.name = "id " + id, .page = "reg1", .query = {{"id", id}}, .has = {message},
                      .hasNot = {"<form"}, .ended = true});
}
