// `tovi serve` over loopback: the framing and headers of every kind of answer, static files, what is never served, idle
// connections; forwarded headers; the data folders apart from the root, and backup and restore beside the running server.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <zlib.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include "host/forwarded.h"
#include "host/static_files.h"
#include "support/over_http.h"

namespace fs = std::filesystem;

// One request; every answer, whatever made it, carries the current date (the server and this test read the same
// clock; the format is held by response_values_test.cpp's cookie expiry) and the security headers.
static HttpResponse ask(HttpClient& http, const std::string& method, const std::string& target,
                        const std::map<std::string, std::string>& headers = {}) {
  std::time_t from = std::time(nullptr);
  HttpResponse r = http.request(method, target, "", headers);
  std::string date = r.headers["Date"], sent;
  for (std::time_t t = from; t <= std::time(nullptr) && sent != date; ++t) sent = host::httpDate(t);
  EXPECT_EQ(date, sent) << "not the second between asking and the answer";
  for (const char* name :
       {"X-Content-Type-Options", "Referrer-Policy", "Content-Security-Policy", "Strict-Transport-Security"})
    EXPECT_NE(r.headers[name], "") << name;
  return r;
}

// Larger than what the host keeps in memory: sent from disk.
static std::string largeFile() {
  std::string bytes(static_cast<std::size_t>(host::StaticFiles::kKeepLimit) + 4097, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + i % 26);
  return bytes;
}

// A gzip stream inflated; "" when it is not one whole stream.
static std::string gunzip(const std::string& in) {
  z_stream z{};
  EXPECT_EQ(inflateInit2(&z, 15 + 16), Z_OK);
  std::string out(in.size() * 20 + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  bool whole = inflate(&z, Z_FINISH) == Z_STREAM_END && z.avail_in == 0;
  out.resize(z.total_out);
  inflateEnd(&z);
  return whole ? out : "";
}

class ToviServe : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<LiveServer>(LiveServer::Options{.args = {"--https", "--threads", "3"}});
    std::ofstream(server_->root() + "/large.js") << largeFile();
    std::ofstream(server_->root() + "/empty.txt");
  }
  static void TearDownTestSuite() { server_.reset(); }
  static inline std::unique_ptr<LiveServer> server_;
};

// A HEAD announces the length and type its GET would send and sends nothing after the headers, nor does a 304 (which,
// naming a length at all, names the 200's): on one connection the next answer follows right after their headers. Each
// twice: the first goes through a worker, the second may be answered from memory. Only static files can be revalidated.
TEST_F(ToviServe, HeadAndNotModifiedSendNoBody) {
  HttpClient http(server_->port());
  const std::string then = "GET /test.asp HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n";
  for (const auto& [target, status, isStatic] : std::vector<std::tuple<std::string, int, bool>>{
           {"/test.asp", 200, false}, {"/index.asp", 200, false}, {"/css/style.css", 200, true},
           {"/large.js", 200, true}, {"/empty.txt", 200, true}, {"/missing.asp", 404, false}}) {
    SCOPED_TRACE(target);
    HttpResponse head = ask(http, "HEAD", target), get = ask(http, "GET", target);
    const std::string length = std::to_string(get.body.size());
    EXPECT_EQ(std::tie(get.status, get.headers["Content-Length"], head.status, head.body,
                       head.headers["Content-Length"], head.headers["Content-Type"]),
              std::forward_as_tuple(status, length, status, "", length, get.headers["Content-Type"]));
    ASSERT_EQ(get.headers.count("ETag") + get.headers.count("Last-Modified"), isStatic ? 2u : 0u);
    std::vector<std::pair<std::string, int>> firsts = {{"HEAD " + target + " HTTP/1.1\r\n", status}};
    for (const std::string& c :
         {"If-None-Match: " + get.headers["ETag"], "If-Modified-Since: " + get.headers["Last-Modified"]})
      if (isStatic) firsts.emplace_back("GET " + target + " HTTP/1.1\r\n" + c + "\r\n", 304);
    for (int round = 0; round < 2; ++round)
      for (const auto& [first, firstStatus] : firsts) {
        SCOPED_TRACE(first);
        const std::string got = exchange(connectLoopback(server_->port()), first + "Host: a\r\n\r\n" + then);
        const std::string firstHead = got.substr(0, got.find("\r\n\r\n") + 2);
        EXPECT_THAT(firstHead, StartsWith("HTTP/1.1 " + std::to_string(firstStatus)));
        EXPECT_THAT(got.substr(firstHead.size() + 2),
                    AllOf(StartsWith("HTTP/1.1 200 OK"), ::testing::EndsWith("\r\n\r\n1233")));
        EXPECT_THAT(firstHead,
                    AnyOf(Not(HasSubstr("Content-Length: ")), HasSubstr("Content-Length: " + length + "\r\n")));
      }
  }
  // The cases above are not all empty: a length of 0 everywhere would pass.
  HttpResponse large = ask(http, "GET", "/large.js");
  EXPECT_EQ(large.body, largeFile());
  struct stat st {};
  ASSERT_EQ(stat((server_->root() + "/large.js").c_str(), &st), 0);
  EXPECT_EQ(large.headers["Last-Modified"], host::httpDate(st.st_mtime));
}

