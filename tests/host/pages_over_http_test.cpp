// Pages through the real host over loopback: request values as a GBK browser
// sends them, sessions, cookies, the page's end, failures, uploads and a stop
// in the middle of a request.
#include <gtest/gtest.h>
#include <unistd.h>

#include <future>
#include <stdexcept>
#include <thread>

#include "frame/http_details.h"
#include "frame/module1.h"
#include "host/in_process.h"
#include "support/live_server.h"

using namespace tovi;
using namespace tovi::testing;
using frame::Module1::Request;
using frame::Module1::Response;
using frame::Module1::Session;

namespace {

// Holds its page until the test lets it go, to catch the server mid-request.
struct Gate {
  std::promise<void> entered, release;
};
Gate* gate = nullptr;

void registerProbes(frame::Registry& r) {
  addProbe(r, "probe.echo", [] {
    Response().Write("item=" + Request()("a") + "|query=" + Request().QueryString("a") + "|form=" + Request().Form("a") +
                     "|sub=" + Request().Cookies("tamlo", "name_time") + "|whole=" + Request().Cookies("plain") + "|");
  });
  addProbe(r, "probe.session", [] {
    if (std::string set = Request()("set"); !set.empty()) Session().Set("Admin", set);
    if (Request()("abandon") == "1") Session().Abandon();
    if (Request()("renew") == "1") frame::Module1::Http().renewSession();
    Response().Write("admin=" + Session()("ADMIN").text());
  });
  addProbe(r, "probe.fail", [] {
    Response().Write("partial ");
    throw std::runtime_error("secret detail /etc/shadow");
  });
  addProbe(r, "probe.end", [] {
    Response().Write("kept");
    Response().End();
  });
  addProbe(r, "probe.redirect", [] {
    Response().Write("dropped");
    Response().Redirect("./Index.asp?x=中");
  });
  addProbe(r, "probe.text", [] { Response().Write("订餐😀<b>"); });
  addProbe(r, "probe.cookie", [] {
    frame::ResponseCookie& c = Response().Cookies("tamlo");
    c.set("name_time", "2024-3-9 10:00:00");
    c.set("name_times", "张");
    c.path = "/";
    c.expires = data::DateTime{2030, 1, 2, 3, 4, 5};
  });
  addProbe(r, "probe.upload", [] {
    auto& files = frame::Module1::Http().files();
    std::string out = "form=" + Request().Form("title") + "|files=" + std::to_string(files.size());
    for (const auto& f : files) out += "|" + f.field + ":" + f.fileName + ":" + f.contentType + ":" + std::to_string(f.bytes.size());
    Response().Write(out);
  });
  addProbe(r, "probe.slow", [] {
    gate->entered.set_value();
    gate->release.get_future().wait();
    Response().Write("finished");
  });
  addProbe(r, "probe.mappath", [] { Response().Write(frame::Module1::Server().MapPath(Request()("p"))); });
}

class PagesOverHttp : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    host::ServeOptions o;
    o.maxBodyBytes = 4096;
    server_ = new InProcessServer(registerProbes,
                                  {{"echo.asp", hostPage("probe.echo")}, {"session.asp", hostPage("probe.session")},
                                   {"admin/Fail.asp", hostPage("probe.fail", "<html>", "</html>")},
                                   {"end.asp", hostPage("probe.end", "<p>", "never")},
                                   {"redirect.asp", hostPage("probe.redirect", "lost")}, {"text.asp", hostPage("probe.text")},
                                   {"cookie.asp", hostPage("probe.cookie")}, {"upload.asp", hostPage("probe.upload")},
                                   {"admin/map.asp", hostPage("probe.mappath")}, {"bad.asp", "<% Response.Write \"hi\" %>"}},
                                  o);
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  static InProcessServer* server_;
};
InProcessServer* PagesOverHttp::server_ = nullptr;

