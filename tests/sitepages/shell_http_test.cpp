// The back-office login, its guards and the passwd command through the real server.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "over_http.h"
#include "sitepages/passwords.h"

using namespace tovi;
using namespace tovi::testing;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

const char kOk[] = "top.location.href='index.asp'";
const char kNotLoggedIn[] = "网络超时或者您还没有登录请登录";

void addAccount(const LiveServer& server, const std::string& name, int flag, const std::string& stored) {
  liveExec(server, data::Sql("insert into wq_admin (admin, password, flag) values (?, ?, ?)",
                             {data::Value(name), data::Value(stored), data::Value(flag)}));
}

std::string storedPassword(const LiveServer& server, const std::string& name) {
  return liveValue(server, data::Sql("select * from wq_admin where admin=?", {data::Value(name)}), "password");
}

std::string accountCount(const LiveServer& server) { return liveValue(server, "select * from wq_admin"); }

TEST(BackOfficeLogin, PrintedPasswordLogsInWithANewSessionIdThatLogoutEmpties) {
  LiveServer server(kFixedCode);
  std::string password = initPassword(server);
  ASSERT_FALSE(password.empty());
  HttpClient http(server.port());
  HttpResponse wrongPw = logIn(http, "admin", password + "x");
  EXPECT_THAT(wrongPw.text(), HasSubstr("用户名或密码错误"));
  EXPECT_EQ(logIn(http, "nobody", password).text(), wrongPw.text());  // no hint which one was wrong
  EXPECT_THAT(http.get("/admin/admin.asp").text(), HasSubstr(kNotLoggedIn));

  auto before = http.cookies();
  EXPECT_THAT(logIn(http, "admin", password).text(), HasSubstr(kOk));
  EXPECT_NE(http.cookies(), before);
  EXPECT_THAT(http.get("/admin/admin.asp").text(), HasSubstr("岚禾统一后台"));
  // The session id from before the login opens nothing.
  HttpClient stale(server.port());
  stale.cookies() = before;
  EXPECT_THAT(stale.get("/admin/admin.asp").text(), HasSubstr(kNotLoggedIn));

  // Logout empties the keys: the guards refuse the same session again.
  HttpResponse out = http.get("/admin/logout.asp");
  EXPECT_EQ(out.status, 302);
  EXPECT_THAT(out.headers["Location"], HasSubstr("Index.asp"));
  EXPECT_THAT(http.get("/admin/admin.asp").text(), HasSubstr(kNotLoggedIn));
  EXPECT_THAT(http.get("/admin/manageadmin.asp").text(), HasSubstr("网络超时或者您还没有登录请登录!!"));
  EXPECT_EQ(http.get("/admin/index.asp").status, 302);
}

TEST(BackOfficeLogin, LegacyDigestIsReplacedAtTheFirstLoginOnly) {
  LiveServer server(kFixedCode);
  addAccount(server, "veteran", 2, sitepages::md5Hex("old-secret"));
  HttpClient http(server.port());
  EXPECT_THAT(logIn(http, "veteran", "nope").text(), HasSubstr("用户名或密码错误"));
  EXPECT_EQ(storedPassword(server, "veteran"), sitepages::md5Hex("old-secret"));
  EXPECT_THAT(logIn(http, "veteran", "old-secret").text(), HasSubstr(kOk));
  std::string stored = storedPassword(server, "veteran");
  EXPECT_THAT(stored, StartsWith("$argon2id$"));
  HttpClient again(server.port());
  EXPECT_THAT(logIn(again, "veteran", "old-secret").text(), HasSubstr(kOk));
  EXPECT_EQ(storedPassword(server, "veteran"), stored);
}

TEST(BackOfficeLogin, RightTwoCannotChangeAccountsNorCanAnotherSite) {
  LiveServer server(kFixedCode);
  addAccount(server, "clerk", 2, sitepages::hashPassword("clerk-pass"));
  HttpClient http(server.port());
  ASSERT_THAT(logIn(http, "clerk", "clerk-pass").text(), HasSubstr(kOk));
  EXPECT_THAT(http.get("/admin/manageadmin.asp").text(), HasSubstr("alert('您没有管理权限!!');window.location.href='admin.asp';"));
  const std::string target = "/admin/saveadmin.asp?action=add";
  std::string add = formBody({{"admin2", "sneaky"}, {"password2", "sneaky-pass"}, {"flag2", "1"}});
  EXPECT_THAT(postOwn(http, target, add).text(), HasSubstr("您没有管理权限!!"));
  EXPECT_EQ(accountCount(server), "2");

  // The site owner's browser, driven by another site.
  HttpClient owner = asOwner(server);
  for (const auto& headers : std::vector<std::map<std::string, std::string>>{
           {{"Origin", "http://evil.example"}}, {{"Referer", "http://evil.example/page.html"}}, {}})
    EXPECT_THAT(postForm(owner, target, add, headers).text(), HasSubstr("操作被拒绝"));
  EXPECT_EQ(accountCount(server), "2");
  EXPECT_THAT(postForm(owner, target, add, {{"Referer", owner.origin() + "/admin/manageadmin.asp"}}).text(),
              HasSubstr("添加成功"));
  EXPECT_EQ(accountCount(server), "3");
}

TEST(BackOfficeLogin, PasswdCommandSetsAPasswordFromStandardInput) {
  LiveServer server(kFixedCode);
  auto passwd = [&](const std::string& name, const char* password) {
    std::string cmd = std::string(TOVI_BINARY) + " passwd --root '" + server.root() + "' " + name + " >/dev/null 2>&1";
    FILE* p = popen(cmd.c_str(), "w");
    if (!p) return -1;
    std::fputs(password, p);
    return pclose(p);
  };
  EXPECT_NE(passwd("admin", "short\n"), 0);
  EXPECT_NE(passwd("nobody", "brand-new-pw\n"), 0);
  ASSERT_EQ(passwd("admin", "brand-new-pw\n"), 0);
  HttpClient http(server.port());
  EXPECT_THAT(logIn(http, "admin", "brand-new-pw").text(), HasSubstr(kOk));
}

}  // namespace
