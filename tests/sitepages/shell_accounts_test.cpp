// The account save page, the own-password page, the member save and delete
// pages and the first site owner.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "support/site_rows.h"
#include "sitepages/accounts.h"
#include "sitepages/passwords.h"

using namespace tovi;
using namespace tovi::testing;
using namespace tovi::sitepages;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

namespace {

FakeRequest ownerPost(std::vector<std::pair<std::string, std::string>> query,
                      std::vector<std::pair<std::string, std::string>> form, const std::string& self = "boss") {
  FakeRequest req = operatorOf(1, self);
  req.sameSitePost();
  req.query = std::move(query);
  req.form = std::move(form);
  return req;
}

struct Accounts : ::testing::Test {
  FakeSite site;
  bool alone = site.db().Execute("delete from wq_admin") >= 0;  // boss is the only site owner
  long long boss = addAccount(site, "boss", 1, hashPassword("boss-pass"));
  long long clerk = addAccount(site, "clerk", 2, hashPassword("clerk-pass"));

  std::string password(long long id) { return fieldOf(site, "wq_admin", "adminid", id, "password").text(); }
  std::string name(long long id) { return fieldOf(site, "wq_admin", "adminid", id, "admin").text(); }
  long long flag(long long id) { return fieldOf(site, "wq_admin", "adminid", id, "flag").toInteger(); }
  bool exists(long long id) {
    bool found = false;
    fieldOf(site, "wq_admin", "adminid", id, "admin", &found);
    return found;
  }
  PageResult run(FakeRequest& req) { return site.run("tovi.saveadmin", req, "admin"); }
  // Every account as name/right/password-hash lines: equal texts, nothing changed.
  std::string accounts() {
    data::Recordset rs;
    rs.Open("select * from wq_admin order by adminid", site.db(), data::adOpenKeyset, data::adLockReadOnly);
    std::string out;
    for (; !rs.Eof(); rs.MoveNext()) out += rs("admin").text() + "/" + rs("flag").text() + "/" + rs("password").text() + "\n";
    return out;
  }
};

TEST_F(Accounts, EditAndAddStoreWhatWasAskedAndAnArgonHash) {
  std::string before = password(clerk);
  FakeRequest req = ownerPost({{"action", "edit"}, {"id", std::to_string(clerk)}},
                              {{"admin", " cashier "}, {"password", ""}, {"flag", "1"}, {"Submit", "修 改"}});
  EXPECT_THAT(run(req).body, HasSubstr("alert('修改成功！');window.location.href='manageadmin.asp';"));
  EXPECT_EQ(name(clerk), "cashier");
  EXPECT_EQ(flag(clerk), 1);
  EXPECT_EQ(password(clerk), before);  // an empty password keeps the old one
  FakeRequest pw = ownerPost({{"action", "edit"}, {"id", std::to_string(clerk)}},
                             {{"admin", "cashier"}, {"password", "new-pass1"}});  // no flag: unchanged
  run(pw);
  EXPECT_EQ(flag(clerk), 1);
  EXPECT_EQ(verifyPassword(password(clerk), "new-pass1"), PasswordMatch::Yes);

  FakeRequest add = ownerPost({{"action", "add"}}, {{"admin2", "newbie"}, {"password2", "fresh-pass"}, {"flag2", "2"}});
  EXPECT_THAT(run(add).body, HasSubstr("alert('添加成功！')"));
  data::Recordset rs;
  rs.Open("select * from wq_admin where admin='newbie'", site.db(), data::adOpenKeyset, data::adLockReadOnly);
  ASSERT_FALSE(rs.Eof());
  EXPECT_EQ(rs("flag").value().toInteger(), 2);
  EXPECT_EQ(verifyPassword(rs("password").text(), "fresh-pass"), PasswordMatch::Yes);

  // Editing one's own account updates the session (cashier is a second owner now).
  FakeRequest self = ownerPost({{"action", "edit"}, {"id", std::to_string(boss)}}, {{"admin", "chief"}, {"flag", "2"}});
  run(self);
  EXPECT_EQ(self.session["admin"].text(), "chief");
  EXPECT_EQ(self.session["flag"].toInteger(), 2);
}

TEST_F(Accounts, BadInputIsRefusedAndChangesNothing) {
  const std::string b = std::to_string(boss), c = std::to_string(clerk), untouched = accounts();
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> query, form;
    std::string message;
  };
  for (const Case& k : {
           Case{"NoAction", {{"id", c}}, {{"admin", "x"}}, "未知的操作"},
           Case{"NoId", {{"action", "edit"}}, {{"admin", "x"}}, "参数错误"},
           Case{"TextId", {{"action", "edit"}, {"id", "abc"}}, {{"admin", "x"}}, "参数错误"},
           Case{"HostileId", {{"action", "edit"}, {"id", c + " or 1=1"}}, {{"admin", "x"}}, "参数错误"},
           Case{"UnknownId", {{"action", "edit"}, {"id", "9999"}}, {{"admin", "x"}}, "该用户不存在"},
           Case{"EmptyName", {{"action", "edit"}, {"id", c}}, {{"admin", "  "}}, "请填写用户名"},
           Case{"TakenName", {{"action", "edit"}, {"id", c}}, {{"admin", "boss"}}, "已被其他用户使用"},
           Case{"ShortPassword", {{"action", "edit"}, {"id", c}}, {{"admin", "clerk"}, {"password", "abc"}}, "密码长度"},
           Case{"BadRight", {{"action", "edit"}, {"id", c}}, {{"admin", "clerk"}, {"flag", "3"}}, "权限只能是"},
           Case{"DemoteLastOwner", {{"action", "edit"}, {"id", b}}, {{"admin", "boss"}, {"flag", "2"}}, "最后一个站长"},
           Case{"AddNoPassword", {{"action", "add"}}, {{"admin2", "n"}, {"password2", ""}, {"flag2", "2"}}, "请填写新用户的密码"},
           Case{"AddNoRight", {{"action", "add"}}, {{"admin2", "n"}, {"password2", "good-pass"}}, "请选择权限"},
           Case{"AddTaken", {{"action", "add"}}, {{"admin2", "clerk"}, {"password2", "good-pass"}, {"flag2", "2"}}, "已存在"},
           Case{"DeleteSelf", {{"action", "del"}, {"id", b}}, {}, "不能删除当前登录的用户"},
       }) {
    SCOPED_TRACE(k.name);
    FakeRequest req = ownerPost(k.query, k.form);
    PageResult page = run(req);
    EXPECT_THAT(page.body, HasSubstr("<script language=javascript>alert('"));
    EXPECT_THAT(page.body, HasSubstr(k.message));
    EXPECT_THAT(page.body, HasSubstr("history.go(-1)"));
    EXPECT_EQ(accounts(), untouched);
  }
}

