// The account save page, the own-password page and the member save and delete pages, through the real server.
// (What each name and password rule takes: tests/accounts' rules table.)
#include "support/over_http.h"

namespace {
struct Accounts : StaffedSite, ::testing::Test {
  std::string clerkId = id("wq_admin", "adminid", "admin='clerk'"),
              ownerId = id("wq_admin", "adminid", "admin='admin'");
  std::string m = [this] {
    liveExec(server, "insert into reg (names, sh, tel, address) values ('lisi', 0, '0591-1234567', 'x')");
    return id("reg", "id", "names='lisi'");
  }();
  std::string account(const std::string& adminid, const std::string& field) {
    return liveValue(server, "select * from wq_admin where adminid=" + adminid, field);
  }
  bool passwordIs(const std::string& stored, const std::string& password) {
    return accounts::verifyPassword(stored, password) == accounts::PasswordMatch::Yes;
  }
  std::string member(const std::string& field) { return liveValue(server, "select * from reg where id=" + m, field); }
  HttpResponse save(HttpClient& who, const std::string& query, const Fields& form) {
    return postOwn(who, "/admin/saveadmin.asp?" + query, gbkForm(form));
  }
};
// What an account refusal answers: an alert, then back to the form.
std::vector<std::string> back(const std::string& message) {
  return {"<script language=javascript>alert('", message, "history.go(-1)"};
}
}  // namespace

TEST_F(Accounts, OwnPasswordEditAddAndDeleteStoreWhatWasAskedAndAnArgonHash) {
  EXPECT_THAT(postOwn(clerk, "/admin/renpassword.asp?action=save",
                      "oldpassword=clerk-pass&newpassword=next-pass&newpassword2=next-pass").text(),
              HasSubstr("密码修改成功"));
  const std::string edit = "action=edit&id=" + clerkId;
  EXPECT_THAT(save(owner, edit, {{"admin", " cashier "}, {"password", ""}, {"flag", "1"}, {"Submit", "修 改"}}).text(),
              HasSubstr("alert('修改成功！');window.location.href='manageadmin.asp';"));
  EXPECT_EQ(account(clerkId, "admin") + "|" + account(clerkId, "flag"), "cashier|1");
  EXPECT_TRUE(passwordIs(account(clerkId, "password"), "next-pass"));  // an empty password keeps the one before
  save(owner, edit, {{"admin", "cashier"}, {"password", "new-pass1"}});  // no flag: unchanged
  EXPECT_EQ(account(clerkId, "flag"), "1");
  EXPECT_TRUE(passwordIs(account(clerkId, "password"), "new-pass1"));

  // A same-site Referer without Origin is enough.
  EXPECT_THAT(owner.post("/admin/saveadmin.asp?action=add", "admin2=newbie&password2=fresh-pass&flag2=2",
                         "application/x-www-form-urlencoded", {{"Referer", owner.origin() + "/admin/manageadmin.asp"}})
                  .text(),
              HasSubstr("alert('添加成功！')"));
  const std::string newbie = id("wq_admin", "adminid", "admin='newbie'");
  EXPECT_EQ(account(newbie, "flag"), "2");
  EXPECT_TRUE(passwordIs(account(newbie, "password"), "fresh-pass"));
  // A delete asks first, and deletes on the post only.
  const std::string del = "/admin/saveadmin.asp?id=" + newbie + "&action=del";
  expectTexts(owner.get(del).text(), {"确定要删除后台用户“<b>newbie</b>”吗？",
                                      "<form method='post' action='saveadmin.asp?id=" + newbie + "&action=del'>"});
  EXPECT_EQ(account(newbie, "admin"), "newbie");
  EXPECT_THAT(postOwn(owner, del, "").text(), HasSubstr("alert('删除成功！')"));
  EXPECT_EQ(account(newbie, "admin"), "<none>");

  // Editing one's own account updates the session (cashier is a second owner now): the new name
  // still opens the back office, and the lowered right holds even when the account is raised again.
  save(owner, "action=edit&id=" + ownerId, {{"admin", "chief"}, {"flag", "2"}});
  EXPECT_THAT(owner.get("/admin/admin.asp").text(), HasSubstr("岚禾统一后台"));
  liveExec(server, "update wq_admin set flag=1 where admin='chief'");
  EXPECT_THAT(owner.get("/admin/manageadmin.asp").text(), HasSubstr("您没有管理权限!!"));
}

