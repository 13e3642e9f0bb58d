// The site over HTTP, for the HTTP and crash tests: `tovi serve` on a free loopback port over a temporary copy of
// site/, an HTTP client that keeps cookies, its SQLite files read as another program would, and a demo site with its
// staff logged in whose refusals are checked against a snapshot of everything they must not change.
//
//   LiveServer server({.args = {"--fixed-code", "1234"}});  // server.kill9(); server.start(): the root outlives it
//   HttpResponse r = HttpClient(server.port()).post("/dctj.asp", gbkForm({{"yhm", "张三"}}));
//   struct Accounts : StaffedSite, ::testing::Test {};  // expectRefused({{&clerk, target, body, {"没有"}}})
#pragma once

#include <sys/types.h>
#include <sys/wait.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "accounts/passwords.h"
#include "data/connection.h"
#include "data/recordset.h"
#include "host/gbk.h"
#include "host/request_values.h"
#include "support/server_db.h"
#include "support/site_rows.h"
#include "support/testing.h"

namespace tovi::testing {

// A `tovi` command (or another `program`) in the background, both output streams into the file `log`.
class Process {
 public:
  Process(const std::vector<std::string>& args, std::string log, const char* program = TOVI_BINARY);
  ~Process() { kill9(); }
  Process(const Process&) = delete;

  bool kill9();  // SIGKILL, then waits; true when it was still running
  int stop();    // SIGTERM, then waits; the exit status
  // The exit status (128 + signal when killed).
  int wait() { return reap(0), status_; }
  bool exited() { return reap(WNOHANG); }  // without waiting
  std::string output() const;

 private:
  bool reap(int waitFlags);

  pid_t pid_ = -1;
  int status_ = -1;
  std::string log_;
};

class LiveServer {
 public:
  struct Options {
    // `tovi init --demo` first; `tovi init` first (else serve makes the database); serve at once (else at start())
    bool demo = false, init = true, serve = true;
    std::vector<std::string> args;  // more `tovi serve` arguments
  };
  explicit LiveServer(Options options);
  // Kills the server and removes the temporary root.
  ~LiveServer();

  // Serves the root (again); returns once listening, throws when the server
  // exits first or does not listen within 30 s.
  void start();
  int stop() { return process_ ? process_->stop() : -1; }
  bool kill9() { return process_ && process_->kill9(); }
  unsigned short port() const { return port_; }
  const std::string& root() const { return root_; }
  // The options that name this site to a `tovi` command, for a shell: --root (and --database).
  std::string siteOptions() const {
    return "--root '" + root_ + "'" + (db_.url().empty() ? "" : " --database '" + db_.url() + "'");
  }
  // The database file, or under the label postgresql the server database's URL.
  std::string databasePath() const { return db_.url().empty() ? root_ + "/database/tamlo.mdb" : db_.url(); }
  const std::string& initOutput() const { return initOutput_; }
  // What the last server printed so far: both streams (access and error log).
  std::string output() const { return process_ ? process_->output() : ""; }

 private:
  Options options_;
  ServerDb db_;
  std::string root_, initOutput_;
  unsigned short port_ = 0;
  std::unique_ptr<Process> process_;
};

struct HttpResponse {
  int status = 0;    // 0: no whole answer came (cut off, reset, timed out)
  bool sent = true;  // false: no connection could be made
  std::map<std::string, std::string, ILess> headers;  // last value of each
  std::string body;                                   // bytes as sent (GBK for pages)
  std::string text() const { return host::fromGbk(body); }  // the body decoded from GBK
};

class HttpClient {
 public:
  explicit HttpClient(unsigned short port) : port_(port) {}
  // Requests keep and send the cookies the server set (name=value only).
  HttpResponse get(const std::string& target, const std::map<std::string, std::string>& headers = {}) {
    return request("GET", target, "", headers);
  }
  HttpResponse post(const std::string& target, const std::string& body,
                    const std::string& contentType = "application/x-www-form-urlencoded",
                    std::map<std::string, std::string> headers = {}) {
    headers.emplace("Content-Type", contentType);
    return request("POST", target, body, headers);
  }
  // Any method, raw target (sent exactly as given).
  HttpResponse request(const std::string& method, const std::string& target, const std::string& body,
                       const std::map<std::string, std::string>& headers);
  std::map<std::string, std::string>& cookies() { return cookies_; }
  // "http://127.0.0.1:PORT", for Origin and Referer headers.
  std::string origin() const { return "http://127.0.0.1:" + std::to_string(port_); }

