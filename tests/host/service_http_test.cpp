// The server as a service sees it through the real `tovi serve`: forwarded
// headers believed only from a trusted proxy, the headers every answer
// carries, and the data and upload folders kept apart from the web root.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "data/connection.h"
#include "data/recordset.h"
#include "host/forwarded.h"
#include "support/live_server.h"

using namespace tovi;
using namespace tovi::testing;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(Forwarded, TheClientIsTheLastAddressNoTrustedProxyAdded) {
  host::TrustedProxies none({});
  host::TrustedProxies proxies({"127.0.0.1", "::1"});
  struct Case {
    const char* name;
    const host::TrustedProxies& trusted;
    std::string peer, forwardedFor, proto;
    std::string address;
    bool https;
  };
  for (const Case& c : {
           Case{"NoneTrusted", none, "127.0.0.1", "203.0.113.9", "https", "127.0.0.1", false},
           Case{"UntrustedPeer", proxies, "192.0.2.4", "203.0.113.9", "https", "192.0.2.4", false},
           Case{"TrustedPeer", proxies, "127.0.0.1", "203.0.113.9", "https", "203.0.113.9", true},
           Case{"VisitorWroteItsOwn", proxies, "127.0.0.1", "198.51.100.1, 203.0.113.9", "http", "203.0.113.9", false},
           Case{"TwoTrustedHops", proxies, "::ffff:127.0.0.1", "203.0.113.9, ::1", "", "203.0.113.9", false},
           Case{"OnlyTrustedHops", proxies, "127.0.0.1", "::1", "", "::1", false},
           Case{"NotAnAddress", proxies, "127.0.0.1", "203.0.113.9, bogus", "", "127.0.0.1", false},
           Case{"NoHeader", proxies, "127.0.0.1", "", "", "127.0.0.1", false},
       }) {
    SCOPED_TRACE(c.name);
    host::Client got = c.trusted.client(c.peer, c.forwardedFor, c.proto, false);
    EXPECT_EQ(got.address, c.address);
    EXPECT_EQ(got.https, c.https);
  }
  EXPECT_THROW(host::TrustedProxies({"proxy.example"}), std::invalid_argument);
}

// Through the server: the access log's address, the session cookie's Secure
// and the login throttle's count all follow the client, not the proxy.
TEST(ForwardedOverHttp, BelievedOnlyFromATrustedPeer) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string logged;  // the address of the access log's line
    bool secure;
    bool throttledApart;  // failures from one forwarded client leave another alone
  };
  const std::map<std::string, std::string> forwarded = {{"X-Forwarded-For", "203.0.113.9"},
                                                        {"X-Forwarded-Proto", "https"}};
  for (const Case& c : {
           Case{"NoProxyOption", {}, "127.0.0.1", false, false},
           Case{"AnotherProxy", {"--trusted-proxy", "192.0.2.4"}, "127.0.0.1", false, false},
           Case{"ThisProxy", {"--trusted-proxy", "192.0.2.4", "--trusted-proxy", "127.0.0.1"}, "203.0.113.9", true, true},
       }) {
    SCOPED_TRACE(c.name);
    char log[] = "/tmp/tovi-access-XXXXXX";
    close(mkstemp(log));
    std::vector<std::string> args = {"--fixed-code", "1234", "--access-log", log};
    args.insert(args.end(), c.args.begin(), c.args.end());
    LiveServer server({.args = args});
    HttpClient http(server.port());
    HttpResponse code = http.get("/GetCode.asp", forwarded);
    ASSERT_EQ(code.setCookies.size(), 1u);
    EXPECT_EQ(code.setCookies[0].find("; Secure") != std::string::npos, c.secure);

    // Five wrong codes from one client lock that client out, and only it.
    auto attempt = [&](const std::string& client, const std::string& typed) {
      HttpClient browser(server.port());
      std::map<std::string, std::string> headers = {{"X-Forwarded-For", client}};
      browser.get("/GetCode.asp", headers);
      headers["Origin"] = browser.origin();
      return browser.post("/admin/chkadmin.asp",
                          formBody({{"admin", "admin"}, {"password", "x"}, {"verifycode", typed}}),
                          "application/x-www-form-urlencoded", headers).text();
    };
    for (int i = 0; i < 5; ++i) attempt("198.51.100.7", "0000");
    EXPECT_EQ(attempt("198.51.100.8", "1234").find("登录失败次数过多") == std::string::npos, c.throttledApart);

    server.stop();
    std::string lines = slurp(log);
    std::remove(log);
    EXPECT_THAT(lines, HasSubstr(c.logged + " ["));
  }
}

