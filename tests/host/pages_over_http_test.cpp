// Pages through the host over loopback: request values as a GBK browser sends
// them, sessions, cookies, End, failures, MapPath, bodies over the limit, the worker pool, a stop.
#include <unistd.h>

#include <regex>

#include "frame/module1.h"
#include "support/over_http.h"
#include "support/probe_root.h"

using frame::Module1::Request;
using frame::Module1::Response;
using frame::Module1::Session;

// The test root's pages, each showing what it sees of its request.
static std::vector<ProbePage> pages() {
  return {
      {"echo.asp",
       [] {
         Response().Write("item=" + Request()("a") + "|query=" + Request().QueryString("a") + "|form=" +
                          Request().Form("a") + "|sub=" + Request().Cookies("tamlo", "Name_Time") +
                          "|whole=" + Request().Cookies("plain") + "|");
       }},
      {"session.asp",
       [] {
         if (std::string set = Request()("set"); !set.empty()) Session().Set("Admin", set);
         if (Request()("abandon") == "1") Session().Abandon();
         Response().Write("admin=" + Session()("ADMIN").text());
       }},
      {"admin/Fail.asp", [] { Response().Write("partial "); throw std::runtime_error("secret detail /etc/shadow"); },
       "<html>", "</html>"},
      {"end.asp", [] { Response().Write("kept"); Response().End(); }, "<p>", "never"},
      {"redirect.asp", [] { Response().Write("dropped"); Response().Redirect("./Index.asp?x=中"); }, "lost"},
      {"text.asp",
       [] { Response().Write("订餐😀<b>|중|x\xFFy|\xE8\xAE|\xED\xA0\x80" "a|\xE0\x80\xAF" "a|订€中"); }},
      {"admin/map.asp", [] { Response().Write(frame::Module1::Server().MapPath(Request()("p"))); }},
  };
}

class PagesOverHttp : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const Fields files = {{"Images/jb1.gif", "GIF89a"}, {"bad.asp", "<% Response.Write \"hi\" %>"}};
    host::ServeOptions o;
    o.maxBodyBytes = 4096;
    o.bodyLimits = {{"/ADMIN/", 8192}};
    server_ = std::make_unique<InProcessServer>(pages(), files, o);
  }
  static void TearDownTestSuite() { server_.reset(); }
  static inline std::unique_ptr<InProcessServer> server_;
};