TEST_F(PagesOverHttp, RequestValuesDecodeFromGbkAndTheAnswerIsGbk) {
  HttpClient http(server_->port());
  std::string q = "/echo.asp?a=" + urlEncode(toGbk("张三")) + "&A=" + urlEncode(toGbk("李四"));
  HttpResponse r = http.post(q, formBody({{"a", toGbk("王五 赵六")}, {"b", "x"}}), "application/x-www-form-urlencoded",
                             {{"Cookie", "tamlo=name%5Ftime=" + urlEncode(toGbk("午饭")) + "&name_times=2; plain=" +
                                             urlEncode(toGbk("中文")) + "; a=cookie"}});
  ASSERT_EQ(r.status, 200);
  EXPECT_EQ(r.headers["Content-Type"], "text/html; charset=gb2312");
  EXPECT_EQ(r.text(), "item=张三, 李四|query=张三, 李四|form=王五 赵六|sub=午饭|whole=中文|");
  // Without the name in the query string the form answers, then the cookie.
  EXPECT_EQ(http.post("/echo.asp", "a=%D6%D0", "application/x-www-form-urlencoded", {{"Cookie", "a=c"}}).text(),
            "item=中|query=|form=中|sub=|whole=|");
  EXPECT_EQ(http.get("/echo.asp", {{"Cookie", "a=c"}}).text(), "item=c|query=|form=|sub=|whole=|");
  // Invalid bytes never pass through raw: U+FFFD cannot be sent in GBK, so it
  // arrives as a character reference, as does all else GBK cannot hold.
  EXPECT_EQ(http.get("/echo.asp?a=%FF%D6").body, "item=&#65533;&#65533;|query=&#65533;&#65533;|form=|sub=|whole=|");
  EXPECT_EQ(http.get("/text.asp").body, toGbk("订餐") + "&#128512;<b>");
}

TEST_F(PagesOverHttp, SessionSurvivesRequestsWithKeysInAnyCase) {
  HttpClient http(server_->port());
  HttpResponse r = http.get("/session.asp");
  EXPECT_EQ(r.text(), "admin=");
  EXPECT_TRUE(r.setCookies.empty()) << "a session cookie before anything was stored";

  r = http.get("/session.asp?set=boss");
  EXPECT_EQ(r.text(), "admin=boss");
  ASSERT_EQ(r.setCookies.size(), 1u);
  const std::string& cookie = r.setCookies[0];
  EXPECT_EQ(cookie.rfind("TOVISESSION=", 0), 0u) << cookie;
  for (const char* attr : {"; Path=/", "; HttpOnly", "; SameSite=Lax"}) EXPECT_NE(cookie.find(attr), std::string::npos) << cookie;
  EXPECT_EQ(cookie.find("Secure"), std::string::npos);
  const std::string first = http.cookies()["TOVISESSION"];
  r = http.get("/session.asp");
  EXPECT_EQ(r.text(), "admin=boss");
  EXPECT_TRUE(r.setCookies.empty());

  EXPECT_EQ(http.get("/session.asp?renew=1").text(), "admin=boss");
  EXPECT_NE(http.cookies()["TOVISESSION"], first);
  HttpClient thief(server_->port()), other(server_->port());
  thief.cookies()["TOVISESSION"] = first;
  EXPECT_EQ(thief.get("/session.asp").text(), "admin=");
  EXPECT_EQ(other.get("/session.asp").text(), "admin=");

  EXPECT_EQ(http.get("/session.asp?abandon=1").text(), "admin=");
  EXPECT_EQ(http.cookies().count("TOVISESSION"), 0u);
  EXPECT_EQ(http.get("/session.asp").text(), "admin=");
}

TEST_F(PagesOverHttp, CookieWithSubKeysIsSetForTheBrowser) {
  HttpClient http(server_->port());
  HttpResponse r = http.get("/cookie.asp");
  ASSERT_EQ(r.setCookies.size(), 1u);
  const std::string& c = r.setCookies[0];
  EXPECT_EQ(c.substr(0, c.find(';')), "tamlo=name_time=2024-3-9%2010%3A00%3A00&name_times=" + urlEncode(toGbk("张")));
  for (const char* part : {"; expires=", "2030", "; path=/"}) EXPECT_NE(c.find(part), std::string::npos) << c;
  // Sent back as a browser does, the sub-keys read as set.
  EXPECT_EQ(http.get("/echo.asp").text(), "item=|query=|form=|sub=2024-3-9 10:00:00|whole=|");
}

