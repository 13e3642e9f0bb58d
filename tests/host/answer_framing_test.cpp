// How answers are framed over loopback, whichever way they are made (page run,
// rendered copy, kept or large static file, the host's own notices): a HEAD
// announces the length its GET would send and sends nothing after the
// headers, and every answer carries a correct Date and the security headers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ctime>
#include <regex>

#include "frame/module1.h"
#include "host/in_process.h"
#include "host/static_files.h"
#include "support/live_server.h"

using namespace tovi;
using namespace tovi::testing;
using ::testing::HasSubstr;

namespace {

void registerProbes(frame::Registry& r) {
  auto page = [] { frame::Module1::Response().Write("菜单 <b>今日</b> 特价"); };
  addProbe(r, "probe.page", page);
  addProbe(r, "probe.kept", page, frame::Output::DatabaseOnly);
}

// Larger than what the host keeps in memory: sent from disk.
std::string largeFile() {
  std::string bytes(static_cast<std::size_t>(host::StaticFiles::kKeepLimit) + 4097, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + i % 26);
  return bytes;
}

class AnswerFraming : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    host::ServeOptions o;
    o.https = true;
    server_ = new InProcessServer(registerProbes,
                                  {{"page.asp", hostPage("probe.page", "<p>", "</p>")}, {"kept.asp", hostPage("probe.kept")},
                                   {"small.css", "body { color: red }"}, {"large.js", largeFile()}, {"empty.txt", ""}},
                                  o);
    std::filesystem::create_directories(server_->root() + "/dir");
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  static InProcessServer* server_;
};
InProcessServer* AnswerFraming::server_ = nullptr;

TEST_F(AnswerFraming, HeadAnnouncesTheLengthOfTheGetAndSendsNoBody) {
  // HEAD before and after the GET: the first goes through a worker, the
  // second may be answered from what the GET left in memory.
  const std::pair<const char*, int> cases[] = {{"/page.asp", 200},  {"/kept.asp", 200},    {"/small.css", 200},
                                               {"/large.js", 200},  {"/empty.txt", 200},   {"/missing.asp", 404},
                                               {"/Page.ASP", 200}};
  HttpClient http(server_->port());
  for (const auto& [target, status] : cases) {
    HttpResponse before = http.request("HEAD", target, "", {});
    HttpResponse get = http.get(target);
    HttpResponse after = http.request("HEAD", target, "", {});
    ASSERT_EQ(get.status, status) << target;
    EXPECT_EQ(get.headers["Content-Length"], std::to_string(get.body.size())) << target;
    for (HttpResponse* head : {&before, &after}) {
      EXPECT_EQ(head->status, status) << target;
      EXPECT_EQ(head->body, "") << target;
      EXPECT_EQ(head->headers["Content-Length"], std::to_string(get.body.size())) << target;
      EXPECT_EQ(head->headers["Content-Type"], get.headers["Content-Type"]) << target;
    }
  }
  // The cases above are not all empty: a length of 0 everywhere would pass.
  EXPECT_EQ(http.get("/large.js").body.size(), largeFile().size());
}

