// The back-office login, the logout and the passwd command through the real server. (The refusals of the login
// check: tests/accounts. An account changed while logged in: tests/frame's guard table and accounts_http_test.cpp.)
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

#include "support/over_http.h"

namespace {
const char kIn[] = "top.location.href='index.asp'";
const char kNotLoggedIn[] = "网络超时或者您还没有登录请登录";

long long addLive(const LiveServer& server, const std::string& name, int flag, const std::string& stored) {
  liveExec(server, data::Sql("insert into wq_admin (admin, password, flag) values (?, ?, ?)", {name, stored, flag}));
  return std::stoll(liveValue(server, data::Sql("select * from wq_admin where admin=?", {name}), "adminid"));
}
struct BackOffice : StaffedSite, ::testing::Test {
  HttpClient& http = visitor;
};
}  // namespace

TEST_F(BackOffice, PrintedPasswordLogsInWithANewSessionIdThatLogoutEmptiesAndOldDigestsAreReplaced) {
  std::string password = initPassword(server);  // the staffed site's owner logged in with it
  EXPECT_THAT(logIn(http, "admin", password + "x").text(), HasSubstr("用户名或密码错误"));
  // The name is trimmed; the code the last check used up is gone, and the fixed code stands in.
  auto before = http.cookies();
  EXPECT_THAT(
      postOwn(http, "/admin/chkadmin.asp", "admin=+admin+&verifycode=1234&password=" + urlEncode(password)).text(),
      HasSubstr(kIn));
  EXPECT_NE(http.cookies(), before);
  EXPECT_THAT(http.get("/admin/admin.asp").text(), HasSubstr("岚禾统一后台"));
  EXPECT_THAT(http.get("/admin/menu.asp").text(), HasSubstr("用户名：<font color=red>admin</font>"));
  HttpClient stale(server.port());  // the session id from before the login opens nothing
  stale.cookies() = before;
  EXPECT_THAT(stale.get("/admin/admin.asp").text(), HasSubstr(kNotLoggedIn));
  // Logout empties the keys without ending the session: the guards refuse the same session again.
  const auto session = http.cookies();
  HttpResponse out = http.get("/admin/logout.asp");
  EXPECT_EQ(out.status, 302);
  EXPECT_THAT(out.headers["Location"], HasSubstr("Index.asp"));
  EXPECT_EQ(http.cookies(), session);
  EXPECT_THAT(http.get("/admin/admin.asp").text(), HasSubstr(kNotLoggedIn));
  EXPECT_EQ(http.get("/admin/index.asp").status, 302);

  // An MD5 digest of an older site: replaced by an argon2 hash at the first login, not at a failed one.
  auto stored = [&] { return liveValue(server, "select * from wq_admin where admin='veteran'", "password"); };
  addLive(server, "veteran", 2, accounts::md5Hex("old-secret"));
  EXPECT_THAT(logIn(stale, "veteran", "nope").text(), HasSubstr("用户名或密码错误"));
  EXPECT_EQ(stored(), accounts::md5Hex("old-secret"));
  EXPECT_THAT(logIn(stale, "veteran", "old-secret").text(), HasSubstr(kIn));
  const std::string hash = stored();
  EXPECT_THAT(hash, StartsWith("$argon2id$"));
  EXPECT_THAT(logIn(http, "veteran", "old-secret").text(), HasSubstr(kIn));
  EXPECT_EQ(stored(), hash);
}

TEST_F(BackOffice, PasswdCommandSetsAPasswordFromStandardInput) {
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
  EXPECT_THAT(logIn(http, "admin", "brand-new-pw").text(), HasSubstr(kIn));
}

TEST(BackOfficeRace, TwoOwnersDemotingEachOtherAtOnceLeaveOne) {
  // Two I/O threads read the two posts at the same moment.
  LiveServer server({.args = {"--fixed-code", "1234", "--io-threads", "2"}});
  liveExec(server, "delete from wq_admin");
  std::string hash = accounts::hashPassword("owner-pass");
  const std::string names[2] = {"east", "west"};
  const long long ids[2] = {addLive(server, names[0], 1, hash), addLive(server, names[1], 1, hash)};
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    liveExec(server, "update wq_admin set flag=1");
    HttpClient owners[2] = {HttpClient(server.port()), HttpClient(server.port())};
    for (int i = 0; i < 2; ++i) ASSERT_THAT(logIn(owners[i], names[i], "owner-pass").text(), HasSubstr(kIn));
    // Each demotes the other: both posts wait on their connections for their last byte, then arrive together.
    int sockets[2];
    for (int i = 0; i < 2; ++i) {
      std::string body = formBody({{"admin", names[1 - i]}, {"password", ""}, {"flag", "2"}});
      std::string request = "POST /admin/saveadmin.asp?action=edit&id=" + std::to_string(ids[1 - i]) +
                            " HTTP/1.1\r\nHost: " + owners[i].origin().substr(7) + "\r\nOrigin: " + owners[i].origin() +
                            "\r\nCookie: TOVISESSION=" + owners[i].cookies()["TOVISESSION"] +
                            "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                            std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
      ASSERT_GE(sockets[i] = connectLoopback(server.port()), 0);
      ASSERT_EQ(send(sockets[i], request.data(), request.size() - 1, 0), static_cast<ssize_t>(request.size() - 1));
    }
    for (int s : sockets) ASSERT_EQ(send(s, "2", 1, 0), 1);  // the last byte of both: flag=2
    for (int s : sockets) {
      char buf[4096];
      while (recv(s, buf, sizeof buf, 0) > 0) {
      }
      close(s);
    }
    ASSERT_EQ(liveValue(server, "select * from wq_admin where flag=1"), "1");
  }
}