// Pages (one personal, the home page twice: run, then its rendered copy), a style sheet and a script go out
// compressed to a client that takes gzip, HEAD announcing the same; they inflate to the very bytes any other client
// gets, and both answers say they vary by Accept-Encoding. Pictures and tiny bodies go out as they are.
TEST_F(ToviServe, CompressedAnswersInflateToThePlainOnes) {
  HttpClient http(server_->port());
  const std::map<std::string, std::string> gz = {{"Accept-Encoding", "deflate, gzip"}};
  for (const auto& [target, compressed] : std::vector<std::pair<std::string, bool>>{
           {"/admin/login.asp", true}, {"/index.asp", true}, {"/index.asp", true}, {"/css/style.css", true},
           {"/js/front.js", true}, {"/images/dot.gif", false}, {"/test.asp", false}}) {
    SCOPED_TRACE(target);
    HttpResponse packed = ask(http, "GET", target, gz), head = ask(http, "HEAD", target, gz);
    EXPECT_EQ(std::tie(packed.status, packed.headers["Content-Encoding"], head.headers["Content-Length"]),
              std::forward_as_tuple(200, compressed ? "gzip" : "", std::to_string(packed.body.size())));
    for (const char* accept : {"", "identity", "gzip;q=0"}) {
      HttpResponse plain =
          ask(http, "GET", target, *accept ? decltype(gz){{"Accept-Encoding", accept}} : decltype(gz){});
      EXPECT_EQ(std::tie(plain.headers["Content-Encoding"], plain.headers["Vary"]),
                std::forward_as_tuple("", packed.headers["Vary"])) << accept;
      EXPECT_EQ(compressed ? gunzip(packed.body) : packed.body, plain.body) << accept;
      EXPECT_GT(plain.body.size(), compressed ? packed.body.size() * 2 : 0) << accept;
    }
    if (compressed && packed.headers.count("ETag")) {  // a static file: each variant revalidates with its own tag
      const std::string tag = packed.headers["ETag"];
      HttpResponse same = ask(http, "GET", target, {{"Accept-Encoding", "gzip"}, {"If-None-Match", tag}}),
                   other = ask(http, "GET", target, {{"If-None-Match", tag}});
      EXPECT_EQ(std::tuple(same.status, same.headers["Vary"], other.status, other.body.empty()),
                std::tuple(304, "Accept-Encoding", 200, false));
    }
    EXPECT_EQ(packed.headers["Vary"], target.find(".gif") == std::string::npos ? "Accept-Encoding" : "");
  }
}

