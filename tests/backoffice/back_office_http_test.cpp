// The passwd command, and two owners demoting each other at once, through the real server. (The login check:
// tests/accounts; the logout: frame_pages_test.cpp; the session id a login renews: tests/host.)
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

#include "support/over_http.h"

static const char kIn[] = "top.location.href='index.asp'";

TEST(PasswdCommand, SetsAPasswordFromStandardInput) {
  LiveServer server({.args = {"--fixed-code", "1234"}});
  auto passwd = [&](const std::string& name, const std::string& password) {
    return std::system(("echo '" + password + "' | " TOVI_BINARY " passwd --root '" + server.root() + "' " + name +
                        " >/dev/null 2>&1").c_str());
  };
  EXPECT_NE(passwd("admin", "short"), 0);
  EXPECT_NE(passwd("nobody", "brand-new-pw"), 0);
  ASSERT_EQ(passwd("admin", "brand-new-pw"), 0);
  HttpClient http(server.port());
  EXPECT_THAT(logIn(http, "admin", "brand-new-pw").text(), HasSubstr(kIn));
}

TEST(BackOfficeRace, TwoOwnersDemotingEachOtherAtOnceLeaveOne) {
  // Two I/O threads read the two posts at the same moment.
  LiveServer server({.args = {"--fixed-code", "1234", "--io-threads", "2"}});
  const std::string hash = accounts::hashPassword("owner-pass"), names[2] = {"east", "west"};
  liveExec(server, "delete from wq_admin");
  liveExec(server, data::Sql("insert into wq_admin (admin, password) values ('east', ?), ('west', ?)", {hash, hash}));
  const std::string ids[2] = {liveValue(server, "select * from wq_admin where admin='east'", "adminid"),
                              liveValue(server, "select * from wq_admin where admin='west'", "adminid")};
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    liveExec(server, "update wq_admin set flag=1");
    HttpClient owners[2] = {HttpClient(server.port()), HttpClient(server.port())};
    for (int i = 0; i < 2; ++i) ASSERT_THAT(logIn(owners[i], names[i], "owner-pass").text(), HasSubstr(kIn));
    // Each demotes the other: both posts wait on their connections for their last byte, then arrive together.
    int sockets[2];
    for (int i = 0; i < 2; ++i) {
      const std::string body = "admin=" + names[1 - i] + "&password=&flag=2";
      std::string request = "POST /admin/saveadmin.asp?action=edit&id=" + ids[1 - i] +
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
      while (recv(s, buf, sizeof buf, 0) > 0) continue;  // to the end of the answer
      close(s);
    }
    ASSERT_EQ(liveValue(server, "select * from wq_admin where flag=1"), "1");
  }
}
