// The accounts list (manageadmin) and the member pages (reg, reg1). (Names shown escaped: frame_pages_test.cpp.)
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
  expectTexts(body, {"<form name='form1' method='post' action='saveadmin.asp?action=add'>", "value='waiter'",
                     "<input type=radio name=flag value=1 checked>站长　<input name=flag type=radio value=2 >管理员",
                     "<input type=radio name=flag value=1>站长　<input name=flag type=radio value=2 checked>管理员",
                     "<a href='saveadmin.asp?id=" + std::to_string(c) +
                         "&action=del' onclick=\"return confirm('您确定要删除此用户吗？');\">删除</a>"});
  // Four forms with the site's own owner "admin", three with right buttons: the account of right 7 has none.
  EXPECT_EQ(occurrences(body, "action=edit"), 4);
  EXPECT_EQ(occurrences(body, "name=flag value=1"), 3);
}

TEST(MembersPage, PagingAndClamping) {
  FakeSite site;
  expectPage(site, {.name = "no member", .page = "reg", .has = {"暂无用户！！"}, .hasNot = {"<table"}, .ended = true});
  for (int i = 1; i <= 41; ++i) addMember(site, Member{.names = "m" + std::to_string(i), .sh = i % 2});
  const std::string back = "[<a href=javascript:PageFirst()>第一页</a>] [<a href=javascript:PagePrior()>上一页</a>] ",
                    on = "[<a href=javascript:PageNext()>下一页</a>] [<a href=javascript:PageLast()>最后一页</a>] ";
  for (auto [asked, page] : {std::pair{"", 1}, {"2", 2}, {"99", 3}, {"1e9", 3}, {"0", 1}, {"-5", 1}, {"abc", 1}}) {
    SCOPED_TRACE(std::string("CurrentPage=") + asked);
    std::string body = runAs(site, "mabex.reg", {{"CurrentPage", asked}}).body;
    EXPECT_EQ(occurrences(body, "用 户 名:"), page < 3 ? 20 : 1);
    EXPECT_EQ(occurrences(body, "<option"), 3);
    expectTexts(body, {"&nbsp;m" + std::to_string((page - 1) * 20 + 1) + "</td>", "</select>页/共3页共41条记录</font>",
                       "<option selected>" + std::to_string(page) + "</option>"});
    EXPECT_EQ(occurrences(body, back), page > 1);
    EXPECT_EQ(occurrences(body, on), page < 3);
  }
}

TEST(MemberPages, RowsAndRecordShowApprovalAndRefuseBadIds) {
  FakeSite site;
  const long long approved = addMember(site, Member{.names = "王", .sh = 1, .sex = 1}),
                  waiting = addMember(site, Member{.names = "李", .sh = 0, .sex = 2}),
                  unset = addMember(site, Member{.sh = data::Value::null()});
  const std::string a = std::to_string(approved), w = std::to_string(waiting);
  const std::string list = runAs(site, "mabex.reg", {}).body;
  for (long long id : {approved, waiting, unset})
    expectTexts(list, {"<a href='reg1.asp?id=" + std::to_string(id) + "'>查 看 资 料</a>",
                       "<a href='reg3.asp?id=" + std::to_string(id) + "'>删 除 用 户</a>"});
  EXPECT_EQ(occurrences(list, "已 审 核"), 1);
  EXPECT_EQ(occurrences(list, "未 审 核"), 2);
  expectPage(site, {.name = "approved", .page = "reg1", .query = {{"id", a}},
                    .has = {"<form name='theform' action='./reg2.asp?id=" + a + "'",
                            "<input name='yhm' type='text' value='王' size='50' readonly>", "value='1990年3月9日'",
                            "性别：</td>\n    <td>男</td>", "<input type='radio' name='sh' value='1' checked>审核"}});
  expectPage(site, {.name = "waiting", .page = "reg1", .query = {{"id", w}},
                    .has = {"性别：</td>\n    <td>女</td>", "<input type='radio' name='sh' value='0' checked>不审核"}});
  // (Every malformed id: tests/frame's positiveId table.)
  for (auto [id, message] : {std::pair{std::string("1.5"), "参数错误"}, {std::to_string(unset + 100), "该用户不存在"}})
    expectPage(site, {.name = "id " + id, .page = "reg1", .query = {{"id", id}},
                      .has = {std::string("<script language=javascript>alert('") + message}, .hasNot = {"<form"},
                      .ended = true});
}
