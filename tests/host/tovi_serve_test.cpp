// The `tovi serve` program itself over loopback: the installation check,
// static files, what is never served, many idle connections, a clean stop.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <vector>

#include "support/live_server.h"

using namespace tovi::testing;

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

TEST_F(ToviServe, TestPageAnswers1233) {
  HttpClient http(server_->port());
  for (const char* target : {"/test.asp", "/TEST.ASP", "/Test.Asp?x=1"}) {
    HttpResponse r = http.get(target);
    EXPECT_EQ(r.status, 200) << target;
    EXPECT_EQ(r.body, "1233") << target;
    EXPECT_EQ(r.headers["Content-Type"], "text/html; charset=gb2312");
    EXPECT_TRUE(r.setCookies.empty());
  }
}

TEST_F(ToviServe, StaticFilesWithTypesAndCaching) {
  std::ofstream(server_->root() + "/css/Probe.css") << "body{}";
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
  EXPECT_EQ(r.headers["X-Content-Type-Options"], "nosniff");

  // A file rewritten (same size) is sent anew at once, with a new tag.
  const std::string probe = server_->root() + "/css/Probe.css";
  auto stamp = std::filesystem::last_write_time(probe);
  std::ofstream(probe) << "p{}{}x";
  std::filesystem::last_write_time(probe, stamp + std::chrono::seconds(2));
  HttpResponse changed = http.get("/css/probe.css", {{"If-None-Match", r.headers["ETag"]}});
  EXPECT_EQ(changed.status, 200);
  EXPECT_EQ(changed.body, "p{}{}x");
  EXPECT_NE(changed.headers["ETag"], r.headers["ETag"]);
  std::filesystem::remove(probe);
  EXPECT_EQ(http.get("/css/probe.css").status, 404);

  std::string big(200000, 'g');
  std::ofstream(server_->root() + "/big.js") << big;
  r = http.get("/big.js");
  EXPECT_EQ(r.body, big);
  EXPECT_EQ(r.headers["Content-Type"].rfind("application/javascript", 0), 0u);
}

TEST_F(ToviServe, TraversalSourcesAndDatabaseGet404) {
  std::ofstream(server_->root() + "/../tovi-outside-probe.txt") << "outside";
  HttpClient http(server_->port());
  const char* const hostile[] = {
      "/database/tamlo.mdb",          "/DATABASE/TAMLO.MDB",       "/%64atabase/tamlo.mdb",
      "/database/",                   "/Database/tamlo.mdb-wal",   "/../tovi-outside-probe.txt",
      "/%2e%2e/tovi-outside-probe.txt", "/admin/%2E%2E/%2e%2e/tovi-outside-probe.txt",
      "/..%2ftovi-outside-probe.txt", "/..%5ctovi-outside-probe.txt", "/%2e%2e%5ctovi-outside-probe.txt",
      "/test.asp%00.txt",             "/test.asp.",                "/test.asp::$DATA",
      "/nothere.asp",                 "/.git/config",              "/%2egit/config",
  };
  for (const char* target : hostile) {
    HttpResponse r = http.request("GET", target, "", {});
    EXPECT_EQ(r.status, 404) << target;
    EXPECT_EQ(r.body.find("outside"), std::string::npos) << target;
    EXPECT_NE(r.text().find("找不到"), std::string::npos) << target;
  }
  std::remove((server_->root() + "/../tovi-outside-probe.txt").c_str());
}

TEST_F(ToviServe, ScriptSourceIsRunNeverSent) {
  std::ofstream(server_->root() + "/admin/probe.asp") << "<% Set fs = Server.CreateObject(\"Scripting.FileSystemObject\") %>";
  HttpClient http(server_->port());
  HttpResponse r = http.get("/admin/probe.asp");
  EXPECT_EQ(r.status, 500);
  EXPECT_EQ(r.body.find("FileSystemObject"), std::string::npos);
  EXPECT_NE(server_->errorLog().find("FileSystemObject"), std::string::npos);
}

