// The server as a service sees it through the real `tovi serve`: forwarded
// headers believed only from a trusted proxy, the data and upload folders kept
// apart from the web root, and the backup and restore commands.
#include <iterator>
#include <set>
#include <sstream>

#include "host/forwarded.h"
#include "host/in_process.h"
#include "support/over_http.h"

namespace fs = std::filesystem;

// Chains of proxies (a peer trusted or not at all: over HTTP below).
TEST(Forwarded, TheClientIsTheLastAddressNoTrustedProxyAdded) {
  host::TrustedProxies proxies({"127.0.0.1", "::1"});
  struct Case {
    const char* name;
    std::string peer, forwardedFor, proto, address;
  };
  for (const Case& c : {
           Case{"VisitorWroteItsOwn", "127.0.0.1", "198.51.100.1, 203.0.113.9", "http", "203.0.113.9"},
           Case{"TwoTrustedHops", "::ffff:127.0.0.1", "203.0.113.9, ::1", "", "203.0.113.9"},
           Case{"OnlyTrustedHops", "127.0.0.1", "::1", "", "::1"},
           Case{"NotAnAddress", "127.0.0.1", "203.0.113.9, bogus", "", "127.0.0.1"},
           Case{"NoHeader", "127.0.0.1", "", "", "127.0.0.1"},
       }) {
    SCOPED_TRACE(c.name);
    host::Client got = proxies.client(c.peer, c.forwardedFor, c.proto, false);
    EXPECT_EQ(got.address, c.address);
    EXPECT_FALSE(got.https);  // no row was sent as https
  }
  EXPECT_THROW(host::TrustedProxies({"proxy.example"}), std::invalid_argument);
}

// Through the server: the access log's address (the one the pages read, the
// login throttle's among them) and the session cookie's Secure follow the
// client only behind a trusted proxy.
TEST(ForwardedOverHttp, BelievedOnlyFromATrustedPeer) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string logged;  // the address of the access log's line
    bool secure;
  };
  for (const Case& c : {
           Case{"NoProxyOption", {}, "127.0.0.1", false},
           Case{"AnotherProxy", {"--trusted-proxy", "192.0.2.4"}, "127.0.0.1", false},
           Case{"ThisProxy", {"--trusted-proxy", "192.0.2.4", "--trusted-proxy", "127.0.0.1"}, "203.0.113.9", true},
       }) {
    SCOPED_TRACE(c.name);
    LiveServer server({.args = c.args});
    HttpResponse code = HttpClient(server.port()).get("/GetCode.asp", {{"X-Forwarded-For", "203.0.113.9"},
                                                                      {"X-Forwarded-Proto", "https"}});
    ASSERT_EQ(code.setCookies.size(), 1u);
    EXPECT_EQ(code.setCookies[0].find("; Secure") != std::string::npos, c.secure);
    server.stop();
    EXPECT_THAT(server.output(), HasSubstr("\n" + c.logged + " ["));
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
    EXPECT_EQ(http.get("/database/tamlo.mdb").status, 404);
  }
  fs::remove_all(data);
}

// The order remarks stored in `database`, after its integrity check says ok.
static std::set<std::string> remarksIn(const std::string& database) {
  std::string out;
  EXPECT_EQ(shell("sqlite3 '" + database + "' 'pragma integrity_check' 'select qtbz from tdgl'", &out), 0);
  std::istringstream lines(out);
  std::set<std::string> stored{std::istream_iterator<std::string>(lines), {}};
  EXPECT_EQ(stored.erase("ok"), 1u) << database << ": " << out;
  return stored;
}

// `tovi backup` and `tovi restore` beside the running server (both under
// arriving orders, and killed midway, are tests/crash's): the copy holds the
// orders before it, the restore keeps the database it replaced, the server
// goes on in the restored one, and a file that is no database of the site is
// refused without a change.
TEST(CommandLine, BackupAndRestoreBesideTheRunningServer) {
  LiveServer server({});
  const std::string tovi = std::string(TOVI_BINARY) + " ", copy = server.root() + ".copy.mdb";
  auto order = [&](const std::string& remark) {
    HttpResponse r = HttpClient(server.port()).post(
        "/dctj.asp", gbkForm({{"list", "宫保鸡丁 12元 X 1份=12元"}, {"list1", "12"}, {"yhm", "张三"},
                              {"telsss", "87001234"}, {"zffs", "餐到付费"}, {"addresss", "鼓楼区"}, {"qtbz", remark},
                              {"hours", "12"}, {"minutes", "30"}}));
    EXPECT_THAT(r.text(), HasSubstr("订餐成功")) << remark;
  };
  order("before");
  EXPECT_EQ(shell(tovi + "backup --root " + server.root() + " " + copy), 0);
  order("after");
  std::string said;
  EXPECT_EQ(shell(tovi + "restore --root " + server.root() + " " + copy, &said), 0);
  const std::size_t at = said.find(" in ");
  ASSERT_NE(at, std::string::npos) << said;
  order("restored");
  using Remarks = std::set<std::string>;
  EXPECT_EQ(remarksIn(copy), Remarks{"before"});
  EXPECT_EQ(remarksIn(said.substr(at + 4, said.find('\n', at) - at - 4)), (Remarks{"before", "after"}));
  EXPECT_EQ(remarksIn(server.databasePath()), (Remarks{"before", "restored"}));
  std::ofstream(copy + ".junk") << "not a database";
  EXPECT_NE(shell(tovi + "restore --root " + server.root() + " " + copy + ".junk"), 0);
  EXPECT_EQ(remarksIn(server.databasePath()), (Remarks{"before", "restored"}));
  std::remove(copy.c_str());
  std::remove((copy + ".junk").c_str());
}
