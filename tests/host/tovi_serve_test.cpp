// The `tovi serve` program itself over loopback: the installation check,
// static files, what is never served, many idle connections, a clean stop.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <vector>

#include "support/live_server.h"

using namespace tovi::testing;
namespace fs = std::filesystem;

namespace {

class ToviServe : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new LiveServer({.demo = false, .args = {"--threads", "3"}}); }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  static LiveServer* server_;
};
LiveServer* ToviServe::server_ = nullptr;

TEST_F(ToviServe, StaticFilesWithTypesAndCaching) {
  const std::string probe = server_->root() + "/css/Probe.css";
  std::ofstream(probe) << "body{}";
  HttpClient http(server_->port());
  HttpResponse r = http.get("/CSS/probe.CSS");
  ASSERT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "body{}");
  EXPECT_EQ(r.headers["Content-Type"].rfind("text/css", 0), 0u);
  EXPECT_EQ(r.headers["Cache-Control"], "public, max-age=3600");
  ASSERT_FALSE(r.headers["ETag"].empty());
  ASSERT_FALSE(r.headers["Last-Modified"].empty());
  EXPECT_EQ(http.get("/css/probe.css", {{"If-None-Match", r.headers["ETag"]}}).status, 304);
  EXPECT_EQ(http.get("/css/probe.css", {{"If-Modified-Since", r.headers["Last-Modified"]}}).status, 304);
  EXPECT_EQ(http.get("/css/probe.css", {{"If-None-Match", "\"other\""}}).status, 200);

  // A file rewritten (same size) is sent anew at once, with a new tag.
  auto stamp = fs::last_write_time(probe);
  std::ofstream(probe) << "p{}{}x";
  fs::last_write_time(probe, stamp + std::chrono::seconds(2));
  HttpResponse changed = http.get("/css/probe.css", {{"If-None-Match", r.headers["ETag"]}});
  EXPECT_EQ(changed.status, 200);
  EXPECT_EQ(changed.body, "p{}{}x");
  EXPECT_NE(changed.headers["ETag"], r.headers["ETag"]);
  fs::remove(probe);
  EXPECT_EQ(http.get("/css/probe.css").status, 404);

  std::string big(200000, 'g');
  std::ofstream(server_->root() + "/big.js") << big;
  r = http.get("/big.js");
  EXPECT_EQ(r.body, big);
  EXPECT_EQ(r.headers["Content-Type"].rfind("application/javascript", 0), 0u);
}