// A static file's type by its name, its cache time, and a file rewritten (same size) sent anew at once with a new tag,
// or no more once removed.
TEST_F(ToviServe, StaticFilesCarryTheirTypeAndAreSentAnewOnceChanged) {
  const std::string probe = server_->root() + "/css/probe.css";
  std::ofstream(probe) << "body{}";
  HttpClient http(server_->port());
  HttpResponse r = ask(http, "GET", "/css/probe.css");
  EXPECT_EQ(std::tie(r.status, r.headers["Cache-Control"]), std::forward_as_tuple(200, host::kStaticCacheControl));
  EXPECT_THAT(r.headers["Content-Type"], StartsWith("text/css"));
  std::ofstream(probe) << "p{}{}x";
  fs::last_write_time(probe, fs::last_write_time(probe) + std::chrono::seconds(2));
  HttpResponse changed = ask(http, "GET", "/css/probe.css", {{"If-None-Match", r.headers["ETag"]}});
  EXPECT_EQ(std::tie(changed.status, changed.body), std::forward_as_tuple(200, "p{}{}x"));
  EXPECT_NE(changed.headers["ETag"], r.headers["ETag"]);
  fs::remove(probe);
  EXPECT_EQ(ask(http, "GET", "/css/probe.css").status, 404);
}

// A URL that names the file's bytes is kept a year: the fingerprint every storefront link carries (its bytes' now, so
// the links are current), a picture named as uploads are. Anything else an hour, a stale fingerprint too, and a file
// rewritten under the fingerprint of its old bytes: never old bytes for a year. The favicon is there.
TEST_F(ToviServe, OnlyUrlsThatNameTheBytesAreKeptAYear) {
  const std::string year(host::kImmutableCacheControl), hour(host::kStaticCacheControl), hex(32, 'c');
  HttpClient http(server_->port());
  std::vector<std::pair<std::string, std::string>> cases;
  const std::regex link("(?:href|src)='([^']+[?]v=[^']*)'");
  for (const char* page : {"/index.asp", "/kcdg.asp", "/guestbook.asp", "/register.asp", "/signin.asp"}) {
    const std::string body = ask(http, "GET", page).text();
    for (std::sregex_iterator m(body.begin(), body.end(), link), end; m != end; ++m)
      cases.emplace_back("/" + (*m)[1].str(), year);
  }
  ASSERT_GE(cases.size(), 10u);
  fs::create_directories(server_->root() + "/uploadpic");
  for (const std::string& name : {hex + ".gif", hex + "-s.gif", std::string("c.gif")})
    std::ofstream(server_->root() + "/uploadpic/" + name) << "GIF89a";
  const std::string css = cases.front().first;
  ASSERT_THAT(css, StartsWith("/css/front.css?v="));
  cases.insert(cases.end(), {{css + "&x=1", year}, {css.substr(0, css.size() - 1) + "0", hour},
                             {css.substr(0, css.find('?')), hour}, {"/favicon.ico", hour},
                             {"/uploadpic/" + hex + ".gif", year}, {"/uploadpic/" + hex + "-s.gif", year},
                             {"/uploadpic/c.gif", hour}});
  for (const auto& [target, lifetime] : cases) {
    HttpResponse r = ask(http, "GET", target);
    EXPECT_EQ(std::tie(r.status, r.headers["Cache-Control"]), std::make_tuple(200, lifetime)) << target;
  }
  // The style sheet rewritten: its link as the pages still write it gets the new bytes, for an hour.
  const std::string file = server_->root() + "/css/front.css", before = readFile(file);
  std::ofstream(file) << "body{}";
  HttpResponse stale = ask(http, "GET", css);
  EXPECT_EQ(std::tie(stale.status, stale.body, stale.headers["Cache-Control"]), std::make_tuple(200, "body{}", hour));
  std::ofstream(file) << before;
}

