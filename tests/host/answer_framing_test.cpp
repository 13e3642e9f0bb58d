// How answers are framed over loopback: a HEAD announces the length its GET
// would send and sends nothing after the headers, whichever way the answer is
// made (page run, rendered copy, kept or large static file, the host's own
// notices); every answer carries a correct Date.
#include <gtest/gtest.h>


#include <ctime>
#include <regex>
#include <stdexcept>

#include "frame/module1.h"
#include "host/in_process.h"
#include "host/static_files.h"
#include "support/live_server.h"

using namespace tovi;
using namespace tovi::testing;
using frame::Module1::Response;

namespace {

struct Page : frame::Component {
  void main() { Response().Write("菜单 <b>今日</b> 特价"); }
};

void registerProbes(frame::Registry& r) {
  r.add("probe.page", [] { return std::make_unique<Page>(); }, {frame::op("main", &Page::main)});
  r.add("probe.kept", [] { return std::make_unique<Page>(); }, {frame::op("main", &Page::main)},
        frame::Output::DatabaseOnly);
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
    server_ = new InProcessServer(registerProbes, {{"page.asp", hostPage("probe.page", "<p>", "</p>")},
                                                   {"kept.asp", hostPage("probe.kept")},
                                                   {"small.css", "body { color: red }"},
                                                   {"large.js", largeFile()},
                                                   {"empty.txt", ""}});
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
  struct Case {
    const char* target;
    int status;
  };
  const Case cases[] = {
      {"/page.asp", 200},  {"/kept.asp", 200},      {"/small.css", 200}, {"/large.js", 200},
      {"/empty.txt", 200}, {"/missing.asp", 404},   {"/Page.ASP", 200},
  };
  HttpClient http(server_->port());
  for (const Case& c : cases) {
    HttpResponse before = http.request("HEAD", c.target, "", {});
    HttpResponse get = http.get(c.target);
    HttpResponse after = http.request("HEAD", c.target, "", {});
    ASSERT_EQ(get.status, c.status) << c.target;
    EXPECT_EQ(get.headers["Content-Length"], std::to_string(get.body.size())) << c.target;
    for (HttpResponse* head : {&before, &after}) {
      EXPECT_EQ(head->status, c.status) << c.target;
      EXPECT_EQ(head->body, "") << c.target;
      EXPECT_EQ(head->headers["Content-Length"], std::to_string(get.body.size())) << c.target;
      EXPECT_EQ(head->headers["Content-Type"], get.headers["Content-Type"]) << c.target;
    }
  }
  // The cases above are not all empty: a length of 0 everywhere would pass.
  EXPECT_EQ(http.get("/large.js").body.size(), largeFile().size());
}

TEST_F(AnswerFraming, NextAnswerOnTheConnectionFollowsTheHeadersOfAHead) {
  for (const char* target : {"/page.asp", "/kept.asp", "/small.css", "/large.js"}) {
    std::string head = std::string("HEAD ") + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    std::string get = std::string("GET ") + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    // Twice, so that the second round meets the copies the first one left.
    for (int round = 0; round < 2; ++round) {
      std::string got = exchangeRaw(server_->port(), head + get);
      std::size_t end = got.find("\r\n\r\n");
      ASSERT_NE(end, std::string::npos) << target;
      EXPECT_EQ(got.substr(0, 15), "HTTP/1.1 200 OK") << target;
      EXPECT_EQ(got.substr(end + 4, 15), "HTTP/1.1 200 OK") << target << " round " << round;
    }
  }
}

TEST_F(AnswerFraming, NotModifiedSendsNoBodyAndNoFalseLength) {
  HttpClient http(server_->port());
  for (const char* target : {"/small.css", "/large.js"}) {
    HttpResponse full = http.get(target);
    ASSERT_EQ(full.status, 200);
    for (const auto& [name, value] : std::map<std::string, std::string>{
             {"If-None-Match", full.headers["ETag"]}, {"If-Modified-Since", full.headers["Last-Modified"]}}) {
      std::string raw = std::string("GET ") + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + name + ": " + value +
                        "\r\n\r\nGET /page.asp HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
      std::string got = exchangeRaw(server_->port(), raw);
      std::size_t end = got.find("\r\n\r\n");
      ASSERT_NE(end, std::string::npos);
      EXPECT_EQ(got.substr(0, 12), "HTTP/1.1 304") << target << " " << name;
      EXPECT_EQ(got.substr(end + 4, 15), "HTTP/1.1 200 OK") << target << " " << name;
      // If a 304 names a length at all, it is the one the 200 has.
      std::string headers = got.substr(0, end + 2);
      std::size_t at = headers.find("Content-Length: ");
      if (at != std::string::npos) {
        EXPECT_EQ(headers.substr(at + 16, headers.find("\r\n", at) - at - 16), std::to_string(full.body.size()))
            << target << " " << name;
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

TEST_F(AnswerFraming, EveryAnswerCarriesTheCurrentDate) {
  std::filesystem::create_directories(server_->root() + "/dir");
  HttpClient http(server_->port());
  HttpResponse css = http.get("/small.css");
  struct Case {
    const char* method;
    const char* target;
    std::map<std::string, std::string> headers;
    int status;
  };
  const Case cases[] = {
      {"GET", "/page.asp", {}, 200},
      {"GET", "/kept.asp", {}, 200},
      {"GET", "/kept.asp", {}, 200},  // from the copy
      {"HEAD", "/kept.asp", {}, 200},
      {"GET", "/small.css", {}, 200},
      {"HEAD", "/large.js", {}, 200},
      {"GET", "/small.css", {{"If-None-Match", css.headers["ETag"]}}, 304},
      {"GET", "/missing.asp", {}, 404},
      {"GET", "/dir", {}, 301},
      {"PUT", "/page.asp", {}, 405},
      {"POST", "/page.asp", {}, 200},
  };
  static const std::regex kFixdate(R"((Mon|Tue|Wed|Thu|Fri|Sat|Sun), \d\d (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \d{4} \d\d:\d\d:\d\d GMT)");
  for (const Case& c : cases) {
    std::time_t from = std::time(nullptr);
    HttpResponse r = http.request(c.method, c.target, "", c.headers);
    std::time_t to = std::time(nullptr);
    EXPECT_EQ(r.status, c.status) << c.method << " " << c.target;
    const std::string& date = r.headers["Date"];
    ASSERT_TRUE(std::regex_match(date, kFixdate)) << c.method << " " << c.target << ": \"" << date << "\"";
    // The server and this test read the same clock: the date is a second
    // between sending and receiving, formatted exactly as httpDate() would.
    bool inRange = false;
    for (std::time_t t = from; t <= to; ++t) inRange = inRange || host::httpDate(t) == date;
    EXPECT_TRUE(inRange) << c.method << " " << c.target << ": " << date << " not within " << host::httpDate(from)
                         << " .. " << host::httpDate(to);
  }
}

}  // namespace
