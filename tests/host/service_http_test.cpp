// The server as a service sees it through the real `tovi serve`: forwarded
// headers believed only from a trusted proxy, the data and upload folders kept
// apart from the web root, and the backup and restore commands.
#include <unistd.h>

#include <mutex>
#include <set>
#include <sstream>

#include "host/forwarded.h"
#include "host/in_process.h"

namespace fs = std::filesystem;

// Chains of proxies (a peer trusted or not at all: over HTTP below).
TEST(Forwarded, TheClientIsTheLastAddressNoTrustedProxyAdded) {
  host::TrustedProxies proxies({"127.0.0.1", "::1"});
  struct Case {
    const char* name;
    std::string peer, forwardedFor, proto, address;
    bool https;
  };
  for (const Case& c : {
           Case{"VisitorWroteItsOwn", "127.0.0.1", "198.51.100.1, 203.0.113.9", "http", "203.0.113.9", false},
           Case{"TwoTrustedHops", "::ffff:127.0.0.1", "203.0.113.9, ::1", "", "203.0.113.9", false},
           Case{"OnlyTrustedHops", "127.0.0.1", "::1", "", "::1", false},
           Case{"NotAnAddress", "127.0.0.1", "203.0.113.9, bogus", "", "127.0.0.1", false},
           Case{"NoHeader", "127.0.0.1", "", "", "127.0.0.1", false},
       }) {
    SCOPED_TRACE(c.name);
    host::Client got = proxies.client(c.peer, c.forwardedFor, c.proto, false);
    EXPECT_EQ(got.address, c.address);
    EXPECT_EQ(got.https, c.https);
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
    char log[] = "/tmp/tovi-access-XXXXXX";
    close(mkstemp(log));
    std::vector<std::string> args = {"--access-log", log};
    args.insert(args.end(), c.args.begin(), c.args.end());
    LiveServer server({.args = args});
    HttpResponse code = HttpClient(server.port()).get("/GetCode.asp", {{"X-Forwarded-For", "203.0.113.9"},
                                                                      {"X-Forwarded-Proto", "https"}});
    ASSERT_EQ(code.setCookies.size(), 1u);
    EXPECT_EQ(code.setCookies[0].find("; Secure") != std::string::npos, c.secure);
    server.stop();
    EXPECT_THAT(readFile(log), HasSubstr(c.logged + " ["));
    std::remove(log);
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

// Runs a command line; returns its exit status and what it printed.
static int shell(const std::string& command, std::string* out = nullptr) {
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  char buf[512];
  std::string text;
  while (p && std::fgets(buf, sizeof buf, p)) text += buf;
  if (out) *out = text;
  return p ? pclose(p) : -1;
}

// The order remarks stored in `database`, after its integrity check says ok.
static std::set<std::string> remarksIn(const std::string& database) {
  std::string out;
  EXPECT_EQ(shell("sqlite3 '" + database + "' 'pragma integrity_check' 'select qtbz from tdgl'", &out), 0);
  std::istringstream lines(out);
  std::set<std::string> stored;
  for (std::string line; std::getline(lines, line);) stored.insert(line);
  EXPECT_EQ(stored.erase("ok"), 1u) << database << ": " << out;
  return stored;
}

// Backup and restore from the command line, while orders arrive at the
// running server: the copy holds every order accepted before it, the restore
// keeps the database it replaced, the server goes on in the restored one, and
// no accepted order is lost.
TEST(CommandLine, BackupAndRestoreWhileOrdersArriveLoseNoAcceptedOrder) {
  LiveServer server({.demo = true, .args = {}});
  const std::string tovi = std::string(TOVI_BINARY) + " ", copy = server.root() + ".copy.mdb";
  std::mutex mutex;
  std::vector<std::string> accepted;
  std::atomic<bool> done{false};
  std::thread customers([&] {
    for (int n = 0; !done; ++n) {
      HttpResponse r = HttpClient(server.port()).post(
          "/dctj.asp", formBody({{"list", toGbk("宫保鸡丁 12元 X 1份=12元")}, {"list1", "12"}, {"yhm", toGbk("张三")},
                                 {"telsss", "87001234"}, {"zffs", toGbk("餐到付费")}, {"addresss", toGbk("鼓楼区")},
                                 {"qtbz", std::to_string(n)}, {"hours", "12"}, {"minutes", "30"}}));
      std::lock_guard lock(mutex);
      if (r.text().find("订餐成功") != std::string::npos) accepted.push_back(std::to_string(n));
    }
  });
  auto soFar = [&] {
    std::lock_guard lock(mutex);
    return accepted;
  };
  auto waitForMore = [&] {
    for (std::size_t than = soFar().size(); soFar().size() < than + 5;) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  };
  waitForMore();
  const std::vector<std::string> beforeBackup = soFar();
  EXPECT_EQ(shell(tovi + "backup --root " + server.root() + " " + copy), 0);
  waitForMore();
  const std::vector<std::string> beforeRestore = soFar();
  std::string said;
  EXPECT_EQ(shell(tovi + "restore --root " + server.root() + " " + copy, &said), 0);
  const std::size_t restored = soFar().size(), at = said.find(" in ");
  waitForMore();
  done = true;
  customers.join();
  ASSERT_NE(at, std::string::npos) << said;
  const std::set<std::string> inCopy = remarksIn(copy), live = remarksIn(server.databasePath()),
                              inKept = remarksIn(said.substr(at + 4, said.find('\n', at) - at - 4));
  for (const std::string& n : beforeBackup) EXPECT_EQ(inCopy.count(n), 1u) << n;
  for (const std::string& n : beforeRestore) EXPECT_EQ(inKept.count(n), 1u) << n;
  for (std::size_t i = restored; i < accepted.size(); ++i) EXPECT_EQ(live.count(accepted[i]), 1u) << accepted[i];
  for (const std::string& n : accepted) EXPECT_TRUE(live.count(n) || inKept.count(n)) << n << " lost";
  // A file that is no database of this site is refused, and nothing changes.
  std::ofstream(copy + ".junk") << "not a database";
  EXPECT_NE(shell(tovi + "restore --root " + server.root() + " " + copy + ".junk"), 0);
  EXPECT_EQ(remarksIn(server.databasePath()), live);
  std::remove(copy.c_str());
  std::remove((copy + ".junk").c_str());
}