TEST_F(Accounts, ARenamedOwnerSessionIsLoggedOutAndDeletesNothing) {
  // The session's account was renamed meanwhile: it no longer exists, so the
  // session is sent to the login page before the last owner could be touched.
  FakeRequest req = ownerPost({{"action", "del"}, {"id", std::to_string(boss)}}, {}, "ghost");
  EXPECT_THAT(run(req).body, HasSubstr("window.location.href='login.asp'"));
  EXPECT_TRUE(exists(boss));
}

TEST_F(Accounts, DeleteAsksFirstAndDeletesOnlyOnAPost) {
  FakeRequest get = operatorOf(1, "boss");
  get.http = true;
  get.query = {{"id", std::to_string(clerk)}, {"action", "del"}};
  PageResult confirm = run(get);
  EXPECT_THAT(confirm.body, HasSubstr("确定要删除后台用户“<b>clerk</b>”吗？"));
  EXPECT_THAT(confirm.body, HasSubstr("<form method='post' action='saveadmin.asp?id=" + std::to_string(clerk) + "&action=del'>"));
  EXPECT_TRUE(exists(clerk));

  FakeRequest foreign = ownerPost({{"action", "del"}, {"id", std::to_string(clerk)}}, {});
  foreign.headers["Origin"] = "http://evil.example";
  EXPECT_THAT(run(foreign).body, HasSubstr("操作被拒绝"));
  EXPECT_TRUE(exists(clerk));

  FakeRequest post = ownerPost({{"action", "del"}, {"id", std::to_string(clerk)}}, {});
  EXPECT_THAT(run(post).body, HasSubstr("alert('删除成功！')"));
  EXPECT_FALSE(exists(clerk));
}

TEST_F(Accounts, OwnPasswordNeedsTheOldOneAndTwoEqualNewOnes) {
  auto change = [&](const std::string& old, const std::string& fresh, const std::string& again) {
    FakeRequest req = operatorOf(2, "clerk");
    req.sameSitePost();
    req.query = {{"action", "save"}};
    req.form = {{"oldpassword", old}, {"newpassword", fresh}, {"newpassword2", again}};
    return site.run("tovi.renpassword", req, "admin").body;
  };
  EXPECT_THAT(change("wrong", "next-pass", "next-pass"), HasSubstr("原密码错误"));
  EXPECT_THAT(change("clerk-pass", "next-pass", "next-pasz"), HasSubstr("两次输入的新密码不一致"));
  EXPECT_THAT(change("clerk-pass", "short", "short"), HasSubstr("密码长度"));
  EXPECT_EQ(verifyPassword(password(clerk), "clerk-pass"), PasswordMatch::Yes);
  EXPECT_THAT(change("clerk-pass", "next-pass", "next-pass"), HasSubstr("密码修改成功"));
  EXPECT_EQ(verifyPassword(password(clerk), "next-pass"), PasswordMatch::Yes);
}

struct Members : ::testing::Test {
  FakeSite site;
  long long id = addMember(site, Member{.names = "lisi", .sh = 0});
  FakeRequest post(const std::string& memberId, std::vector<std::pair<std::string, std::string>> form) {
    FakeRequest req = operatorOf(2);
    req.sameSitePost();
    req.query = {{"id", memberId}};
    req.form = std::move(form);
    return req;
  }
  data::Value field(const std::string& f) { return fieldOf(site, "reg", "id", id, f); }
};