// One request each and what comes back: its status, its text (decoded from GBK) and named headers.
TEST_F(PagesOverHttp, Answers) {
  struct Case {
    std::string target, body, cookie;  // a POST when there is a body
    int status;
    ::testing::Matcher<std::string> text;
    std::map<std::string, std::string> headers = {};
  };
  const std::string root = server_->root, bad = "&#65533;";
  auto gbk = [](const char* text) { return percentEncode(toGbk(text)); };
  const Case cases[] = {
      // Each source in GBK; repeated names join, in any case. Without the name in the query the form answers, then
      // the cookie; a name in the query without a value still answers.
      {"/echo.asp?a=" + gbk("张三") + "&A=" + gbk("李四"), formBody({{"a", toGbk("王五 赵六")}, {"b", "x"}}),
       "tamlo=name%5Ftime=" + gbk("午饭") + "&name_times=2; plain=" + gbk("中文") + "; a=c", 200,
       "item=张三, 李四|query=张三, 李四|form=王五 赵六|sub=午饭|whole=中文|"},
      {"/echo.asp", "a=%D6%D0", "a=c", 200, "item=中|query=|form=中|sub=|whole=|"},
      {"/echo.asp", "", "a=c", 200, "item=c|query=|form=|sub=|whole=|"},
      {"/echo.asp?a", "a=1", "a=c", 200, "item=|query=|form=1|sub=|whole=|"},
      {"/echo.asp?a=1+2&&a=%zz%4&a=%41%42=x", "", "", 200, HasSubstr("|query=1 2, %zz%4, AB=x|")},
      // Cookie names trimmed, values unquoted, sub-keys in any case.
      {"/echo.asp", "", " tamlo=name%5Ftime=2024%2D3%2D9&name_times=3 ;bare; plain=\"%D6%D0\" ", 200,
       "item=|query=|form=|sub=2024-3-9|whole=中|"},
      // Invalid bytes never pass through raw: U+FFFD cannot be sent in GBK, so it arrives as a character reference. A
      // cut-off lead byte, bytes leading nothing, the euro sign as browsers send it.
      {"/echo.asp?a=%FF%D6", "a=%D5", "", 200, HasSubstr("|query=" + bad + bad + "|form=" + bad + "|")},
      {"/echo.asp?a=%D5%C5%FF%FFx&a=a%FFb&a=%805&a=%D5", "", "", 200,
       HasSubstr("|query=张" + bad + bad + "x, a" + bad + "b, €5, " + bad + "|")},
      // What GBK cannot hold, and what is no UTF-8 at all, goes out as character references.
      {"/text.asp", "", "", 200,
       "订餐&#128512;<b>|&#51473;|x" + bad + "y|" + bad + bad + "|" + bad + bad + bad + "a|" + bad + bad + bad +
           "a|订€中"},
      {"/end.asp", "", "", 200, "<p>kept"},  // End keeps what was written, Redirect drops it
      {"/redirect.asp", "", "", 302, "", {{"Location", "./Index.asp?x=%D6%D0"}}},
      {"/ADMIN/fail.asp", "", "", 500,
       AllOf(StartsWith("<html>partial "), Not(HasSubstr("secret")), Not(HasSubstr("</html>")))},
      {"/bad.asp", "", "", 500, Not(HasSubstr("Response.Write"))},                   // a script the host does not run
      {"/echo.asp", "a=" + std::string(5000, 'x'), "", 413, Not(HasSubstr("xxx"))},  // over the body limit
      {"/echo.asp", "a=" + std::string(4000, 'x'), "", 200, HasSubstr("|form=xxx")},
      {"/admin/map.asp?p=x", "a=" + std::string(6000, 'x'), "", 200, root + "/admin/x"},  // a path's own limit
      // MapPath: from the page's folder as it is on disk, letter case aside; never past the root.
      {"/admin/map.asp?p=../database/tamlo.mdb", "", "", 200, root + "/database/tamlo.mdb"},
      {"/ADMIN/map.asp?p=/images/JB1.gif", "", "", 200, root + "/Images/jb1.gif"},
      {"/ADMIN/map.asp?p=new/file.txt", "", "", 200, root + "/admin/new/file.txt"},
      {"/admin/map.asp?p=..%5Cdatabase", "", "", 200, root + "/database"},
      {"/admin/map.asp?p=../../etc/passwd", "", "", 500, Not(HasSubstr(root))},
  };
  HttpClient http(server_->port());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target + " " + c.body.substr(0, 20) + " " + c.cookie);
    HttpResponse r = http.request(c.body.empty() ? "GET" : "POST", c.target, c.body,
                                  {{"Content-Type", "application/x-www-form-urlencoded"}, {"Cookie", c.cookie}});
    EXPECT_EQ(r.status, c.status);
    EXPECT_THAT(r.text(), c.text);
    for (const auto& [name, value] : c.headers) EXPECT_EQ(r.headers[name], value) << name;
  }
  // The failures' reasons are in the log only, under the id the page shows.
  const std::string failed = http.get("/ADMIN/fail.asp").text();
  std::smatch id;
  ASSERT_TRUE(std::regex_search(failed, id, std::regex("编号 ([^ ）]+)"))) << failed;
  EXPECT_THAT(readFile(server_->root + "/../errors.log"),
              AllOf(HasSubstr("request " + id[1].str() + " GET /ADMIN/fail.asp: secret detail"),
                    HasSubstr("bad.asp: page script line 1")));
}