TEST(SecurityHeaders, OnEveryKindOfAnswer) {
  LiveServer server({.demo = true, .args = {"--https"}});
  HttpClient http(server.port());
  std::string etag = http.get("/css/style.css").headers["ETag"];
  struct Case {
    const char* name;
    std::string method, target;
    std::map<std::string, std::string> headers;
    int status;
  };
  for (const Case& c : {
           Case{"Page", "GET", "/index.asp", {}, 200},
           Case{"RenderedCopy", "GET", "/index.asp", {}, 200},
           Case{"StaticFile", "GET", "/css/style.css", {}, 200},
           Case{"NotModified", "GET", "/css/style.css", {{"If-None-Match", etag}}, 304},
           Case{"Head", "HEAD", "/css/style.css", {}, 200},
           Case{"NotFound", "GET", "/nothing.html", {}, 404},
           Case{"Database", "GET", "/database/tamlo.mdb", {}, 404},
           Case{"Redirect", "GET", "/admin", {}, 301},
           Case{"WrongMethod", "PUT", "/index.asp", {}, 405},
       }) {
    SCOPED_TRACE(c.name);
    HttpResponse r = http.request(c.method, c.target, "", c.headers);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.headers["X-Content-Type-Options"], "nosniff");
    EXPECT_EQ(r.headers["Referrer-Policy"], "same-origin");
    EXPECT_THAT(r.headers["Content-Security-Policy"], HasSubstr("object-src 'none'; base-uri 'self'"));
    EXPECT_THAT(r.headers["Content-Security-Policy"], HasSubstr("frame-ancestors 'self'"));
    EXPECT_THAT(r.headers["Strict-Transport-Security"], HasSubstr("max-age="));
  }
  LiveServer plain;
  EXPECT_EQ(HttpClient(plain.port()).get("/index.asp").headers.count("Strict-Transport-Security"), 0u);
}

TEST(DataFolders, DatabaseAndUploadsLiveApartFromTheRoot) {
  namespace fs = std::filesystem;
  char tmpl[] = "/tmp/tovi-data-XXXXXX";
  const std::string data = mkdtemp(tmpl), uploads = data + "/pictures";
  fs::create_directories(uploads);
  std::ofstream(uploads + "/dish.gif") << "GIF89a";
  std::ofstream(uploads + "/note.txt") << "not a picture";
  {
    LiveServer server({.args = {"--data", data, "--uploads", uploads}});
    HttpClient http(server.port());
    EXPECT_TRUE(fs::exists(data + "/tamlo.mdb"));  // made by serve, in the data folder
    EXPECT_EQ(http.get("/index.asp").status, 200);
    EXPECT_EQ(http.get("/UploadPic/dish.gif").body, "GIF89a");
    EXPECT_EQ(http.get("/uploadpic/note.txt").status, 404);
    EXPECT_EQ(http.get("/database/tamlo.mdb").status, 404);
  }
  fs::remove_all(data);
}

}  // namespace