TEST_F(Accounts, MemberSaveStoresApprovalAndAGivenPasswordAndDeleteAsksFirst) {
  EXPECT_THAT(postOwn(clerk, "/admin/reg2.asp?id=" + m, "sh=1&password=&password1=").text(),
              HasSubstr("alert('保存成功！');window.location.href='reg.asp';"));
  EXPECT_EQ(member("sh") + "|" + member("password"), "1|");
  postOwn(clerk, "/admin/reg2.asp?id=" + m, "sh=0&password=+new.pass_1+&password1=+new.pass_1+");
  EXPECT_EQ(member("sh"), "0");
  EXPECT_TRUE(passwordIs(member("password"), "new.pass_1"));
  EXPECT_THAT(clerk.get("/admin/reg3.asp?id=" + m).text(),
              HasSubstr("<form method='post' action='reg3.asp?id=" + m + "'>"));
  EXPECT_EQ(member("names"), "lisi");
  EXPECT_THAT(postOwn(clerk, "/admin/reg3.asp?id=" + m, "").text(), HasSubstr("alert('删除成功！')"));
  EXPECT_EQ(member("names"), "<none>");
}

// (Who may send them: frame_pages_test.cpp's guard table. Every malformed id: tests/frame's positiveId table.)
TEST_F(Accounts, BadOrForeignRequestsChangeNothing) {
  const std::string s = "/admin/saveadmin.asp?", c = clerkId, o = ownerId, pw = "/admin/renpassword.asp?action=save";
  const std::string edit = s + "action=edit&id=" + c, reg2 = "/admin/reg2.asp?id=" + m;
  std::vector<Ask> asks = {
      {&owner, s + "id=" + c, "admin=x", back("未知的操作")}, {&owner, s + "action=edit", "admin=x", back("参数错误")},
      {&owner, s + "action=edit&id=" + urlEncode(c + " or 1=1"), "admin=x", back("参数错误")},
      {&owner, s + "action=edit&id=9999", "admin=x", back("该用户不存在")},
      {&owner, edit, "admin=++", back("请填写用户名")}, {&owner, edit, "admin=admin", back("已被其他用户使用")},
      {&owner, edit, "admin=clerk&password=abc", back("密码长度")},
      {&owner, edit, "admin=clerk&flag=3", back("权限只能是")},
      {&owner, s + "action=edit&id=" + o, "admin=admin&flag=2", back("最后一个站长")},
      {&owner, s + "action=add", "admin2=n&password2=&flag2=2", back("请填写新用户的密码")},
      {&owner, s + "action=add", "admin2=n&password2=good-pass", back("请选择权限")},
      {&owner, s + "action=add", "admin2=clerk&password2=good-pass&flag2=2", back("已存在")},
      {&owner, s + "action=del&id=" + o, "", back("不能删除当前登录的用户")},
      {&owner, s + "action=del&id=" + c, "", {"操作被拒绝"}, OtherSite},
      {&clerk, pw, "oldpassword=wrong&newpassword=next-pass&newpassword2=next-pass", {"原密码错误"}},
      {&clerk, pw, "oldpassword=clerk-pass&newpassword=next-pass&newpassword2=next-pasz", {"两次输入的新密码不一致"}},
      {&clerk, "/admin/reg2.asp?id=x", "sh=1", {"alert('参数错误"}},
      {&clerk, "/admin/reg2.asp?id=" + std::to_string(std::stoll(m) + 50), "sh=1", {"alert('该用户不存在"}},
      {&clerk, reg2, "sh=2", {"alert('请选择审核与否"}},
      {&clerk, reg2, "sh=1&password=abcd&password1=abcd", {"alert('密码填写不正确"}},
      {&clerk, reg2, "sh=1&password1=abcdef", {"alert('密码填写不正确"}},
      {&clerk, reg2, "sh=1&password=abcdef&password1=abcdeg", {"alert('两次填写的密码不一致"}},
      {&clerk, reg2 + "&sh=1", "", {"操作被拒绝"}, Site, true},
      {&clerk, "/admin/reg3.asp?id=" + m, "", {"操作被拒绝"}, OtherReferer},
  };
  // The site owner's browser, driven by another site.
  for (From from : {OtherSite, OtherReferer, Nowhere})
    asks.push_back({&owner, s + "action=add", "admin2=sneaky&password2=sneaky-pass&flag2=1", {"操作被拒绝"}, from});
  expectRefused(asks);
}