TEST_F(PagesOverHttp, EndKeepsWhatWasWrittenAndRedirectDropsIt) {
  HttpClient http(server_->port());
  HttpResponse r = http.get("/end.asp");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "<p>kept");
  r = http.get("/redirect.asp");
  EXPECT_EQ(r.status, 302);
  EXPECT_EQ(r.headers["Location"], "./Index.asp?x=%D6%D0");
  EXPECT_EQ(r.body, "");
}

TEST_F(PagesOverHttp, FailedPageShowsNoDetails) {
  HttpClient http(server_->port());
  HttpResponse r = http.get("/ADMIN/fail.asp");
  EXPECT_EQ(r.status, 500);
  std::string text = r.text();
  EXPECT_EQ(text.rfind("<html>partial <p>服务器处理本页时出错", 0), 0u) << text;
  EXPECT_EQ(text.find("secret"), std::string::npos) << text;
  EXPECT_EQ(text.find("</html>"), std::string::npos) << "literal text after a failed block";
  std::size_t at = text.find("编号 ");
  ASSERT_NE(at, std::string::npos);
  std::string id = text.substr(at + 7, text.find("）") - at - 7);
  EXPECT_NE(server_->errorLog().find("request " + id + " GET /ADMIN/fail.asp: secret detail"), std::string::npos);

  // A script the host does not run: refused, with the reason only in the log.
  r = http.get("/bad.asp");
  EXPECT_EQ(r.status, 500);
  EXPECT_EQ(r.text().find("Response.Write"), std::string::npos);
  EXPECT_NE(server_->errorLog().find("bad.asp: page script line 1"), std::string::npos);
  // MapPath from the back office reaches the database folder, never past the root.
  EXPECT_EQ(http.get("/admin/map.asp?p=../database/tamlo.mdb").body, server_->root() + "/database/tamlo.mdb");
  EXPECT_EQ(http.get("/admin/map.asp?p=../../etc/passwd").status, 500);
}

TEST_F(PagesOverHttp, MultipartFormsAndTheBodyLimit) {
  HttpClient http(server_->port());
  std::string body = "--XyZ\r\nContent-Disposition: form-data; name=\"title\"\r\n\r\n" + toGbk("红烧肉") +
                     "\r\n--XyZ\r\nContent-Disposition: form-data; name=\"pic\"; filename=\"" + toGbk("菜.png") +
                     "\"\r\nContent-Type: image/png\r\n\r\n\x89PNG\r\n\x1a\n\r\n--XyZ--\r\n";
  EXPECT_EQ(http.post("/upload.asp", body, "multipart/form-data; boundary=XyZ").text(),
            "form=红烧肉|files=1|pic:菜.png:image/png:8");
  EXPECT_EQ(http.post("/upload.asp", "--broken", "multipart/form-data; boundary=XyZ").text(), "form=|files=0");
  HttpResponse r = http.post("/echo.asp", "a=" + std::string(5000, 'x'));
  EXPECT_EQ(r.status, 413);
  EXPECT_NE(r.text().find("提交的内容太大"), std::string::npos);
  EXPECT_EQ(http.post("/echo.asp", "a=" + std::string(4000, 'x')).status, 200);
}

TEST(InProcessServe, StopFinishesTheRequestInFlight) {
  Gate g;
  gate = &g;
  host::ServeOptions o;
  o.https = true;
  InProcessServer server(registerProbes, {{"slow.asp", hostPage("probe.slow")}, {"session.asp", hostPage("probe.session")}}, o);
  HttpResponse r = HttpClient(server.port()).get("/session.asp?set=x");
  ASSERT_EQ(r.setCookies.size(), 1u);
  EXPECT_NE(r.setCookies[0].find("; Secure"), std::string::npos) << r.setCookies[0];

  auto inFlight = std::async(std::launch::async, [&] { return HttpClient(server.port()).get("/slow.asp"); });
  g.entered.get_future().wait();
  auto stopped = std::async(std::launch::async, [&] { return server.stop(); });
  // The page is let go only once the server has stopped listening.
  for (int fd; (fd = connectLoopback(server.port())) >= 0;) close(fd);
  g.release.set_value();
  HttpResponse slow = inFlight.get();
  EXPECT_EQ(slow.status, 200);
  EXPECT_EQ(slow.body, "finished");
  EXPECT_EQ(stopped.get(), 0);
  gate = nullptr;
}

}  // namespace