// Names resolve without regard to case; a folder redirects, other methods are refused. Outside the root, the database,
// page sources, hidden files, and in the upload folder anything but a picture (a page there would run, markup would
// pass for the site's): 404, nothing of it sent. (Every answer to the fuzz harnesses' requests is held to the same.)
TEST_F(ToviServe, WhatIsServedAndWhatIsNever) {
  const std::string root = server_->root(), secret = "TOVI-SECRET", uploads = root + "/uploadpic/", gif = "GIF89a";
  for (const std::string& folder : {root + "/.git", uploads + "Sub"}) fs::create_directories(folder);
  for (const char* name : {"../tovi-outside.txt", ".env", "old.mdb", "global.asa", ".git/config"})
    std::ofstream(root + "/" + name) << secret;
  for (const char* name : {"bad.asp", "Sub/bad.asp", "index.asp"}) fs::copy_file(root + "/test.asp", uploads + name);
  for (const char* name : {"bad.html", "bad.htm", "bad.svg", "bad.js", "bad.txt", "Sub/bad.html", "bad.jpg.html"})
    std::ofstream(uploads + name) << "<script>" << secret << "</script>";
  for (const char* name : {"dish.jpg", "dish.JPEG", "dish.png", "Sub/dish.gif"}) std::ofstream(uploads + name) << gif;
  HttpClient http(server_->port());
  for (const auto& [target, same] : std::map<std::string, std::string>{
           {"/TEST.ASP", "/test.asp"}, {"/Test.Asp?x=1", "/test.asp"}, {"/CSS/Style.CSS", "/css/style.css"},
           {"//css//style.css", "/css/style.css"}, {"/", "/index.asp"}}) {
    HttpResponse r = ask(http, "GET", target);
    EXPECT_EQ(std::tie(r.status, r.body), std::forward_as_tuple(200, ask(http, "GET", same).body)) << target;
  }
  HttpResponse dir = ask(http, "GET", "/admin?x=1"), put = ask(http, "PUT", "/test.asp");
  EXPECT_EQ(std::tie(dir.status, dir.headers["Location"]), std::forward_as_tuple(301, "/admin/?x=1"));
  EXPECT_EQ(std::tie(put.status, put.headers["Allow"]), std::forward_as_tuple(405, "GET, HEAD, POST"));
  for (const char* target :
       {"/uploadpic/dish.jpg", "/UploadPic/DISH.jpeg", "/uploadpic/dish.png", "/uploadpic/sub/dish.gif"}) {
    HttpResponse r = ask(http, "GET", target);
    EXPECT_EQ(std::tuple(r.status, r.body, r.headers["Content-Type"].substr(0, 6)), std::tuple(200, gif, "image/"))
        << target;
  }
  for (const char* target :
       {"/DATABASE/TAMLO.MDB", "/%64atabase/tamlo.mdb", "/Database/tamlo.mdb-wal", "/database/", "/database",
        "/../tovi-outside.txt", "/%2E%2E%2ftovi-outside.txt", "/admin/%2E%2E/%2e%2e/tovi-outside.txt",
        "/admin/..%2f..%2ftovi-outside.txt", "/..%5ctovi-outside.txt", "/admin%5c..%5c..%5ctovi-outside.txt",
        "/admin/../images/dot.gif", "/./test.asp", "/test.asp%00.txt", "/test.asp.", "/test.asp::$DATA", "/%2eenv",
        "/old.mdb", "/.git/config", "/%2egit/config", "/css/", "/UPLOADPIC/BAD.ASP", "/UploadPic/Sub/bad.asp",
        "/uploadpic/", "/uploadpic/index.asp", "/uploadpic/bad.html", "/uploadpic/bad.htm", "/UploadPic/bad.svg",
        "/uploadpic/bad.js", "/uploadpic/bad.txt", "/uploadpic/sub/BAD.HTML", "/uploadpic/bad.jpg.html",
        "/%75ploadpic/bad.asp", "/images/../uploadpic/bad.asp"}) {
    HttpResponse r = ask(http, "GET", target);
    EXPECT_EQ(r.status, 404) << target;
    EXPECT_THAT(r.body, Not(AnyOf(HasSubstr(secret), HasSubstr("1233"), HasSubstr("CreateObject")))) << target;
  }
  fs::remove(root + "/../tovi-outside.txt");
}

