// The real server for HTTP and crash tests: `tovi serve` on a free loopback
// port over a temporary copy of site/, a small HTTP client that keeps cookies,
// and a look into SQLite files as another program would take it.
//
//   LiveServer server({.args = {"--fixed-code", "1234"}});
//   HttpResponse r = HttpClient(server.port()).post("/dctj.asp", formBody({{"yhm", toGbk("张三")}}));
//   server.kill9();  server.start();  // the root outlives the process
#pragma once

#include <sys/types.h>
#include <sys/wait.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/gbk.h"
#include "host/request_values.h"
#include "support/fake_host.h"

namespace tovi::testing {

// A `tovi` command in the background, both output streams into the file `log`.
class Process {
 public:
  Process(const std::vector<std::string>& args, std::string log);
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
  std::string databasePath() const { return root_ + "/database/tamlo.mdb"; }
  const std::string& initOutput() const { return initOutput_; }
  // What the last server printed so far: both streams (access and error log).
  std::string output() const { return process_ ? process_->output() : ""; }

 private:
  Options options_;
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

// A socket connected to 127.0.0.1:port, with a 30 s receive timeout; -1
// when the connection is refused.
int connectLoopback(unsigned short port);
// Sends `bytes` exactly as given on the socket `fd` and returns everything the
// server sends back until it closes (for pipelining and framing tests), then
// closes `fd`; `*broken` when it ended in a reset or a timeout.
std::string exchange(int fd, const std::string& bytes, bool* broken = nullptr);

// UTF-8 -> GBK bytes, as a browser sends them: the host's own encoder, whose
// bytes tests/host holds against literal ones.
using host::toGbk;
// Percent-encodes bytes for a query string or a url-encoded form.
inline std::string urlEncode(const std::string& bytes) { return host::percentEncode(bytes); }
// "a=1&b=2" from name/value pairs, each percent-encoded as given (encode to GBK first).
std::string formBody(const std::vector<std::pair<std::string, std::string>>& fields);

// A file's bytes ("" when it cannot be read).
std::string readFile(const std::string& path);
// The first column of every row the statements `sql` give, straight through
// SQLite on `file` ("" for NULL); throws on any error.
std::vector<std::string> sqliteColumn(const std::string& file, const std::string& sql);

}  // namespace tovi::testing
