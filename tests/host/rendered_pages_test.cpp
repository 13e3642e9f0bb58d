// Pages whose output depends only on the database, answered from their
// rendered copy: a copy is used only while the database file and the page
// file are unchanged, and never for what looks at the visitor.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "data/connection.h"
#include "data/recordset.h"
#include "frame/http_details.h"
#include "frame/module1.h"
#include "host/in_process.h"
#include "host/rendered_pages.h"
#include "support/live_server.h"

using namespace tovi;
using namespace tovi::testing;
using frame::Module1::Response;

namespace {

// How many times a probe page ran, all probes together.
std::atomic<int> runs{0};

// What else a probe does besides listing the dishes.
enum class Extra { None, ReadsCookie, SetsCookie, ReadsSession, ReadsHeader, ReadsForm, ReadsClock, SetsStatus,
                   Redirects, Fails };

struct Menu : frame::Component {
  explicit Menu(Extra extra) : extra_(extra) {}
  void main() {
    ++runs;
    frame::Module1::openFrontDb();
    data::Recordset rs;
    rs.Open("select * from cygl order by id", *frame::Module1::conn(), 1, 1);
    std::string out = "dishes:";
    for (; !rs.Eof(); rs.MoveNext()) out += rs("name").text() + ";";
    rs.Close();
    Response().Write(out);
    switch (extra_) {
      case Extra::None: break;
      case Extra::ReadsCookie: Response().Write(frame::Module1::Request().Cookies("who")); break;
      case Extra::SetsCookie: Response().Cookies("seen").value = "1"; break;
      case Extra::ReadsSession: Response().Write(frame::Module1::Session().Get("admin").text()); break;
      case Extra::ReadsHeader: Response().Write(frame::Module1::Http().header("User-Agent")); break;
      case Extra::ReadsForm: Response().Write(frame::Module1::Request().Form("a")); break;
      case Extra::ReadsClock: (void)frame::Module1::Now(); break;
      case Extra::SetsStatus: frame::Module1::Http().setStatus(404); break;
      case Extra::Redirects: Response().Redirect("menu.asp"); break;
      case Extra::Fails: throw std::runtime_error("menu failed");
    }
  }
  Extra extra_;
};

const std::pair<const char*, Extra> kProbes[] = {
    {"none", Extra::None},           {"cookie", Extra::ReadsCookie},  {"setcookie", Extra::SetsCookie},
    {"session", Extra::ReadsSession}, {"header", Extra::ReadsHeader}, {"form", Extra::ReadsForm},
    {"clock", Extra::ReadsClock},    {"status", Extra::SetsStatus},   {"redirect", Extra::Redirects},
    {"fail", Extra::Fails},
};

void registerProbes(frame::Registry& r) {
  for (const auto& [name, extra] : kProbes) {
    Extra e = extra;
    r.add(std::string("probe.") + name, [e] { return std::make_unique<Menu>(e); }, {frame::op("main", &Menu::main)},
          frame::Output::DatabaseOnly);
  }
  // The same page without the promise.
  r.add("probe.plain", [] { return std::make_unique<Menu>(Extra::None); }, {frame::op("main", &Menu::main)});
}

std::vector<std::pair<std::string, std::string>> probePages() {
  std::vector<std::pair<std::string, std::string>> pages;
  for (const auto& [name, extra] : kProbes) pages.emplace_back(std::string(name) + ".asp", hostPage(std::string("probe.") + name));
  pages.emplace_back("menu.asp", hostPage("probe.none", "<p>", "</p>"));
  pages.emplace_back("plain.asp", hostPage("probe.plain"));
  return pages;
}

class RenderedPages : public ::testing::Test {
 protected:
  void SetUp() override { server_ = std::make_unique<InProcessServer>(registerProbes, probePages()); }
  std::string database() const { return server_->root() + "/database/tamlo.mdb"; }
  // Adds a dish through the data layer, on this thread's connection (not the server's).
  void addDish(const std::string& name) {
    data::Connection conn;
    conn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + database());
    conn.Execute(data::Sql("insert into cygl (name, lei2) values (?, 1)", {data::Value(name)}));
  }
  // How many times pages ran while `requests` were sent.
  template <class F>
  int runsDuring(F requests) {
    int before = runs.load();
    requests();
    return runs.load() - before;
  }
  std::unique_ptr<InProcessServer> server_;
};

