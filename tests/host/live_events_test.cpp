// The live screens' event stream through the real server: its framing, the
// catch-up after a reconnection, who is refused, and the clean stop.
#include <sys/socket.h>
#include <unistd.h>

#include "support/over_http.h"
#include "support/testing.h"

// One open event stream read straight off its socket.
class Stream {
 public:
  Stream(unsigned short port, const std::string& cookie, const std::string& extra = "",
         const std::string& target = "/admin/live_events")
      : fd_(connectLoopback(port)) {
    std::string req = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/event-stream\r\n" +
                      (cookie.empty() ? "" : "Cookie: " + cookie + "\r\n") + extra + "\r\n";
    EXPECT_EQ(send(fd_, req.data(), req.size(), MSG_NOSIGNAL), static_cast<ssize_t>(req.size()));
  }
  ~Stream() { close(fd_); }

  // Reads until `done()` or the connection's end (or its 30 s receive timeout).
  bool readUntil(const std::function<bool()>& done) {
    char buf[8192];
    for (ssize_t n; !done(); raw_.append(buf, static_cast<std::size_t>(n))) {
      if (eof_ || (n = recv(fd_, buf, sizeof buf, 0)) <= 0) {
        eof_ = true;
        return done();
      }
    }
    return true;
  }
  bool waitFor(const std::string& text) { return readUntil([&] { return body().find(text) != std::string::npos; }); }
  // The stream ended: its last chunk arrived or the server closed the connection.
  bool waitForEnd() { return readUntil([&] { return eof_ || raw_.ends_with("\r\n0\r\n\r\n"); }); }
  std::string head() const { return raw_.substr(0, raw_.find("\r\n\r\n") + 2); }
  // The event text, chunk framing taken off (and checked).
  std::string body() const {
    std::string out;
    if (head().find("Transfer-Encoding: chunked\r\n") == std::string::npos) return "";
    for (std::size_t pos = raw_.find("\r\n\r\n") + 4, eol; (eol = raw_.find("\r\n", pos)) != std::string::npos;) {
      std::size_t size = std::stoul(raw_.substr(pos, eol - pos), nullptr, 16);
      if (size == 0 || eol + 2 + size + 2 > raw_.size()) break;
      EXPECT_EQ(raw_.substr(eol + 2 + size, 2), "\r\n");
      out += raw_.substr(eol + 2, size);
      pos = eol + 2 + size + 2;
    }
    return out;
  }
  // The ids of the order events, in order.
  std::vector<std::string> orderIds() const {
    const std::string b = body(), mark = "event: order\nid: ";
    std::vector<std::string> ids;
    for (std::size_t at = b.find(mark); at != std::string::npos; at = b.find(mark, at + 1))
      ids.push_back(b.substr(at + mark.size(), b.find('\n', at + mark.size()) - at - mark.size()));
    return ids;
  }

 private:
  int fd_;
  std::string raw_;
  bool eof_ = false;
};

class LiveEvents : public ::testing::Test {
 protected:
  std::string cookie() { return "TOVISESSION=" + http.cookies()["TOVISESSION"]; }

  // Places an order on the storefront; returns its id.
  std::string order(const std::string& name) {
    HttpResponse r = HttpClient(server.port()).post(
        "/dctj.asp", gbkForm({{"list", "⊕宫保鸡丁 12元 X 2份=24元 \n\n"}, {"list1", "24"}, {"yhm", name},
                              {"telsss", "87001234"}, {"zffs", "餐到付费"}, {"addresss", "五四路<b>"}, {"qtbz", ""},
                              {"hours", "12"}, {"minutes", "30"}}));
    EXPECT_THAT(r.text(), HasSubstr("订餐成功"));
    return liveValue(server, data::Sql("select * from tdgl where yhm=?", {name}), "id");
  }

  void SetUp() override { ASSERT_THAT(logIn(http, "admin", initPassword(server)).text(), HasSubstr("index.asp")); }

  LiveServer server{{.args = {"--fixed-code", "1234"}}};
  HttpClient http{server.port()};
};

