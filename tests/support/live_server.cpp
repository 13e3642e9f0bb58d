#include "support/live_server.h"

#include <iconv.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <stdexcept>
#include <thread>

#include "frame/text.h"

namespace fs = std::filesystem;
using tovi::frame::asciiLower;

namespace tovi::testing {
namespace {

std::string convert(const std::string& text, const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  std::string out(text.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(text.data());
  char* dst = out.data();
  std::size_t inLeft = text.size(), dstLeft = out.size();
  std::size_t r = iconv(cd, &in, &inLeft, &dst, &dstLeft);
  iconv_close(cd);
  if (r == static_cast<std::size_t>(-1)) throw std::runtime_error(std::string("text cannot be converted to ") + to);
  out.resize(out.size() - dstLeft);
  return out;
}

}  // namespace

LiveServer::LiveServer(Options options) {
  char tmpl[] = "/tmp/tovi-live-XXXXXX";
  if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
  root_ = tmpl;
  // The web root without a database of its own: `tovi init` makes a fresh one.
  fs::copy(fs::path(TOVI_SOURCE_DIR) / "site", root_, fs::copy_options::recursive);
  fs::remove_all(root_ + "/database");
  // Our own binary and paths, and the tests' arguments: none holds a quote.
  auto quoted = [](const std::string& arg) { return " '" + arg + "'"; };
  const std::string tovi = quoted(TOVI_BINARY), root = quoted(root_);
  if (shell(tovi + " init --root" + root + (options.demo ? " --demo" : ""), &initOutput_) != 0)
    throw std::runtime_error("tovi init failed: " + initOutput_);

  std::string serve = "exec" + tovi + " serve --root" + root + " --port 0";
  for (const std::string& a : options.args) serve += quoted(a);
  serve += " >" + quoted(root_ + ".out") + " 2>" + quoted(root_ + ".err");
  const char* argv[] = {"/bin/sh", "-c", serve.c_str(), nullptr};
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
    throw std::runtime_error("posix_spawn failed");
  pid_ = pid;
  static const std::regex listening(R"(listening on http://[^:]+:(\d+)/)");
  for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);;) {
    std::smatch m;
    std::string out = output();
    if (std::regex_search(out, m, listening)) {
      port_ = static_cast<unsigned short>(std::stoi(m[1]));
      return;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      throw std::runtime_error("tovi serve exited before listening: " + out + errorLog());
    }
    if (std::chrono::steady_clock::now() > deadline) {
      stop();
      throw std::runtime_error("tovi serve did not start listening: " + out + errorLog());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

LiveServer::~LiveServer() {
  stop();
  std::error_code ec;
  fs::remove_all(root_, ec);
  fs::remove(root_ + ".err", ec);
  fs::remove(root_ + ".out", ec);
}

std::string LiveServer::output() const { return readFile(root_ + ".out"); }
std::string LiveServer::errorLog() const { return readFile(root_ + ".err"); }

int LiveServer::stop() {
  if (pid_ < 0) return -1;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

std::string HttpResponse::text() const { return convert(body, "UTF-8", "GBK"); }

std::string HttpClient::origin() const { return "http://127.0.0.1:" + std::to_string(port_); }

HttpResponse HttpClient::get(const std::string& target, const std::map<std::string, std::string>& headers) {
  return request("GET", target, "", headers);
}

HttpResponse HttpClient::post(const std::string& target, const std::string& body, const std::string& contentType,
                              const std::map<std::string, std::string>& headers) {
  std::map<std::string, std::string> h = headers;
  h.emplace("Content-Type", contentType);
  return request("POST", target, body, h);
}

HttpResponse HttpClient::request(const std::string& method, const std::string& target, const std::string& body,
                                 const std::map<std::string, std::string>& headers) {
  std::string req = method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port_) +
                    "\r\nConnection: close\r\n";
  bool hasCookieHeader = false;
  for (const auto& [k, v] : headers) {
    req += k + ": " + v + "\r\n";
    hasCookieHeader = hasCookieHeader || asciiLower(k) == "cookie";
  }
  std::string jar;
  for (const auto& [k, v] : cookies_) jar += (jar.empty() ? "" : "; ") + k + "=" + v;
  if (!jar.empty() && !hasCookieHeader) req += "Cookie: " + jar + "\r\n";
  if (!body.empty() || method == "POST") req += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  const std::string raw = exchangeRaw(port_, req + "\r\n" + body);

  HttpResponse r;
  std::size_t headEnd = raw.find("\r\n\r\n");
  if (headEnd == std::string::npos || raw.size() < 12)
    throw std::runtime_error("no HTTP answer: " + raw.substr(0, 200));
  r.status = std::stoi(raw.substr(9, 3));
  static const std::regex field(R"(\r\n([^:\r\n]+): *([^\r\n]*))");
  const std::string head = raw.substr(0, headEnd);
  for (std::sregex_iterator it(head.begin(), head.end(), field), end; it != end; ++it) {
    const std::string name = (*it)[1], value = (*it)[2];
    r.headers[name] = value;
    if (asciiLower(name) != "set-cookie") continue;
    r.setCookies.push_back(value);
    const std::string pair = value.substr(0, value.find(';'));
    const std::size_t eq = pair.find('=');
    if (eq == std::string::npos) continue;
    const std::string cname = pair.substr(0, eq), cvalue = pair.substr(eq + 1);
    if (cvalue.empty() || asciiLower(value).find("max-age=0") != std::string::npos) cookies_.erase(cname);
    else cookies_[cname] = cvalue;
  }
  const std::string rest = raw.substr(headEnd + 4);
  auto te = r.headers.find("Transfer-Encoding");
  if (te != r.headers.end() && asciiLower(te->second).find("chunked") != std::string::npos) {
    for (std::size_t pos = 0, eol; (eol = rest.find("\r\n", pos)) != std::string::npos;) {
      const std::size_t size = std::stoul(rest.substr(pos, eol - pos), nullptr, 16);
      if (size == 0) break;
      r.body += rest.substr(eol + 2, size);
      pos = eol + 4 + size;
    }
  } else if (auto cl = r.headers.find("Content-Length"); cl != r.headers.end()) {
    r.body = rest.substr(0, std::stoul(cl->second));
  } else {
    r.body = rest;
  }
  return r;
}

int connectLoopback(unsigned short port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  timeval tv{30, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) return fd;
  close(fd);
  return -1;
}

std::string exchangeRaw(unsigned short port, const std::string& bytes) {
  int fd = connectLoopback(port);
  if (fd < 0) throw std::runtime_error("connect failed");
  for (std::size_t sent = 0; sent < bytes.size();) {
    ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;  // the server may answer (413) before reading everything
    sent += static_cast<std::size_t>(n);
  }
  std::string got;
  char buf[16384];
  for (ssize_t n; (n = recv(fd, buf, sizeof buf, 0)) > 0;) got.append(buf, static_cast<std::size_t>(n));
  close(fd);
  return got;
}

std::string toGbk(const std::string& utf8) { return convert(utf8, "GBK", "UTF-8"); }

std::string urlEncode(const std::string& bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~')
      out += static_cast<char>(c);
    else
      out += {'%', kHex[c >> 4], kHex[c & 15]};
  }
  return out;
}

std::string formBody(const std::vector<std::pair<std::string, std::string>>& fields) {
  std::string out;
  for (const auto& [k, v] : fields) out += (out.empty() ? "" : "&") + urlEncode(k) + "=" + urlEncode(v);
  return out;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

int shell(const std::string& command, std::string* out) {
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) throw std::runtime_error("popen failed");
  std::string text;
  char buf[4096];
  for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
  if (out) *out = text;
  return pclose(p);
}

}  // namespace tovi::testing