 private:
  unsigned short port_;
  std::map<std::string, std::string> cookies_;
};

// A socket connected to 127.0.0.1:port, with a 30 s receive timeout; -1 when the connection is refused.
int connectLoopback(unsigned short port);
// Sends `bytes` exactly as given on `fd` and returns everything the server sends back until it closes (for pipelining
// and framing tests), then closes `fd`; `*broken` when it ended in a reset or a timeout.
std::string exchange(int fd, const std::string& bytes, bool* broken = nullptr);

// UTF-8 -> GBK bytes as a browser sends them, and percent-encoding: the host's own (tests/host holds their bytes).
using host::percentEncode;
using host::toGbk;
// "a=1&b=2" from name/value pairs, each percent-encoded as given (encode to GBK first).
std::string formBody(const std::vector<std::pair<std::string, std::string>>& fields);

// A file's bytes ("" when it cannot be read).
std::string readFile(const std::string& path);
// The first column of every row the statements `sql` give, straight through SQLite on `file` ("" for NULL); throws.
// A postgresql:// `file`: through libpq, SQLite's printf read as PostgreSQL's format.
std::vector<std::string> sqliteColumn(const std::string& file, const std::string& sql);


// The site owner's password as `tovi init` (or serve, adding the owner) printed it in `output`; "" when none.
inline std::string printedPassword(const std::string& output) {
  auto at = output.rfind("password: ");
  return at == std::string::npos ? "" : output.substr(at + 10, output.find('\n', at) - at - 10);
}

// A form post from the site's own page.
inline HttpResponse postOwn(HttpClient& http, const std::string& target, const std::string& body) {
  return http.post(target, body, "application/x-www-form-urlencoded", {{"Origin", http.origin()}});
}

// The url-encoded body a gb2312 page posts for `fields` (UTF-8 text).
inline std::string gbkForm(Fields fields) {
  for (auto& [k, v] : fields) v = toGbk(v);
  return formBody(fields);
}
inline Fields withField(Fields fields, const std::string& field, const std::string& value) {
  for (auto& [k, v] : fields) v = k == field ? value : v;
  return fields;
}

// Fetches a code image, as the login page does, then posts the login form.
inline HttpResponse logIn(HttpClient& http, const std::string& name, const std::string& password) {
  EXPECT_EQ(http.get("/GetCode.asp").status, 200);
  return postOwn(http, "/admin/chkadmin.asp",
                 gbkForm({{"admin", name}, {"password", password}, {"verifycode", "1234"}, {"Submit2", "提交"}}));
}
// Field `field` of the first row `sql` selects from the server's database
// ("<none>" without a row), or with an empty `field` the number of rows.
inline std::string liveValue(const LiveServer& server, const data::Sql& sql, const std::string& field = "") {
  data::Connection conn;
  conn.Open("Data Source=" + server.databasePath());
  data::Recordset rs;
  rs.Open(sql, conn, data::adOpenKeyset, data::adLockReadOnly);
  return field.empty() ? std::to_string(rs.RecordCount()) : rs.Eof() ? "<none>" : rs(field).text();
}

// Runs one statement on the server's database file, as the operator's tools would.
inline void liveExec(const LiveServer& server, const data::Sql& sql) {
  data::Connection conn;
  conn.Open("Data Source=" + server.databasePath());
  conn.Execute(sql);
}

// A demo site with its staff logged in: the site owner "admin" (right 1),
// "clerk" (right 2) and "cook" (right 3), and a visitor who is nobody.
struct StaffedSite {
  LiveServer server{{.demo = true, .args = {"--fixed-code", "1234"}}};
  HttpClient owner = staff("admin", 1), clerk = staff("clerk", 2), cook = staff("cook", 3), visitor{server.port()};

  // A client logged in as `name` (the site owner "admin" with the password init printed).
  HttpClient staff(const std::string& name, int flag) {
    std::string password = name == "admin" ? printedPassword(server.initOutput()) : name + "-pass";
    if (name != "admin")
      liveExec(server, data::Sql("insert into wq_admin (admin, password, flag) values (?, ?, ?)",
                                 {name, accounts::hashPassword(password), flag}));
    HttpClient http(server.port());
    EXPECT_THAT(logIn(http, name, password).text(), HasSubstr("index.asp"));
    return http;
  }
  std::string id(const std::string& table, const std::string& key, const std::string& where) {
    return liveValue(server, "select * from " + table + " where " + where, key);
  }

  // Everything a refused request must leave as it was: accounts, members,
  // orders, messages, dishes, the bulletin, backups and uploaded pictures.
  std::string snapshot() {
    std::string out;
    for (const std::string& row : sqliteColumn(
             server.databasePath(),
             "select printf('%s|%s|%s|%s', adminid, admin, flag, password) from wq_admin; "
             "select printf('%s|%s|%s|%s', id, names, sh, password) from reg; "
             "select printf('%s|%s', id, dczt) from tdgl; select printf('%s|%s', id, jiage) from cygl; "
             "select printf('%s|%s|%s', ID, Comments, Replay) from Feedback; select content from bulletin"))
      out += row + "\n";
    std::error_code none;  // a folder not there holds nothing
    for (const char* folder : {"/database/backup", "/uploadpic"})
      for (const auto& e : std::filesystem::directory_iterator(server.root() + folder, none))
        out += e.path().filename().string() + "\n";
    return out;
  }

  // A request that must be refused: who sends it, where from, and the texts the answer holds.
  enum From { Site, OtherSite, OtherReferer, Nowhere };
  struct Ask {
    HttpClient* who;
    std::string target, body;
    std::vector<std::string> answer;
    From from = Site;
    bool get = false;
    std::string type = "application/x-www-form-urlencoded";
  };
  // Sends each (after a code image, for the forms that want one) and checks that nothing changed.
  void expectRefused(const std::vector<Ask>& asks) {
    const std::string before = snapshot();
    for (const Ask& a : asks) {
      SCOPED_TRACE(a.target + " " + a.body.substr(0, 100));
      const std::map<std::string, std::string> from[] = {
          {{"Origin", a.who->origin()}}, {{"Origin", "http://evil.example"}}, {{"Referer", "http://evil.example"}}, {}};
      a.who->get("/GetCode.asp");
      std::string text =
          (a.get ? a.who->get(a.target, from[a.from]) : a.who->post(a.target, a.body, a.type, from[a.from])).text();
      for (const std::string& want : a.answer) EXPECT_THAT(text, HasSubstr(want));
      EXPECT_EQ(snapshot(), before);
    }
  }
};

}  // namespace tovi::testing
