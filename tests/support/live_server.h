// The real server for HTTP tests: `tovi serve` on a free loopback port over a
// temporary copy of site/, and a small HTTP client that keeps cookies.
//
//   LiveServer server({.demo = false, .args = {"--fixed-code", "1234"}});
//   HttpClient http(server.port());
//   HttpResponse r = http.get("/test.asp");
//   EXPECT_EQ(r.body, "1233");
//   r = http.post("/dctj.asp", formBody({{"yhm", toGbk("张三")}}));   // bytes as a browser sends them
#pragma once

#include <map>
#include <string>
#include <vector>

#include "support/fake_host.h"

namespace tovi::testing {

class LiveServer {
 public:
  struct Options {
    bool demo = false;               // `tovi init --demo` first
    std::vector<std::string> args;   // more `tovi serve` arguments
  };
  explicit LiveServer(Options options);
  // Stops the server (SIGTERM, waits) and removes the temporary root.
  ~LiveServer();
  LiveServer(const LiveServer&) = delete;
  LiveServer& operator=(const LiveServer&) = delete;

  unsigned short port() const { return port_; }
  const std::string& root() const { return root_; }
  std::string databasePath() const { return root_ + "/database/tamlo.mdb"; }
  const std::string& initOutput() const { return initOutput_; }
  // What the server wrote so far to standard output (its access log) and to
  // standard error (its error log).
  std::string output() const;
  std::string errorLog() const;
  // Sends SIGTERM and waits; returns the exit status.
  int stop();

 private:
  std::string root_, initOutput_;
  unsigned short port_ = 0;
  int pid_ = -1;
};

struct HttpResponse {
  int status = 0;
  std::map<std::string, std::string, ILess> headers;  // last value of each
  std::vector<std::string> setCookies;                // every Set-Cookie line
  std::string body;                                   // bytes as sent (GBK for pages)
  // The body decoded from GBK to UTF-8.
  std::string text() const;
};

class HttpClient {
 public:
  explicit HttpClient(unsigned short port) : port_(port) {}
  // Requests keep and send the cookies the server set (name=value only).
  HttpResponse get(const std::string& target, const std::map<std::string, std::string>& headers = {});
  HttpResponse post(const std::string& target, const std::string& body,
                    const std::string& contentType = "application/x-www-form-urlencoded",
                    const std::map<std::string, std::string>& headers = {});
  // Any method, raw target (sent exactly as given).
  HttpResponse request(const std::string& method, const std::string& target, const std::string& body,
                       const std::map<std::string, std::string>& headers);
  std::map<std::string, std::string>& cookies() { return cookies_; }
  // "http://127.0.0.1:PORT", for Origin and Referer headers.
  std::string origin() const;

 private:
  unsigned short port_;
  std::map<std::string, std::string> cookies_;
};

// A socket connected to 127.0.0.1:port, with a 30 s receive timeout; -1
// when the connection is refused.
int connectLoopback(unsigned short port);
// Sends `bytes` exactly as given on a new connection and returns everything
// the server sends back until it closes (for pipelining and framing tests).
std::string exchangeRaw(unsigned short port, const std::string& bytes);

// UTF-8 -> GBK bytes (tests build what a browser sends).
std::string toGbk(const std::string& utf8);
// Percent-encodes bytes for a query string or a url-encoded form.
std::string urlEncode(const std::string& bytes);
// "a=1&b=2" from name/value pairs, each percent-encoded as given (encode to GBK first).
std::string formBody(const std::vector<std::pair<std::string, std::string>>& fields);

// A file's bytes ("" when it cannot be read).
std::string readFile(const std::string& path);
// Runs a shell command line to its end; its exit status as pclose() gives it,
// and what it printed (both streams) in `*out`.
int shell(const std::string& command, std::string* out = nullptr);

}  // namespace tovi::testing