TEST_F(ToviServe, ManyIdleKeepAliveConnectionsDoNotStarveNewVisitors) {
  const std::string req = "GET /test.asp HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  auto oneMore = [&](int fd) {  // one request on an open connection; what came back
    char buf[512];
    ssize_t n = send(fd, req.data(), req.size(), MSG_NOSIGNAL) > 0 ? recv(fd, buf, sizeof buf, 0) : 0;
    return std::string(buf, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
  };
  std::vector<int> idle;
  for (int i = 0; i < 200; ++i) {
    idle.push_back(connectLoopback(server_->port()));
    ASSERT_NE(oneMore(idle.back()), "") << "connection " << i;
  }
  HttpClient http(server_->port());
  for (int i = 0; i < 20; ++i) EXPECT_EQ(http.get("/test.asp").body, "1233");
  EXPECT_THAT(oneMore(idle[7]), HasSubstr("1233"));  // the idle ones are still served too
  for (int fd : idle) close(fd);
}

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

// Through the server: the access log's address (the one the pages read, the login throttle's among them) and the
// session cookie's Secure follow the client only behind a trusted proxy. No HSTS without --https; a fixed code is
// warned of.
TEST(ForwardedOverHttp, BelievedOnlyFromATrustedPeer) {
  for (const bool trusted : {false, true}) {
    LiveServer server({.args = {"--fixed-code", "1234", "--trusted-proxy", trusted ? "127.0.0.1" : "192.0.2.4"}});
    HttpResponse code = HttpClient(server.port()).get(
        "/GetCode.asp", {{"X-Forwarded-For", "203.0.113.9"}, {"X-Forwarded-Proto", "https"}});
    const std::string cookie = code.headers["Set-Cookie"];
    EXPECT_EQ(std::tuple(cookie.substr(0, 12), cookie.find("; Secure") != std::string::npos,
                         code.headers.count("Strict-Transport-Security")),
              std::tuple("TOVISESSION=", trusted, 0u));
    server.stop();
    EXPECT_THAT(server.output(), AllOf(HasSubstr("fixed"), HasSubstr(trusted ? "\n203.0.113.9 [" : "\n127.0.0.1 [")));
  }
}

static std::set<std::string> namesIn(const std::string& folder) {
  std::set<std::string> out;
  for (const auto& e : fs::directory_iterator(folder)) out.insert(e.path().filename().string());
  return out;
}