TEST_F(RenderedPages, ARepeatedPageIsAnsweredWithoutRunningIt) {
  HttpClient client(server_->port());
  HttpResponse first, again, head;
  EXPECT_EQ(runsDuring([&] { first = client.get("/menu.asp"); }), 1);
  EXPECT_EQ(runsDuring([&] {
              again = client.get("/Menu.asp");
              head = client.request("HEAD", "/menu.asp", "", {});
            }),
            0);
  EXPECT_EQ(first.status, 200);
  EXPECT_EQ(first.body, "<p>dishes:</p>");
  EXPECT_EQ(again.status, 200);
  EXPECT_EQ(again.body, first.body);
  EXPECT_EQ(again.headers, first.headers);
  EXPECT_EQ(head.status, 200);
  EXPECT_EQ(head.body, "");
  EXPECT_EQ(head.headers.at("Content-Type"), first.headers.at("Content-Type"));
}

TEST_F(RenderedPages, ADishAddedByAnotherConnectionOrProgramShowsAtOnce) {
  HttpClient client(server_->port());
  ASSERT_EQ(client.get("/menu.asp").body, "<p>dishes:</p>");
  addDish("fish");
  EXPECT_EQ(client.get("/menu.asp").body, "<p>dishes:fish;</p>");
  EXPECT_EQ(client.get("/menu.asp").body, "<p>dishes:fish;</p>");

  std::string cli = "sqlite3 '" + database() + "' \"insert into cygl (name, lei2) values ('rice', 1)\"";
  ASSERT_EQ(std::system(cli.c_str()), 0);
  EXPECT_EQ(client.get("/menu.asp").body, "<p>dishes:fish;rice;</p>");

  // A change that only another thread of this process makes.
  std::thread([&] { addDish("tea"); }).join();
  EXPECT_EQ(client.get("/menu.asp").body, "<p>dishes:fish;rice;tea;</p>");
}

TEST_F(RenderedPages, RequestsWithAQueryStringOrABodyAlwaysRunThePage) {
  HttpClient client(server_->port());
  addDish("fish");
  ASSERT_EQ(client.get("/menu.asp").body, "<p>dishes:fish;</p>");
  HttpResponse withQuery, post;
  EXPECT_EQ(runsDuring([&] {
              client.get("/menu.asp?a=1");
              withQuery = client.get("/menu.asp?a=1");
              client.get("/menu.asp?");
              post = client.post("/menu.asp", "a=1");
            }),
            4);
  EXPECT_EQ(withQuery.body, "<p>dishes:fish;</p>");
  EXPECT_EQ(post.body, "<p>dishes:fish;</p>");
}

TEST_F(RenderedPages, PagesThatLookAtTheVisitorOrFailAreNeverKept) {
  HttpClient client(server_->port());
  client.cookies()["who"] = "me";
  for (const auto& [name, extra] : kProbes) {
    if (extra == Extra::None) continue;
    std::string target = std::string("/") + name + ".asp";
    EXPECT_EQ(runsDuring([&] {
                for (int i = 0; i < 3; ++i) client.get(target);
              }),
              3)
        << name;
  }
  EXPECT_EQ(runsDuring([&] {
              for (int i = 0; i < 3; ++i) client.get("/plain.asp");
            }),
            3);
  // The plain probe is kept once nothing personal is in the way.
  EXPECT_EQ(runsDuring([&] {
              for (int i = 0; i < 3; ++i) client.get("/none.asp");
            }),
            1);
}