// A body over the limit: 413 and the page, before any of it is sent when its length is declared, once the chunks
// pass the limit when not; after the answers to the requests before it; then a clean close (the client reads it all).
TEST_F(PagesOverHttp, BodiesOverTheLimitGet413AndACleanClose) {
  const std::string post = "POST /echo.asp HTTP/1.1\r\nHost: x\r\n",
                    chunk = "800\r\n" + std::string(2048, 'x') + "\r\n";
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {post + "Content-Length: 1073741824\r\n\r\n", {"413"}},
      {post + "Content-Length: 3000000\r\n\r\n" + std::string(3000000, 'x'), {"413"}},
      {post + "Transfer-Encoding: chunked\r\n\r\n" + chunk + chunk + chunk + "0\r\n\r\n", {"413"}},
      {"GET /end.asp HTTP/1.1\r\nHost: x\r\n\r\n" + post + "Content-Length: 4097\r\n\r\n", {"200", "413"}},
  };
  for (const auto& [request, statuses] : cases) {
    SCOPED_TRACE(request.substr(0, 80));
    bool broken = true;
    const std::string answer = host::fromGbk(exchange(connectLoopback(server_->port()), request, &broken));
    std::vector<std::string> seen;
    const std::regex status("HTTP/1\\.1 (\\d{3}) ");
    for (std::sregex_iterator it(answer.begin(), answer.end(), status), end; it != end; ++it) seen.push_back((*it)[1]);
    EXPECT_EQ(seen, statuses);
    EXPECT_FALSE(broken);
    EXPECT_THAT(answer, AllOf(HasSubstr("\r\nConnection: close\r\n"),
                              ::testing::EndsWith("服务器不能接收。</p></body></html>")));
  }
}

// A session cookie only once a page stores something; only the live id finds the session, and Abandon takes it back.
// (Renewal: the sign-ins' tests and stores_test.cpp.)
TEST_F(PagesOverHttp, TheSessionCookieComesWithTheFirstValueAndGoesWithAbandon) {
  HttpClient http(server_->port());
  auto visit = [&](const std::string& query, const std::string& id = "") {
    HttpResponse r = id.empty() ? http.get("/session.asp" + query)
                                : HttpClient(server_->port()).get("/session.asp", {{"Cookie", "TOVISESSION=" + id}});
    return r.text() + "|" + r.headers["Set-Cookie"];
  };
  EXPECT_EQ(visit(""), "admin=|");
  const std::string set = visit("?set=boss"), id = http.cookies()["TOVISESSION"];
  EXPECT_EQ(set, "admin=boss|TOVISESSION=" + id + "; Path=/; HttpOnly; SameSite=Lax");
  EXPECT_THAT(id, ::testing::MatchesRegex("[0-9a-f]{64}"));
  EXPECT_EQ(visit(""), "admin=boss|");
  for (const std::string& near : {id.substr(1), id + "0", std::string(64, '0')}) EXPECT_EQ(visit("", near), "admin=|");
  visit("?abandon=1");
  EXPECT_EQ(std::pair(http.cookies().count("TOVISESSION"), visit("", id)), std::pair(0ul, std::string("admin=|")));
}

TEST(InProcessServe, ABlockedPageHoldsNoOtherAndStopFinishesIt) {
  std::promise<void> entered, release;
  const ProbePage slow = {"slow.asp",
                          [&] { entered.set_value(), release.get_future().wait(), Response().Write("finished"); }};
  host::ServeOptions o;
  o.threads = 2;
  InProcessServer server({slow, pages()[1]}, {}, o);
  auto inFlight = std::async(std::launch::async, [&] { return HttpClient(server.port()).get("/slow.asp"); });
  entered.get_future().wait();
  // The other worker answers meanwhile (without it this would never return).
  EXPECT_EQ(HttpClient(server.port()).get("/session.asp?set=x").text(), "admin=x");
  auto stopped = std::async(std::launch::async, [&] { return server.stop(); });
  // The page is let go only once the server has stopped listening.
  for (int fd; (fd = connectLoopback(server.port())) >= 0;) close(fd);
  release.set_value();
  HttpResponse r = inFlight.get();
  EXPECT_EQ(std::tuple(r.status, r.body, stopped.get()), std::tuple(200, std::string("finished"), 0));
}
