// Pages whose output depends only on the database, answered from their rendered copy: a copy is used only while the
// database file and the page file are unchanged, and never for what looks at the visitor; a handful, none huge.
#include <atomic>
#include <fstream>
#include <thread>

#include "data/recordset.h"
#include "frame/http_details.h"
#include "frame/module1.h"
#include "host/rendered_pages.h"
#include "support/over_http.h"
#include "support/probe_root.h"

using frame::Module1::Request;
using frame::Module1::Response;

static std::atomic<int> runs{0};  // how many times a probe page ran, all together

static void listDishes() {
  ++runs;
  frame::Module1::openFrontDb();
  data::Recordset rs;
  rs.Open("select * from cygl order by id", *frame::Module1::conn(), 1, 1);
  std::string out = "dishes:";
  for (; !rs.Eof(); rs.MoveNext()) out += rs("name").text() + ";";
  Response().Write(out);
}

// What else a probe does besides listing the dishes: each makes its answer the visitor's own, or no answer to keep.
const std::pair<const char*, std::function<void()>> kExtras[] = {
    {"cookie", [] { Response().Write(Request().Cookies("who")); }},
    {"setcookie", [] { Response().Cookies("seen").value = "1"; }},
    {"session", [] { Response().Write(frame::Module1::Session().Get("admin").text()); }},
    {"header", [] { Response().Write(frame::Module1::Http().header("User-Agent")); }},
    {"form", [] { Response().Write(Request().Form("a")); }},
    {"clock", [] { (void)frame::Module1::Now(); }},
    {"status", [] { frame::Module1::Http().setStatus(404); }},
    {"redirect", [] { Response().Redirect("menu.asp"); }},
    {"fail", [] { throw std::runtime_error("menu failed"); }},
};

class RenderedPages : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<ProbePage> pages = {{"menu.asp", listDishes, "<p>", "</p>", frame::Output::DatabaseOnly},
                                    {"plain.asp", listDishes}};  // the same page without the promise
    for (const auto& [name, extra] : kExtras)
      pages.push_back(
          {std::string(name) + ".asp", [e = extra] { listDishes(); e(); }, "", "", frame::Output::DatabaseOnly});
    server_ = std::make_unique<InProcessServer>(pages);
  }
  // How many times the probes ran while `request` was sent `times` times.
  int runsFor(int times, const std::function<void()>& request) {
    const int before = runs.load();
    for (int i = 0; i < times; ++i) request();
    return runs.load() - before;
  }
  std::unique_ptr<InProcessServer> server_;
};

// A repeated page is answered without running it until the database changes (whoever writes it moves its change
// stamp: tests/data/order_list_test.cpp's writers loop) or its page file does. Page files are looked at about once a
// second: an edit shows after that, a page broken by one is refused, and one deleted is no page.
TEST_F(RenderedPages, KeptUntilTheDatabaseOrThePageFileChanges) {
  HttpClient client(server_->port());
  HttpResponse first, again, head;
  EXPECT_EQ(runsFor(1, [&] { first = client.get("/menu.asp"); }), 1);
  EXPECT_EQ(runsFor(1, [&] { again = client.get("/Menu.asp"), head = client.request("HEAD", "/menu.asp", "", {}); }),
            0);
  EXPECT_EQ(std::tie(first.body, again.body, again.headers, head.status),
            std::tie("<p>dishes:</p>", first.body, first.headers, first.status));
  sqliteColumn(server_->root + "/database/tamlo.mdb", "insert into cygl (name, lei2) values ('fish', 1)");
  EXPECT_EQ(runsFor(2, [&] { EXPECT_EQ(client.get("/menu.asp").body, "<p>dishes:fish;</p>"); }), 1);
  for (const char* page : {"/plain.asp", "/cookie.asp"}) ASSERT_EQ(client.get(page).status, 200);
  std::ofstream(server_->root + "/menu.asp", std::ios::binary) << hostPage("probe.0", "<div>", "</div>");
  std::ofstream(server_->root + "/plain.asp", std::ios::binary) << "<% bad %>";
  std::filesystem::remove(server_->root + "/cookie.asp");
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_EQ(client.get("/menu.asp").body, "<div>dishes:fish;</div>");
  EXPECT_EQ(runsFor(1, [&] { EXPECT_EQ(client.get("/menu.asp").body, "<div>dishes:fish;</div>"); }), 0);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(client.get("/plain.asp").status, 500);
  EXPECT_EQ(client.get("/cookie.asp").status, 404);
}

TEST_F(RenderedPages, QueriesBodiesAndPagesThatLookAtTheVisitorOrFailAlwaysRun) {
  HttpClient client(server_->port());
  client.cookies()["who"] = "me";
  std::vector<std::pair<std::string, std::string>> requests = {
      {"GET", "/menu.asp?a=1"}, {"GET", "/menu.asp?"}, {"POST", "/menu.asp"}, {"GET", "/plain.asp"}};
  for (const auto& [name, extra] : kExtras) requests.emplace_back("GET", std::string("/") + name + ".asp");
  for (const auto& [method, target] : requests)
    EXPECT_EQ(runsFor(3, [&] { client.request(method, target, "", {}); }), 3) << method << " " << target;
  // Without anything personal in the way, the same page is kept.
  EXPECT_EQ(runsFor(3, [&] { client.get("/menu.asp"); }), 1);
}

// Which page file a copy was made from, and its being edited since, is the
// HTTP tests' above; here only how many and how large.
TEST(RenderedPageCopies, AHandfulAreKeptTheOldestGoingFirstAndNoHugeOne) {
  host::RenderedPages kept;
  auto copyOf = [](std::size_t bytes) {
    auto c = std::make_shared<host::RenderedPages::Copy>();
    c->body = std::make_shared<const std::string>(bytes, 'x');
    return c;
  };
  auto page = std::make_shared<const host::PageFile>();
  for (std::size_t i = 0; i <= host::RenderedPages::kEntries; ++i)
    kept.keep("/p" + std::to_string(i), page, copyOf(i + 1));
  EXPECT_EQ(kept.size(), host::RenderedPages::kEntries);
  kept.keep("/big.asp", page, copyOf(host::RenderedPages::kMaxBody + 1));
  EXPECT_EQ(std::tuple(kept.find("/p0", page.get()), kept.find("/big.asp", page.get())), std::tuple(nullptr, nullptr));
  ASSERT_NE(kept.find("/p1", page.get()), nullptr);
  EXPECT_EQ(kept.find("/p1", page.get())->body->size(), 2u);
}
