// Back-office rights through the real server: a change to an account counts
// at its next request, and two owners demoting each other at once leave one.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include "over_http.h"
#include "sitepages/passwords.h"

using namespace tovi;
using namespace tovi::testing;
using ::testing::HasSubstr;

namespace {

const char kLoggedIn[] = "top.location.href='index.asp'";

long long addOwner(const LiveServer& server, const std::string& name, const std::string& passwordHash) {
  liveExec(server, data::Sql("insert into wq_admin (admin, password, flag) values (?, ?, 1)",
                             {data::Value(name), data::Value(passwordHash)}));
  return std::stoll(liveValue(server, data::Sql("select * from wq_admin where admin=?", {data::Value(name)}), "adminid"));
}

TEST(RightsOverHttp, AChangedAccountCountsAtItsNextRequest) {
  LiveServer server(kFixedCode);
  HttpClient demoted(server.port()), deleted(server.port());
  for (auto [name, http] : {std::pair{"demoted", &demoted}, std::pair{"deleted", &deleted}}) {
    addOwner(server, name, sitepages::hashPassword("owner-pass"));
    ASSERT_THAT(logIn(*http, name, "owner-pass").text(), HasSubstr(kLoggedIn));
    ASSERT_THAT(http->get("/admin/manageadmin.asp").text(), HasSubstr("后台用户管理"));
  }
  liveExec(server, "update wq_admin set flag=2 where admin='demoted'");
  liveExec(server, "delete from wq_admin where admin='deleted'");
  EXPECT_THAT(demoted.get("/admin/manageadmin.asp").text(),
              HasSubstr("alert('您没有管理权限!!');window.location.href='admin.asp';"));
  EXPECT_THAT(demoted.get("/admin/admin.asp").text(), HasSubstr("岚禾统一后台"));
  EXPECT_THAT(deleted.get("/admin/admin.asp").text(),
              HasSubstr("alert('网络超时或者您还没有登录请登录');window.location.href='login.asp';"));
}

TEST(RightsOverHttp, TwoOwnersDemotingEachOtherAtOnceLeaveOne) {
  // Two I/O threads read the two posts at the same moment.
  LiveServer server({.args = {"--fixed-code", "1234", "--io-threads", "2"}});
  liveExec(server, "delete from wq_admin");
  std::string hash = sitepages::hashPassword("owner-pass");
  const std::string names[2] = {"east", "west"};
  const long long ids[2] = {addOwner(server, names[0], hash), addOwner(server, names[1], hash)};
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    liveExec(server, "update wq_admin set flag=1");
    HttpClient owners[2] = {HttpClient(server.port()), HttpClient(server.port())};
    for (int i = 0; i < 2; ++i) ASSERT_THAT(logIn(owners[i], names[i], "owner-pass").text(), HasSubstr(kLoggedIn));
    // Each demotes the other: both posts wait on their connections for their
    // last byte, then arrive together.
    int sockets[2];
    std::string last[2];
    for (int i = 0; i < 2; ++i) {
      int other = 1 - i;
      std::string body = formBody({{"admin", names[other]}, {"password", ""}, {"flag", "2"}});
      std::string cookies;
      for (const auto& [k, v] : owners[i].cookies()) cookies += (cookies.empty() ? "" : "; ") + k + "=" + v;
      std::string request = "POST /admin/saveadmin.asp?action=edit&id=" + std::to_string(ids[other]) +
                            " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.port()) + "\r\nOrigin: " + owners[i].origin() + "\r\nCookie: " + cookies +
                            "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                            std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
      last[i] = request.substr(request.size() - 1);
      sockets[i] = connectLoopback(server.port());
      ASSERT_GE(sockets[i], 0);
      ASSERT_EQ(send(sockets[i], request.data(), request.size() - 1, 0), static_cast<ssize_t>(request.size() - 1));
    }
    for (int i = 0; i < 2; ++i) ASSERT_EQ(send(sockets[i], last[i].data(), 1, 0), 1);
    for (int s : sockets) {
      char buf[4096];
      while (recv(s, buf, sizeof buf, 0) > 0) {
      }
      close(s);
    }
    ASSERT_EQ(liveValue(server, "select * from wq_admin where flag=1"), "1");
  }
}

}  // namespace
