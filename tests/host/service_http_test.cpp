// The server as a service sees it through the real `tovi serve`: forwarded
// headers believed only from a trusted proxy, the data and upload folders kept
// apart from the web root, and the backup and restore commands.
#include "host/forwarded.h"

#include <filesystem>
#include <fstream>

#include "support/over_http.h"

namespace fs = std::filesystem;

// The client is the last address no trusted proxy added, and only a trusted peer is believed.
TEST(Forwarded, TheClientIsTheLastAddressNoTrustedProxyAdded) {
  const std::vector<std::string> local = {"127.0.0.1", "::1"};
  const std::tuple<std::vector<std::string>, std::string, std::string, std::string, std::string, bool> cases[] = {
      {local, "127.0.0.1", "198.51.100.1, 203.0.113.9", "http", "203.0.113.9", false},  // the visitor wrote its own
      {local, "::ffff:127.0.0.1", "203.0.113.9, ::1", "HTTPS", "203.0.113.9", true},    // two trusted hops
      {local, "127.0.0.1", "::1", "", "::1", false},                                    // only trusted hops
      {local, "127.0.0.1", "203.0.113.9, bogus", "", "127.0.0.1", false},               // not an address
      {local, "127.0.0.1", "", "", "127.0.0.1", false},
      {{"192.0.2.4"}, "127.0.0.1", "203.0.113.9", "https", "127.0.0.1", false},  // another proxy
      {{}, "127.0.0.1", "203.0.113.9", "https", "127.0.0.1", false}};
  for (const auto& [proxies, peer, forwardedFor, proto, address, https] : cases) {
    host::Client got = host::TrustedProxies(proxies).client(peer, forwardedFor, proto, false);
    EXPECT_EQ(std::tie(got.address, got.https), std::tie(address, https)) << peer << " " << forwardedFor;
  }
  EXPECT_THROW(host::TrustedProxies({"proxy.example"}), std::invalid_argument);
}

// Through the server: the access log's address (the one the pages read, the
// login throttle's among them) and the session cookie's Secure follow the
// client only behind a trusted proxy. Without --https no HSTS; a fixed code
// image is warned of.
TEST(ForwardedOverHttp, BelievedOnlyFromATrustedPeer) {
  for (const bool trusted : {false, true}) {
    LiveServer server({.args = {"--fixed-code", "1234", "--trusted-proxy", trusted ? "127.0.0.1" : "192.0.2.4"}});
    HttpResponse code = HttpClient(server.port()).get(
        "/GetCode.asp", {{"X-Forwarded-For", "203.0.113.9"}, {"X-Forwarded-Proto", "https"}});
    ASSERT_THAT(code.headers["Set-Cookie"], StartsWith("TOVISESSION="));
    EXPECT_EQ(code.headers["Set-Cookie"].find("; Secure") != std::string::npos, trusted);
    EXPECT_EQ(code.headers.count("Strict-Transport-Security"), 0u);
    server.stop();
    EXPECT_THAT(server.output(), AllOf(HasSubstr("fixed"), HasSubstr(trusted ? "\n203.0.113.9 [" : "\n127.0.0.1 [")));
  }
}

TEST(DataFolders, DatabaseAndUploadsLiveApartFromTheRoot) {
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
  }
  fs::remove_all(data);
}

// `tovi backup` and `tovi restore` beside the running server (both under
// arriving orders, and killed midway, are tests/crash's): the copy holds the
// orders before it, the restore keeps the database it replaced, the server
// goes on in the restored one, and a file that is no database of the site is
// refused without a change.
TEST(CommandLine, BackupAndRestoreBesideTheRunningServer) {
  LiveServer server({});
  const std::string copy = server.root() + "/copy.mdb";
  std::string said;
  auto tovi = [&](const std::string& command, const std::string& file) {
    Process run({command, "--root", server.root(), file}, server.root() + "/command.log");
    const int status = run.wait();
    return said = run.output(), status;
  };
  auto order = [&](const std::string& remark) {
    const Fields form = {{"list", "宫保鸡丁 12元 X 1份=12元"}, {"list1", "12"}, {"yhm", "张三"}, {"telsss", "87001234"},
                         {"zffs", "餐到付费"}, {"addresss", "鼓楼区"}, {"qtbz", remark}, {"hours", "12"}, {"minutes", "30"}};
    EXPECT_THAT(HttpClient(server.port()).post("/dctj.asp", gbkForm(form)).text(), HasSubstr("订餐成功")) << remark;
  };
  auto remarks = [](const std::string& database) {  // the order remarks stored, after the integrity check's ok
    return sqliteColumn(database, "pragma integrity_check; select qtbz from tdgl order by qtbz");
  };
  using Rows = std::vector<std::string>;
  order("before");
  EXPECT_EQ(tovi("backup", copy), 0);
  order("after");
  EXPECT_EQ(tovi("restore", copy), 0);
  const std::size_t at = said.find(" in ");
  ASSERT_NE(at, std::string::npos) << said;
  order("restored");
  EXPECT_EQ(remarks(copy), (Rows{"ok", "before"}));
  EXPECT_EQ(remarks(said.substr(at + 4, said.find('\n', at) - at - 4)), (Rows{"ok", "after", "before"}));
  EXPECT_EQ(remarks(server.databasePath()), (Rows{"ok", "before", "restored"}));
  std::ofstream(copy + ".junk") << "not a database";
  EXPECT_NE(tovi("restore", copy + ".junk"), 0);
  EXPECT_EQ(remarks(server.databasePath()), (Rows{"ok", "before", "restored"}));
}