// Outside the root, the database, sources, and in the upload folder anything
// but a picture (the pages there would run anywhere else): 404, nothing of it sent.
TEST_F(ToviServe, TraversalTheDatabaseAndAllButPicturesOfTheUploadFolderGet404) {
  std::ofstream(server_->root() + "/../tovi-outside-probe.txt") << "outside";
  const std::string uploads = server_->root() + "/uploadpic", page = "<%\nSet obj = Server.CreateObject(\"mabex.test\")\nobj.main\n%>";
  fs::create_directories(uploads + "/Sub");
  for (const char* name : {"evil.asp", "Sub/evil.asp", "index.asp"}) std::ofstream(uploads + "/" + name) << page;
  for (const char* name : {"evil.html", "evil.htm", "evil.svg", "evil.js", "evil.txt", "Sub/evil.html", "evil.jpg.html"})
    std::ofstream(uploads + "/" + name) << "<script>alert(1)</script>";
  const std::string gif = "GIF89a\x01\x00\x01\x00";
  for (const char* name : {"dish.jpg", "dish.JPEG", "dish.png", "Sub/dish.gif"}) std::ofstream(uploads + "/" + name) << gif;
  HttpClient http(server_->port());
  ASSERT_EQ(http.get("/test.asp").body, "1233");  // the same script runs outside the folder

  for (const char* target : {
           "/database/tamlo.mdb", "/DATABASE/TAMLO.MDB", "/%64atabase/tamlo.mdb", "/Database/tamlo.mdb-wal",
           "/../tovi-outside-probe.txt", "/%2e%2e/tovi-outside-probe.txt", "/admin/%2E%2E/%2e%2e/tovi-outside-probe.txt",
           "/..%2ftovi-outside-probe.txt", "/..%5ctovi-outside-probe.txt", "/test.asp%00.txt", "/test.asp.",
           "/test.asp::$DATA", "/.git/config", "/%2egit/config", "/uploadpic/evil.asp", "/UPLOADPIC/EVIL.ASP",
           "/UploadPic/Sub/evil.asp", "/uploadpic/", "/uploadpic/index.asp", "/uploadpic/evil.html", "/uploadpic/evil.htm",
           "/UploadPic/evil.svg", "/uploadpic/evil.js", "/uploadpic/evil.txt", "/uploadpic/sub/EVIL.HTML",
           "/uploadpic/evil.jpg.html", "/%75ploadpic/evil.asp", "/images/../uploadpic/evil.asp"}) {
    HttpResponse r = http.request("GET", target, "", {});
    EXPECT_EQ(r.status, 404) << target;
    for (const char* leak : {"outside", "1233", "<script>"}) EXPECT_EQ(r.body.find(leak), std::string::npos) << target;
    EXPECT_NE(r.text().find("找不到"), std::string::npos) << target;
  }
  for (const char* target : {"/uploadpic/dish.jpg", "/UploadPic/DISH.jpeg", "/uploadpic/dish.png", "/uploadpic/sub/dish.gif"}) {
    HttpResponse r = http.get(target);
    EXPECT_EQ(r.status, 200) << target;
    EXPECT_EQ(r.body, gif) << target;
    EXPECT_EQ(r.headers["Content-Type"].rfind("image/", 0), 0u) << target;
  }
  fs::remove(server_->root() + "/../tovi-outside-probe.txt");
}

TEST_F(ToviServe, ManyIdleKeepAliveConnectionsDoNotStarveNewVisitors) {
  const std::string req = "GET /test.asp HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  auto ask = [&](int fd) {  // one request on an open connection; what came back
    char buf[512];
    if (send(fd, req.data(), req.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(req.size())) return std::string();
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
  };
  std::vector<int> idle;
  for (int i = 0; i < 200; ++i) {
    idle.push_back(connectLoopback(server_->port()));
    ASSERT_GE(idle.back(), 0) << "connection " << i;
    ASSERT_NE(ask(idle.back()), "") << "connection " << i;
  }
  HttpClient http(server_->port());
  for (int i = 0; i < 20; ++i) EXPECT_EQ(http.get("/test.asp").body, "1233");
  EXPECT_NE(ask(idle[7]).find("1233"), std::string::npos);  // the idle ones are still served too
  for (int fd : idle) close(fd);
}

TEST(ToviServeStart, AnswersTheInstallationCheckWarnsOfAFixedCodeAndStopsWithZero) {
  LiveServer server({.demo = false, .args = {"--fixed-code", "1234"}});
  EXPECT_GT(server.port(), 0);
  EXPECT_NE(server.initOutput().find("password: "), std::string::npos);
  HttpClient http(server.port());
  for (const char* target : {"/test.asp", "/TEST.ASP", "/Test.Asp?x=1"}) {
    HttpResponse r = http.get(target);
    EXPECT_EQ(r.status, 200) << target;
    EXPECT_EQ(r.body, "1233") << target;
    EXPECT_EQ(r.headers["Content-Type"], "text/html; charset=gb2312");
    EXPECT_TRUE(r.setCookies.empty());
    EXPECT_EQ(r.headers.count("Strict-Transport-Security"), 0u);  // only with --https
  }
  EXPECT_EQ(server.stop(), 0);
  EXPECT_NE(server.errorLog().find("fixed"), std::string::npos);
}

}  // namespace