// On one connection, the answer after a HEAD or a 304 starts right after its
// headers; a 304 that names a length at all names the one its 200 has.
TEST_F(AnswerFraming, NextAnswerOnTheConnectionFollowsAHeadOrANotModified) {
  HttpClient http(server_->port());
  struct Case {
    std::string first, status, length;
  };
  std::vector<Case> cases;
  for (const char* target : {"/page.asp", "/kept.asp", "/small.css", "/large.js"})
    cases.push_back({std::string("HEAD ") + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", "200", ""});
  for (const char* target : {"/small.css", "/large.js"}) {
    HttpResponse full = http.get(target);
    for (std::string condition : {"If-None-Match: " + full.headers["ETag"], "If-Modified-Since: " + full.headers["Last-Modified"]})
      cases.push_back({std::string("GET ") + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + condition + "\r\n\r\n", "304",
                       std::to_string(full.body.size())});
  }
  for (const Case& c : cases) {
    // Twice, so that the second round meets the copies the first one left.
    for (int round = 0; round < 2; ++round) {
      SCOPED_TRACE(c.first + " round " + std::to_string(round));
      std::string got = exchangeRaw(server_->port(), c.first + "GET /page.asp HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                                               "Connection: close\r\n\r\n");
      std::size_t end = got.find("\r\n\r\n");
      ASSERT_NE(end, std::string::npos);
      EXPECT_EQ(got.substr(0, 12), "HTTP/1.1 " + c.status);
      EXPECT_EQ(got.substr(end + 4, 15), "HTTP/1.1 200 OK");
      std::string headers = got.substr(0, end + 2);
      std::size_t at = headers.find("Content-Length: ");
      if (c.status == "304" && at != std::string::npos) {
        EXPECT_EQ(headers.substr(at + 16, headers.find("\r\n", at) - at - 16), c.length);
      }
    }
  }
}

TEST(HttpDate, ImfFixdate) {
  EXPECT_EQ(host::httpDate(0), "Thu, 01 Jan 1970 00:00:00 GMT");
  EXPECT_EQ(host::httpDate(1796593740), "Sun, 06 Dec 2026 21:49:00 GMT");
  EXPECT_EQ(host::httpDate(951782400), "Tue, 29 Feb 2000 00:00:00 GMT");
  EXPECT_EQ(host::httpDate(4102444799), "Thu, 31 Dec 2099 23:59:59 GMT");
}

TEST_F(AnswerFraming, EveryAnswerCarriesTheCurrentDateAndTheSecurityHeaders) {
  HttpClient http(server_->port());
  HttpResponse css = http.get("/small.css");
  struct Case {
    const char* method;
    const char* target;
    std::map<std::string, std::string> headers;
    int status;
  };
  const Case cases[] = {
      {"GET", "/page.asp", {}, 200},   {"GET", "/kept.asp", {}, 200},  {"GET", "/kept.asp", {}, 200},  // from the copy
      {"HEAD", "/kept.asp", {}, 200},  {"GET", "/small.css", {}, 200}, {"HEAD", "/large.js", {}, 200},
      {"GET", "/small.css", {{"If-None-Match", css.headers["ETag"]}}, 304},
      {"GET", "/missing.asp", {}, 404}, {"GET", "/database/tamlo.mdb", {}, 404}, {"GET", "/dir", {}, 301},
      {"PUT", "/page.asp", {}, 405},   {"POST", "/page.asp", {}, 200},
  };
  static const std::regex kFixdate(
      R"((Mon|Tue|Wed|Thu|Fri|Sat|Sun), \d\d (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \d{4} \d\d:\d\d:\d\d GMT)");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " " + c.target);
    std::time_t from = std::time(nullptr);
    HttpResponse r = http.request(c.method, c.target, "", c.headers);
    std::time_t to = std::time(nullptr);
    EXPECT_EQ(r.status, c.status);
    const std::string& date = r.headers["Date"];
    ASSERT_TRUE(std::regex_match(date, kFixdate)) << date;
    // The server and this test read the same clock: the date is a second
    // between sending and receiving, formatted exactly as httpDate() would.
    bool inRange = false;
    for (std::time_t t = from; t <= to; ++t) inRange = inRange || host::httpDate(t) == date;
    EXPECT_TRUE(inRange) << date << " not within " << host::httpDate(from) << " .. " << host::httpDate(to);
    EXPECT_EQ(r.headers["X-Content-Type-Options"], "nosniff");
    EXPECT_EQ(r.headers["Referrer-Policy"], "same-origin");
    EXPECT_THAT(r.headers["Content-Security-Policy"], HasSubstr("object-src 'none'; base-uri 'self'"));
    EXPECT_THAT(r.headers["Content-Security-Policy"], HasSubstr("frame-ancestors 'self'"));
    EXPECT_THAT(r.headers["Strict-Transport-Security"], HasSubstr("max-age="));
    if (c.status == 405) {
      EXPECT_EQ(r.headers["Allow"], "GET, HEAD, POST");
    }
  }
}

}  // namespace