namespace {

// Runs a command line; returns its exit status and fills `out` with what it printed.
int shell(const std::string& command, std::string* out = nullptr) {
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return -1;
  char buf[512];
  std::string text;
  while (std::fgets(buf, sizeof buf, p)) text += buf;
  if (out) *out = text;
  return pclose(p);
}

// The orders of `database` whose remark is one of `tokens`, and its integrity check.
std::size_t ordersAmong(const std::string& database, const std::vector<std::string>& tokens, std::string* check) {
  data::Connection conn;
  conn.Open("Data Source=" + database);
  data::Recordset rs;
  rs.Open("select qtbz from tdgl", conn, data::adOpenKeyset, data::adLockReadOnly);
  std::set<std::string> stored;
  for (; !rs.Eof(); rs.MoveNext()) stored.insert(rs("qtbz").text());
  rs.Close();
  conn.Close();
  if (check) shell("sqlite3 '" + database + "' 'pragma integrity_check'", check);
  std::size_t n = 0;
  for (const std::string& t : tokens) n += stored.count(t);
  return n;
}

TEST(CommandLine, BackupAndRestoreWhileOrdersArrive) {
  LiveServer server({.demo = true});
  const std::string tovi = std::string(TOVI_BINARY) + " ";
  const std::string copy = server.root() + ".copy.mdb";
  std::mutex mutex;
  std::vector<std::string> accepted;
  std::atomic<bool> done{false};
  std::thread customers([&] {
    for (int n = 0; !done; ++n) {
      HttpClient c(server.port());
      std::string token = "order-" + std::to_string(n);
      HttpResponse r = c.post("/dctj.asp", formBody({{"list", toGbk("宫保鸡丁 12元 X 1份=12元")}, {"list1", "12"},
                                                     {"yhm", toGbk("张三")}, {"telsss", "87001234"},
                                                     {"zffs", toGbk("餐到付费")}, {"addresss", toGbk("鼓楼区")},
                                                     {"qtbz", token}, {"hours", "12"}, {"minutes", "30"}}));
      if (r.text().find("订餐成功") != std::string::npos) {
        std::lock_guard lock(mutex);
        accepted.push_back(token);
      }
    }
  });
  auto acceptedSoFar = [&] {
    std::lock_guard lock(mutex);
    return accepted;
  };
  auto waitForMore = [&](std::size_t than) {
    while (acceptedSoFar().size() < than + 5) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  };

  waitForMore(0);
  std::vector<std::string> beforeBackup = acceptedSoFar();
  EXPECT_EQ(shell(tovi + "backup --root " + server.root() + " " + copy), 0);
  waitForMore(acceptedSoFar().size());
  std::vector<std::string> beforeRestore = acceptedSoFar();
  std::string said;
  EXPECT_EQ(shell(tovi + "restore --root " + server.root() + " " + copy, &said), 0);
  std::size_t at = said.find(" in "), end = said.find('\n', at);
  ASSERT_NE(at, std::string::npos) << said;
  const std::string kept = said.substr(at + 4, end - at - 4);
  std::size_t restored = acceptedSoFar().size();
  waitForMore(restored);
  done = true;
  customers.join();
  std::vector<std::string> all = acceptedSoFar();
  std::vector<std::string> afterRestore(all.begin() + static_cast<std::ptrdiff_t>(restored), all.end());

  std::string liveCheck, copyCheck, keptCheck;
  EXPECT_EQ(ordersAmong(copy, beforeBackup, &copyCheck), beforeBackup.size());
  EXPECT_EQ(ordersAmong(kept, beforeRestore, &keptCheck), beforeRestore.size());
  EXPECT_EQ(ordersAmong(server.databasePath(), afterRestore, &liveCheck), afterRestore.size());
  // Every accepted order is in the database or in the copy kept before the restore.
  std::size_t lost = 0;
  for (const std::string& t : all) {
    std::vector<std::string> one = {t};
    std::size_t live = ordersAmong(server.databasePath(), one, nullptr), before = ordersAmong(kept, one, nullptr);
    if (live + before == 0) ++lost;
  }
  EXPECT_EQ(lost, 0u);
  for (const std::string* check : {&liveCheck, &copyCheck, &keptCheck}) EXPECT_EQ(*check, "ok\n");

  // A file that is no database of this site is refused, and nothing changes.
  std::ofstream(copy + ".junk") << "not a database";
  std::size_t liveBefore = ordersAmong(server.databasePath(), all, nullptr);
  EXPECT_NE(shell(tovi + "restore --root " + server.root() + " " + copy + ".junk"), 0);
  EXPECT_EQ(ordersAmong(server.databasePath(), all, nullptr), liveBefore);
  std::remove(copy.c_str());
  std::remove((copy + ".junk").c_str());
}

}  // namespace