// `tovi serve`, `backup` and `restore` with the database and the uploads apart from the root (a restore under orders
// and killed: tests/crash; the copy it keeps: the maintenance pages'): serve makes the database in the data folder
// and clears what killed backups and readers left, the server goes on in the restored one, a file that is no database
// of the site is refused without a change, and reading a copy leaves nothing beside it.
TEST(CommandLine, DataApartBackedUpAndRestoredBesideTheRunningServer) {
  char tmpl[] = "/tmp/tovi-data-XXXXXX";
  const std::string data = mkdtemp(tmpl), uploads = data + "/pictures", copy = data + "/copy.mdb";
  fs::create_directories(uploads);
  std::ofstream(uploads + "/dish.gif") << "GIF89a";
  fs::create_directories(data + "/backup");
  for (const char* name : {"tamlo-1.mdb.part", "tamlo-1.mdb.part-journal", "tamlo-2.mdb", "tamlo-2.mdb-shm"})
    std::ofstream(data + "/backup/" + name) << "x";
  std::ofstream(data + "/backup/tamlo-2.mdb-wal");  // empty: what a reader of a copy in WAL mode left
  {
    LiveServer server({.init = false, .args = {"--data", data, "--uploads", uploads}});
    EXPECT_EQ(HttpClient(server.port()).get("/UploadPic/dish.gif").body, "GIF89a");
    EXPECT_EQ(namesIn(data + "/backup"), std::set<std::string>{"tamlo-2.mdb"});
    auto tovi = [&](const std::string& command, const std::string& file) {
      return Process({command, "--root", server.root(), "--data", data, file}, data + "/command.log").wait();
    };
    auto order = [&](const std::string& remark) {
      const Fields form = {{"list", "宫保鸡丁 12元 X 1份=12元"}, {"list1", "12"}, {"yhm", "张三"}, {"telsss", "87001234"},
                           {"zffs", "餐到付费"}, {"addresss", "鼓楼区"}, {"qtbz", remark}, {"hours", "12"}, {"minutes", "30"}};
      HttpClient http(server.port());
      EXPECT_THAT(postOwn(http, "/dctj.asp", gbkForm(form)).text(), HasSubstr("订餐成功")) << remark;
    };
    const std::vector<std::string> restored = {"ok", "before", "restored"};  // after the integrity check's ok
    const std::string remarks = "pragma integrity_check; select qtbz from tdgl order by qtbz";
    order("before");
    std::ofstream(copy + ".part") << "being written";
    const int writing = open((copy + ".part").c_str(), O_RDONLY);  // locked as a backup still writing it holds it
    ASSERT_EQ(flock(writing, LOCK_EX), 0);
    EXPECT_NE(tovi("backup", copy), 0);
    EXPECT_EQ(readFile(copy + ".part"), "being written");
    close(writing);  // now left by a backup that is gone: started afresh
    EXPECT_EQ(tovi("backup", copy), 0);
    order("after");
    EXPECT_EQ(tovi("restore", copy), 0);
    order("restored");
    EXPECT_EQ(sqliteColumn(data + "/tamlo.mdb", remarks), restored);
    std::ofstream(copy + ".junk") << "not a database";
    fs::copy_file(copy, copy + ".part");  // sound, but a .part is never a backup
    for (const std::string& refused : {copy + ".junk", copy + ".part"}) EXPECT_NE(tovi("restore", refused), 0);
    EXPECT_EQ(sqliteColumn(data + "/tamlo.mdb", remarks), restored);
    EXPECT_EQ(namesIn(data).count("copy.mdb-wal") + namesIn(data).count("copy.mdb-shm"), 0u);
    // What the data folder holds instead of a database of the site stops the start, named, and is left as it was.
    const std::string other = data + "/other", file = other + "/tamlo.mdb";
    for (const auto& [bytes, found] : std::vector<std::pair<std::string, std::string>>{
             {std::string("\0\1\0\0Standard Jet DB\0", 20) + std::string(4096, 'j'), "not an SQLite file: it is a Jet"},
             {std::string(4096, 'z'), "not an SQLite file"},
             {"", "an SQLite file without this site's tables (it holds notes)"}}) {
      fs::create_directories(other);
      std::ofstream(file, std::ios::binary) << bytes;
      if (bytes.empty()) sqliteColumn(file, "create table notes (x)");
      const std::string before = readFile(file);
      Process serve({"serve", "--root", server.root(), "--data", other, "--port", "0"}, data + "/refused.log");
      EXPECT_EQ(serve.wait(), 1) << found;
      EXPECT_THAT(serve.output(), HasSubstr("will not start: " + file + " is " + found));
      EXPECT_EQ(std::tuple(readFile(file) == before, namesIn(other)),
                std::tuple(true, std::set<std::string>{"tamlo.mdb"}));
      fs::remove_all(other);
    }
  }
  fs::remove_all(data);
}