TEST_F(RenderedPages, AnEditedPageFileIsSeen) {
  HttpClient client(server_->port());
  ASSERT_EQ(client.get("/menu.asp").body, "<p>dishes:</p>");
  std::ofstream(server_->root() + "/menu.asp", std::ios::binary) << hostPage("probe.none", "<div>", "</div>");
  // Page files are looked at again about once a second.
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_EQ(client.get("/menu.asp").body, "<div>dishes:</div>");
  EXPECT_EQ(runsDuring([&] { EXPECT_EQ(client.get("/menu.asp").body, "<div>dishes:</div>"); }), 0);
}

// The storefront's own pages through `tovi serve`: the kept copy is the very
// answer the page gives when it runs (a query string makes it run).
TEST(StorefrontPagesKept, SameBytesAsARunAndNewDishesShowAtOnce) {
  LiveServer::Options demo;
  demo.demo = true;
  LiveServer server(demo);
  HttpClient client(server.port());
  for (const char* page : {"/index.asp", "/kcdg.asp", "/jpsq.asp", "/ylxg.asp"}) {
    HttpResponse rendered = client.get(page), kept = client.get(page), run = client.get(std::string(page) + "?x=1");
    ASSERT_EQ(rendered.status, 200) << page;
    EXPECT_GT(rendered.body.size(), 1000u) << page;
    EXPECT_EQ(kept.body, rendered.body) << page;
    EXPECT_EQ(run.body, rendered.body) << page;
    EXPECT_EQ(kept.headers.at("Content-Type"), run.headers.at("Content-Type")) << page;
  }
  // Another program renames the first dish of the home page's first list and the first drink.
  std::string sql =
      "update cygl set name='今日新菜' where id=(select min(id) from cygl where lei='新品推荐');"
      "update cygl set name='冰镇酸梅汤' where id=(select min(id) from cygl where lei2=3);";
  ASSERT_EQ(std::system(("sqlite3 '" + server.databasePath() + "' \"" + sql + "\"").c_str()), 0);
  EXPECT_NE(client.get("/index.asp").text().find("今日新菜"), std::string::npos);
  EXPECT_NE(client.get("/ylxg.asp").text().find("冰镇酸梅汤"), std::string::npos);
  EXPECT_EQ(client.get("/ylxg.asp").body, client.get("/ylxg.asp?x=1").body);
}

}  // namespace

namespace {

TEST(RenderedPageCopies, AHandfulAreKeptEachForOneVersionOfItsPage) {
  host::RenderedPages kept;
  auto copyOf = [](std::size_t bytes) {
    auto c = std::make_shared<host::RenderedPages::Copy>();
    c->body = std::make_shared<const std::string>(bytes, 'x');
    return c;
  };
  auto v1 = std::make_shared<const host::PageFile>(), v2 = std::make_shared<const host::PageFile>();
  kept.keep("/a.asp", v1, copyOf(10));
  EXPECT_NE(kept.find("/a.asp", v1.get()), nullptr);
  EXPECT_EQ(kept.find("/a.asp", v2.get()), nullptr);  // the page file changed since
  EXPECT_EQ(kept.find("/b.asp", v1.get()), nullptr);

  kept.keep("/a.asp", v2, copyOf(20));  // replaces the copy of the older version
  EXPECT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept.find("/a.asp", v1.get()), nullptr);
  ASSERT_NE(kept.find("/a.asp", v2.get()), nullptr);
  EXPECT_EQ(kept.find("/a.asp", v2.get())->body->size(), 20u);

  for (std::size_t i = 0; i < host::RenderedPages::kEntries; ++i) kept.keep("/p" + std::to_string(i), v1, copyOf(1));
  EXPECT_EQ(kept.size(), host::RenderedPages::kEntries);
  EXPECT_EQ(kept.find("/a.asp", v2.get()), nullptr);  // the oldest went first
  EXPECT_NE(kept.find("/p0", v1.get()), nullptr);

  kept.keep("/big.asp", v1, copyOf(host::RenderedPages::kMaxBody + 1));
  EXPECT_EQ(kept.find("/big.asp", v1.get()), nullptr);
}

}  // namespace