TEST_F(ToviServe, UploadFolderServesOnlyPictures) {
  namespace fs = std::filesystem;
  const std::string uploads = server_->root() + "/uploadpic";
  fs::create_directories(uploads + "/Sub");
  // A page that would run anywhere else, and markup with script.
  const std::string page = "<%\nSet obj = Server.CreateObject(\"mabex.test\")\nobj.main\n%>";
  for (const char* name : {"evil.asp", "Sub/evil.asp", "index.asp"}) std::ofstream(uploads + "/" + name) << page;
  for (const char* name : {"evil.html", "evil.htm", "evil.svg", "evil.js", "evil.txt", "Sub/evil.html", "evil.jpg.html"})
    std::ofstream(uploads + "/" + name) << "<script>alert(1)</script>";
  const std::string gif = "GIF89a\x01\x00\x01\x00";
  for (const char* name : {"dish.jpg", "dish.JPEG", "dish.png", "Sub/dish.gif"}) std::ofstream(uploads + "/" + name) << gif;
  HttpClient http(server_->port());
  ASSERT_EQ(http.get("/test.asp").body, "1233");  // the same script runs outside the folder

  const char* const refused[] = {
      "/uploadpic/evil.asp", "/UPLOADPIC/EVIL.ASP", "/UploadPic/Sub/evil.asp", "/uploadpic/", "/uploadpic/index.asp",
      "/uploadpic/evil.html", "/uploadpic/evil.htm", "/UploadPic/evil.svg", "/uploadpic/evil.js", "/uploadpic/evil.txt",
      "/uploadpic/sub/EVIL.HTML", "/uploadpic/evil.jpg.html", "/%75ploadpic/evil.asp", "/images/../uploadpic/evil.asp",
  };
  for (const char* target : refused) {
    HttpResponse r = http.request("GET", target, "", {});
    EXPECT_EQ(r.status, 404) << target;
    EXPECT_EQ(r.body.find("1233"), std::string::npos) << target;
    EXPECT_EQ(r.body.find("<script>"), std::string::npos) << target;
  }
  for (const char* target : {"/uploadpic/dish.jpg", "/UploadPic/DISH.jpeg", "/uploadpic/dish.png", "/uploadpic/sub/dish.gif"}) {
    HttpResponse r = http.get(target);
    EXPECT_EQ(r.status, 200) << target;
    EXPECT_EQ(r.body, gif) << target;
    EXPECT_EQ(r.headers["Content-Type"].rfind("image/", 0), 0u) << target;
  }
}

TEST_F(ToviServe, OtherMethodsAreRefused) {
  HttpClient http(server_->port());
  HttpResponse r = http.request("DELETE", "/test.asp", "", {});
  EXPECT_EQ(r.status, 405);
  EXPECT_EQ(r.headers["Allow"], "GET, HEAD, POST");
}

int openKeepAlive(unsigned short port) {
  int fd = connectLoopback(port);
  if (fd < 0) return -1;
  const char req[] = "GET /test.asp HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  if (send(fd, req, sizeof req - 1, 0) != static_cast<ssize_t>(sizeof req - 1)) {
    close(fd);
    return -1;
  }
  char buf[512];
  if (recv(fd, buf, sizeof buf, 0) <= 0) {
    close(fd);
    return -1;
  }
  return fd;
}

TEST_F(ToviServe, ManyIdleKeepAliveConnectionsDoNotStarveNewVisitors) {
  std::vector<int> idle;
  for (int i = 0; i < 200; ++i) {
    int fd = openKeepAlive(server_->port());
    ASSERT_GE(fd, 0) << "connection " << i;
    idle.push_back(fd);
  }
  HttpClient http(server_->port());
  for (int i = 0; i < 20; ++i) EXPECT_EQ(http.get("/test.asp").body, "1233");
  // The idle ones are still served too.
  const char req[] = "GET /test.asp HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  ASSERT_EQ(send(idle[7], req, sizeof req - 1, 0), static_cast<ssize_t>(sizeof req - 1));
  char buf[512];
  ssize_t n = recv(idle[7], buf, sizeof buf, 0);
  ASSERT_GT(n, 0);
  EXPECT_NE(std::string(buf, static_cast<std::size_t>(n)).find("1233"), std::string::npos);
  for (int fd : idle) close(fd);
}

TEST(ToviServeStart, PrintsItsAddressFixedCodeWarningAndStopsWithZero) {
  LiveServer server({.demo = false, .args = {"--fixed-code", "1234"}});
  EXPECT_GT(server.port(), 0);
  EXPECT_NE(server.initOutput().find("password: "), std::string::npos);
  HttpClient http(server.port());
  EXPECT_EQ(http.get("/test.asp").body, "1233");
  EXPECT_EQ(server.stop(), 0);
  EXPECT_NE(server.errorLog().find("fixed"), std::string::npos);
}

}  // namespace