TEST_F(Members, SaveStoresApprovalAndAGivenPassword) {
  FakeRequest approve = post(std::to_string(id), {{"sh", "1"}, {"password", ""}, {"password1", ""}});
  EXPECT_THAT(site.run("tovi.reg2", approve, "admin").body, HasSubstr("alert('保存成功！');window.location.href='reg.asp';"));
  EXPECT_EQ(field("sh").toInteger(), 1);
  EXPECT_TRUE(field("password").blank());

  FakeRequest pw = post(std::to_string(id), {{"sh", "0"}, {"password", " new.pass_1 "}, {"password1", " new.pass_1 "}});
  site.run("tovi.reg2", pw, "admin");
  EXPECT_EQ(field("sh").toInteger(), 0);
  EXPECT_EQ(verifyPassword(field("password").text(), "new.pass_1"), PasswordMatch::Yes);
}

TEST_F(Members, SaveRefusesBadInput) {
  const std::string m = std::to_string(id);
  struct Case {
    const char* name;
    std::string id;
    std::vector<std::pair<std::string, std::string>> form;
    std::string message;
  };
  for (const Case& c : {
           Case{"NoId", "", {{"sh", "1"}}, "参数错误"},
           Case{"TextId", "x", {{"sh", "1"}}, "参数错误"},
           Case{"UnknownId", std::to_string(id + 50), {{"sh", "1"}}, "该用户不存在"},
           Case{"NoSh", m, {}, "请选择审核与否"},
           Case{"BadSh", m, {{"sh", "2"}}, "请选择审核与否"},
           Case{"ShortPassword", m, {{"sh", "1"}, {"password", "abcd"}, {"password1", "abcd"}}, "密码填写不正确"},
           Case{"BlankInside", m, {{"sh", "1"}, {"password", "abc def"}, {"password1", "abc def"}}, "密码填写不正确"},
           Case{"Differ", m, {{"sh", "1"}, {"password", "abcdef"}, {"password1", "abcdeg"}}, "两次填写的密码不一致"},
           Case{"OnlySecond", m, {{"sh", "1"}, {"password1", "abcdef"}}, "密码填写不正确"},
       }) {
    SCOPED_TRACE(c.name);
    FakeRequest req = post(c.id, c.form);
    EXPECT_THAT(site.run("tovi.reg2", req, "admin").body, HasSubstr("alert('" + c.message));
    EXPECT_EQ(field("sh").toInteger(), 0);
    EXPECT_TRUE(field("password").blank());
  }
  FakeRequest get = post(m, {{"sh", "1"}});
  get.method = "GET";
  EXPECT_THAT(site.run("tovi.reg2", get, "admin").body, HasSubstr("操作被拒绝"));
  EXPECT_EQ(field("sh").toInteger(), 0);
}

TEST_F(Members, DeleteConfirmsOnGetAndDeletesOnASameSitePost) {
  FakeRequest get = operatorOf(2);
  get.http = true;
  get.query = {{"id", std::to_string(id)}};
  EXPECT_THAT(site.run("tovi.reg3", get, "admin").body, HasSubstr("<form method='post' action='reg3.asp?id=" + std::to_string(id) + "'>"));
  EXPECT_EQ(rowCount(site, "reg"), 1);

  FakeRequest foreign = post(std::to_string(id), {}), bad = post("1 or 1=1", {});
  foreign.headers.erase("Origin");
  foreign.headers["Referer"] = "http://evil.example/x.html";
  EXPECT_THAT(site.run("tovi.reg3", foreign, "admin").body, HasSubstr("操作被拒绝"));
  EXPECT_THAT(site.run("tovi.reg3", bad, "admin").body, HasSubstr("参数错误"));
  EXPECT_EQ(rowCount(site, "reg"), 1);

  FakeRequest del = post(std::to_string(id), {});
  EXPECT_THAT(site.run("tovi.reg3", del, "admin").body, HasSubstr("alert('删除成功！')"));
  EXPECT_EQ(rowCount(site, "reg"), 0);
}

// (That the printed password logs in as the site owner: shell_http_test.cpp.)
TEST(FirstSiteOwner, CreatedOnceWithAPrintedPasswordThatFitsTheRules) {
  FakeSite site;
  site.db().Execute("delete from wq_admin");
  std::ostringstream out, again;
  createFirstSiteOwner(site.databasePath(), out);
  auto at = out.str().rfind("password: ");
  ASSERT_NE(at, std::string::npos);
  std::string pw = out.str().substr(at + 10);
  ASSERT_GT(pw.size(), 1u);
  pw.pop_back();  // the line break
  EXPECT_EQ(accountPasswordProblem(pw), "");
  createFirstSiteOwner(site.databasePath(), again);
  EXPECT_EQ(again.str(), "");
  EXPECT_EQ(rowCount(site, "wq_admin"), 1);
}

}  // namespace
