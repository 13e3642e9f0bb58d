#include "support/over_http.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <stdexcept>
#include <thread>

#include "frame/text.h"

namespace fs = std::filesystem;
using tovi::frame::asciiLower;

namespace tovi::testing {

std::string exchange(int fd, const std::string& bytes, bool* broken) {
  for (std::size_t sent = 0; sent < bytes.size();) {
    ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;  // the server may answer (413) before reading everything
    sent += static_cast<std::size_t>(n);
  }
  std::string got;
  char buf[16384];
  ssize_t n;
  while ((n = recv(fd, buf, sizeof buf, 0)) > 0) got.append(buf, static_cast<std::size_t>(n));
  close(fd);
  if (broken) *broken = n < 0;
  return got;
}

Process::Process(const std::vector<std::string>& args, std::string log, const char* program) : log_(std::move(log)) {
  std::vector<char*> argv = {const_cast<char*>(program)};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t io;
  posix_spawn_file_actions_init(&io);
  posix_spawn_file_actions_addopen(&io, 1, log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&io, 1, 2);
  const int failed = posix_spawnp(&pid_, argv[0], &io, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&io);
  if (failed) throw std::runtime_error("posix_spawn failed");
}

bool Process::reap(int flags) {
  int status = 0;
  if (pid_ >= 0 && waitpid(pid_, &status, flags) == pid_) {
    pid_ = -1;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  return pid_ < 0;
}

bool Process::kill9() { return !exited() && (kill(pid_, SIGKILL), wait(), true); }

int Process::stop() {
  if (!exited()) kill(pid_, SIGTERM);
  return wait();
}

std::string Process::output() const { return readFile(log_); }

LiveServer::LiveServer(Options options) : options_(std::move(options)) {
  char tmpl[] = "/tmp/tovi-live-XXXXXX";
  if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
  root_ = tmpl;
  // The web root without a database of its own: `tovi init` makes a fresh one.
  fs::copy(fs::path(TOVI_SOURCE_DIR) / "site", root_, fs::copy_options::recursive);
  fs::remove_all(root_ + "/database");
  if (options_.init) {
    std::vector<std::string> args = {"init", "--root", root_};
    if (options_.demo) args.push_back("--demo");
    if (!db_.url().empty()) args.insert(args.end(), {"--database", db_.url()});
    Process init(args, root_ + ".init");
    if (init.wait() != 0) throw std::runtime_error("tovi init failed: " + init.output());
    initOutput_ = init.output();
  }
  if (options_.serve) start();
}

LiveServer::~LiveServer() {
  process_.reset();
  std::error_code ec;
  fs::remove_all(root_, ec);
  for (const char* log : {".init", ".log"}) fs::remove(root_ + log, ec);
}

void LiveServer::start() {
  std::vector<std::string> args = {"serve", "--root", root_, "--port", "0"};
  if (!db_.url().empty()) args.insert(args.end(), {"--database", db_.url()});
  args.insert(args.end(), options_.args.begin(), options_.args.end());
  process_.reset();
  process_ = std::make_unique<Process>(args, root_ + ".log");
  static const std::regex listening(R"(listening on http://[^:]+:(\d+)/)");
  for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);;) {
    std::smatch m;
    const std::string out = output();
    if (std::regex_search(out, m, listening)) {
      port_ = static_cast<unsigned short>(std::stoi(m[1]));
      return;
    }
    if (process_->exited()) throw std::runtime_error("tovi serve exited before listening: " + out);
    if (std::chrono::steady_clock::now() > deadline) throw std::runtime_error("tovi serve did not listen: " + out);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

HttpResponse HttpClient::request(const std::string& method, const std::string& target, const std::string& body,
                                 const std::map<std::string, std::string>& headers) {
  std::string req = method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port_) +
                    "\r\nConnection: close\r\n", jar;
  for (const auto& [k, v] : cookies_) jar += (jar.empty() ? "" : "; ") + k + "=" + v;
  std::map<std::string, std::string> all = headers;
  if (!jar.empty()) all.emplace("Cookie", jar);  // unless the test sends its own
  if (!body.empty() || method == "POST") all["Content-Length"] = std::to_string(body.size());
  for (const auto& [k, v] : all) req += k + ": " + v + "\r\n";
  HttpResponse r;
  const int fd = connectLoopback(port_);
  if (!(r.sent = fd >= 0)) return r;
  bool broken = false;
  const std::string raw = exchange(fd, req + "\r\n" + body, &broken);
  const std::size_t headEnd = raw.find("\r\n\r\n");
  if (headEnd == std::string::npos || !raw.starts_with("HTTP/1.1 ")) return r;
  static const std::regex field(R"(\r\n([^:\r\n]+): *([^\r\n]*))"), pair(R"(^([^=;]+)=([^;]*))");
  const std::string head = raw.substr(0, headEnd);
  for (std::sregex_iterator it(head.begin(), head.end(), field), end; it != end; ++it) {
    const std::string name = (*it)[1], value = (*it)[2];
    r.headers[name] = value;
    if (asciiLower(name) != "set-cookie") continue;
    std::smatch m;
    if (!std::regex_search(value, m, pair)) continue;
    cookies_[m[1]] = m[2];
    if (m[2].length() == 0 || asciiLower(value).find("max-age=0") != std::string::npos) cookies_.erase(m[1]);
  }
  // Whole: as many bytes as announced, or (none announced) up to a clean close.
  const std::string code = raw.substr(9, 3);
  auto length = r.headers.find("Content-Length");
  const bool announced = length != r.headers.end() && method != "HEAD" && code != "304";
  r.body = raw.substr(headEnd + 4, announced ? std::stoul(length->second) : std::string::npos);
  r.status = !broken && (!announced || r.body.size() == std::stoul(length->second)) ? std::stoi(code) : 0;
  return r;
}

int connectLoopback(unsigned short port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  timeval tv{30, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  sockaddr_in addr{.sin_family = AF_INET, .sin_port = htons(port), .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero{}};
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) return fd;
  close(fd);
  return -1;
}

std::string formBody(const std::vector<std::pair<std::string, std::string>>& fields) {
  std::string out;
  for (const auto& [k, v] : fields) out += (out.empty() ? "" : "&") + percentEncode(k) + "=" + percentEncode(v);
  return out;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> sqliteColumn(const std::string& file, const std::string& sql) {
  std::vector<std::string> out;
  if (file.starts_with("postgresql://")) {
    std::string text = std::regex_replace(sql, std::regex(R"(\bprintf\()"), "format(");
    for (std::size_t from = 0; from < text.size();) {
      std::size_t end = std::min(text.find(';', from), text.size());
      for (auto& v : serverColumn(file, text.substr(from, end - from))) out.push_back(std::move(v));
      from = end + 1;
    }
    return out;
  }
  sqlite3* db = nullptr;
  char* error = nullptr;
  int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  if (rc == SQLITE_OK) {
    sqlite3_busy_timeout(db, 10000);
    auto row = [](void* rows, int, char** values, char**) {
      static_cast<std::vector<std::string>*>(rows)->emplace_back(values[0] ? values[0] : "");
      return 0;
    };
    rc = sqlite3_exec(db, sql.c_str(), row, &out, &error);
  }
  const std::string why = error ? error : db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  sqlite3_free(error);
  sqlite3_close_v2(db);
  if (rc != SQLITE_OK) throw std::runtime_error(file + ": " + why + " in: " + sql);
  return out;
}

}  // namespace tovi::testing