TEST_F(LiveEvents, OrdersAndStatusMovesArriveAsEventsInChunks) {
  Stream s(server.port(), cookie());
  ASSERT_TRUE(s.waitFor("retry: 2000\n\n"));
  EXPECT_THAT(s.head(), StartsWith("HTTP/1.1 200 "));
  expectTexts(s.head(), {"Content-Type: text/event-stream; charset=utf-8\r\n", "Cache-Control: no-store\r\n"});
  EXPECT_THAT(s.body(), StartsWith("retry: 2000\n\n"));

  const std::string id = order("王小明");
  // Pure ASCII JSON: names and markup travel as \u escapes.
  ASSERT_TRUE(s.waitFor("event: order\nid: " + id + "\ndata: {\"id\":" + id + ",\"status\":1,"));
  expectTexts(s.body(), {"\"name\":\"\\u738b\\u5c0f\\u660e\"", "\"address\":\"\\u4e94\\u56db\\u8def\\u003cb\\u003e\"",
                         "\"lines\":[[\"\\u5bab\\u4fdd\\u9e21\\u4e01\",\"12\",\"2\",\"24\"]]}\n\n"});

  liveExec(server, "update tdgl set dczt=3 where id=" + id);
  EXPECT_TRUE(s.waitFor("event: status\ndata: {\"id\":" + id + ",\"status\":3}\n\n"));
  liveExec(server, "delete from tdgl where id=" + id);
  EXPECT_TRUE(s.waitFor("event: status\ndata: {\"id\":" + id + ",\"status\":0}\n\n"));
}

TEST_F(LiveEvents, ReconnectionCatchesUpFromTheLastIdOnceEach) {
  const std::string first = order("甲一");
  // Committed while no screen is connected.
  const std::vector<std::string> missed = {order("乙二"), order("丙三")};
  int placed = 0;
  struct Case {
    std::string extra, target;
    std::vector<std::string> expected;
  };
  for (const Case& c : {Case{"Last-Event-ID: " + first + "\r\n", "/admin/live_events", missed},
                        Case{"", "/admin/live_events?after=" + missed[0], {missed[1]}},
                        Case{"Last-Event-ID: " + missed[0] + "\r\n", "/admin/live_events?after=" + first, {missed[1]}},
                        Case{"Last-Event-ID: " + missed[1] + "\r\n", "/admin/live_events", {}}}) {
    SCOPED_TRACE(c.extra + c.target);
    Stream s(server.port(), cookie(), c.extra, c.target);
    ASSERT_TRUE(s.waitFor("retry: 2000\n\n"));
    // Then live orders follow the caught-up ones.
    std::string next = order("丁" + std::to_string(++placed));
    std::vector<std::string> expected = c.expected;
    expected.push_back(next);
    ASSERT_TRUE(s.waitFor("id: " + next + "\n"));
    EXPECT_EQ(s.orderIds(), expected);
    liveExec(server, "delete from tdgl where id=" + next);  // keeps the later cases' ranges as written
  }
}

TEST_F(LiveEvents, RefusedWithoutAnAdmittedAccount) {
  HttpClient other(server.port());
  ASSERT_THAT(logIn(other, "admin", initPassword(server)).text(), HasSubstr("index.asp"));
  const std::string loggedOut = "TOVISESSION=" + other.cookies()["TOVISESSION"];
  other.get("/admin/logout.asp");
  struct Case {
    const char* what;
    std::string cookie, sql;  // `sql` runs first
    int status;
  };
  for (const Case& c : {Case{"no cookie", "", "", 401},
                        Case{"unknown or expired session", "TOVISESSION=" + std::string(64, 'a'), "", 401},
                        Case{"logged out", loggedOut, "", 401},
                        Case{"logged in, but the right is gone since", cookie(),
                             "update wq_admin set flag=3 where admin='admin'", 403}}) {
    SCOPED_TRACE(c.what);
    if (!c.sql.empty()) liveExec(server, c.sql);
    Stream s(server.port(), c.cookie);
    ASSERT_TRUE(s.readUntil([&] { return s.head().ends_with("\r\n"); }));
    EXPECT_THAT(s.head(), StartsWith("HTTP/1.1 " + std::to_string(c.status) + " "));
    EXPECT_THAT(s.head(), Not(HasSubstr("event-stream")));
  }
}

TEST_F(LiveEvents, OpenStreamEndsWhenTheAccountIsDemotedOrDeleted) {
  for (const char* sql :
       {"update wq_admin set flag=3 where admin='admin'", "delete from wq_admin where admin='admin'"}) {
    SCOPED_TRACE(sql);
    Stream s(server.port(), cookie());
    ASSERT_TRUE(s.waitFor("retry: 2000\n\n"));
    liveExec(server, sql);
    EXPECT_TRUE(s.waitForEnd());
    liveExec(server, "update wq_admin set flag=1 where admin='admin'");  // the session counts again for the next round
  }
}

TEST_F(LiveEvents, CleanStopEndsEveryStreamAndExitsZero) {
  Stream a(server.port(), cookie()), b(server.port(), cookie());
  ASSERT_TRUE(a.waitFor("retry: 2000\n\n"));
  ASSERT_TRUE(b.waitFor("retry: 2000\n\n"));
  EXPECT_EQ(server.stop(), 0);
  EXPECT_TRUE(a.waitForEnd());
  EXPECT_TRUE(b.waitForEnd());
}
