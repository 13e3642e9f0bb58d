#include "crash/crash_site.h"

#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "support/live_server.h"

namespace fs = std::filesystem;

namespace tovi::crash {

std::mt19937 seededRandom(const std::string& test) {
  unsigned seed = 0;
  if (const char* given = std::getenv("TOVI_CRASH_SEED"); given && *given)
    seed = static_cast<unsigned>(std::stoul(given));
  else
    seed = std::random_device{}();
  std::cout << "[crash] " << test << ": seed " << seed << " (replay with TOVI_CRASH_SEED=" << seed << ")" << std::endl;
  return std::mt19937(seed);
}

int randomBetween(std::mt19937& random, int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(random);
}

CrashSite::CrashSite() {
  char tmpl[] = "/tmp/tovi-crash-XXXXXX";
  if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
  dir_ = tmpl;
  root_ = dir_ + "/site";
  fs::path source = fs::path(TOVI_SOURCE_DIR) / "site";
  fs::create_directories(root_);
  for (auto it = fs::recursive_directory_iterator(source); it != fs::recursive_directory_iterator(); ++it) {
    fs::path rel = fs::relative(it->path(), source);
    if (rel.string().rfind("database", 0) == 0) continue;
    if (it->is_directory())
      fs::create_directories(fs::path(root_) / rel);
    else if (it->is_regular_file())
      fs::copy_file(it->path(), fs::path(root_) / rel);
  }
}

CrashSite::~CrashSite() {
  std::error_code ec;
  fs::remove_all(dir_, ec);
}

std::string CrashSite::log(const std::string& name) {
  return dir_ + "/" + name + "-" + std::to_string(++logs_) + ".log";
}

void CrashSite::removeDatabase() const {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) fs::remove(database() + suffix);
}

Process::Process(const std::vector<std::string>& args, std::string outputPath) : outputPath_(std::move(outputPath)) {
  std::vector<std::string> argv = {TOVI_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int out = open(outputPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, 1);
    dup2(out, 2);
    std::vector<char*> raw;
    for (const std::string& a : argv) raw.push_back(const_cast<char*>(a.c_str()));
    raw.push_back(nullptr);
    execv(raw[0], raw.data());
    _exit(127);
  }
  pid_ = pid;
}

Process::~Process() { kill9(); }

int Process::wait() {
  if (pid_ < 0) return status_;
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  return status_;
}

bool Process::exited() {
  if (pid_ < 0) return true;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
  pid_ = -1;
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  return true;
}

bool Process::kill9() {
  if (exited()) return false;
  kill(pid_, SIGKILL);
  wait();
  return true;
}

int Process::stop() {
  if (pid_ >= 0) kill(pid_, SIGTERM);
  return wait();
}

std::string Process::output() const {
  std::ifstream in(outputPath_, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

Server::Server(CrashSite& site)
    : process_({"serve", "--root", site.root(), "--port", "0", "--access-log", "-", "--fixed-code", "1234"},
               site.log("serve")) {
  static const std::regex listening(R"(listening on http://[^:]+:(\d+)/)");
  auto deadline = Clock::now() + std::chrono::seconds(30);
  while (true) {
    std::smatch m;
    std::string out = process_.output();
    if (std::regex_search(out, m, listening)) {
      port_ = static_cast<unsigned short>(std::stoi(m[1]));
      return;
    }
    if (process_.exited()) throw std::runtime_error("tovi serve exited before listening: " + out);
    if (Clock::now() > deadline) throw std::runtime_error("tovi serve did not start listening: " + out);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

Answer ask(unsigned short port, const std::string& request) {
  Answer a;
  int fd = testing::connectLoopback(port);
  if (fd < 0) return a;
  a.kind = Answer::Kind::CutOff;
  for (std::size_t sent = 0; sent < request.size();) {
    ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) {
      close(fd);
      return a;
    }
    sent += static_cast<std::size_t>(n);
  }
  std::string got;
  char buf[16384];
  ssize_t n;
  while ((n = recv(fd, buf, sizeof buf, 0)) > 0) got.append(buf, static_cast<std::size_t>(n));
  close(fd);
  if (n < 0) return a;  // reset or timed out
  std::size_t headEnd = got.find("\r\n\r\n");
  if (got.size() < 12 || got.rfind("HTTP/1.1 ", 0) != 0 || headEnd == std::string::npos) return a;
  static const std::regex length(R"(\r\nContent-Length: *(\d+))", std::regex::icase);
  std::smatch m;
  std::string head = got.substr(0, headEnd);
  if (!std::regex_search(head, m, length)) return a;
  std::size_t size = std::stoul(m[1]);
  if (got.size() - headEnd - 4 < size) return a;
  a.kind = Answer::Kind::Whole;
  a.status = std::stoi(got.substr(9, 3));
  a.body = got.substr(headEnd + 4, size);
  return a;
}

std::string orderRequest(unsigned short port, const std::string& marker) {
  using testing::toGbk;
  std::string body = testing::formBody({{"list", toGbk("⊕宫保鸡丁饭 12元 X 2份=24元 \r\n\r\n")},
                                        {"list1", "24"},
                                        {"yhm", toGbk("张三")},
                                        {"telsss", "13800000000"},
                                        {"zffs", toGbk("餐到付费")},
                                        {"addresss", toGbk("台江区五一路1号")},
                                        {"qtbz", marker},
                                        {"hours", "12"},
                                        {"minutes", "00"}});
  return "POST /dctj.asp HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
         "\r\nConnection: close\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

bool accepted(const Answer& answer) {
  static const std::string success = testing::toGbk("订餐成功！！我们会准时送到您的手中！！谢谢光临！！");
  return answer.kind == Answer::Kind::Whole && answer.status == 200 && answer.body.find(success) != std::string::npos;
}

void Ledger::add(Attempt a) {
  std::lock_guard lock(mutex_);
  attempts_.push_back(std::move(a));
}

std::vector<Attempt> Ledger::attempts() const {
  std::lock_guard lock(mutex_);
  return attempts_;
}

OrderClients::OrderClients(Ledger& ledger, int n) {
  for (int c = 0; c < n; ++c)
    threads_.emplace_back([this, &ledger, c] {
      for (long seq = 0; !stop_.load(); ++seq) {
        unsigned short port = port_.load();
        if (port == 0) {
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
          continue;
        }
        Attempt a{
            Attempt::Outcome::NotSent, "order-" + std::to_string(c) + "-" + std::to_string(seq), Clock::now(), {}};
        Answer answer = ask(port, orderRequest(port, a.marker));
        a.answered = Clock::now();
        a.outcome = answer.kind == Answer::Kind::NotSent  ? Attempt::Outcome::NotSent
                    : answer.kind == Answer::Kind::CutOff ? Attempt::Outcome::CutOff
                    : accepted(answer)                    ? Attempt::Outcome::Accepted
                                                          : Attempt::Outcome::Refused;
        ledger.add(a);
        if (answer.kind == Answer::Kind::NotSent) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    });
}

OrderClients::~OrderClients() { stop(); }

void OrderClients::stop() {
  stop_.store(true);
  for (std::thread& t : threads_)
    if (t.joinable()) t.join();
}

Db::Db(const std::string& path) : path_(path) {
  if (!fs::exists(path)) throw std::runtime_error("no database file " + path);
  int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
  if (rc != SQLITE_OK) {
    std::string msg = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    sqlite3_close_v2(db_);
    throw std::runtime_error("cannot open " + path + ": " + msg);
  }
  sqlite3_busy_timeout(db_, 10000);
}

Db::~Db() { sqlite3_close_v2(db_); }

void Db::exec(const std::string& sql) {
  char* err = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
    std::string msg = err ? err : sqlite3_errmsg(db_);
    sqlite3_free(err);
    throw std::runtime_error(path_ + ": " + msg + " in: " + sql);
  }
}

std::vector<std::string> Db::column(const std::string& sql) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
    throw std::runtime_error(path_ + ": " + sqlite3_errmsg(db_) + " in: " + sql);
  std::vector<std::string> out;
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    out.emplace_back(t ? t : "");
  }
  sqlite3_finalize(st);
  if (rc != SQLITE_DONE) throw std::runtime_error(path_ + ": " + sqlite3_errmsg(db_) + " in: " + sql);
  return out;
}

std::string Db::integrity() {
  std::string out;
  for (const std::string& line : column("pragma integrity_check")) out += (out.empty() ? "" : "\n") + line;
  return out;
}

std::map<std::string, int> storedMarkers(const std::string& database) {
  std::map<std::string, int> out;
  Db db(database);
  for (const std::string& m : db.column("select qtbz from tdgl")) ++out[m];
  return out;
}

OrderCheck checkOrders(const std::vector<Attempt>& attempts, const std::map<std::string, int>& stored,
                       const std::vector<std::map<std::string, int>>& elsewhere) {
  OrderCheck c;
  auto kept = [&](const std::string& marker) {
    for (const auto& copy : elsewhere)
      if (copy.count(marker)) return true;
    return false;
  };
  auto problem = [&](const std::string& text) {
    if (c.problems.size() < 20) c.problems.push_back(text);
  };
  for (const Attempt& a : attempts) {
    auto it = stored.find(a.marker);
    int times = it == stored.end() ? 0 : it->second;
    if (times > 1) problem(a.marker + " is stored " + std::to_string(times) + " times");
    switch (a.outcome) {
      case Attempt::Outcome::Accepted:
        ++c.accepted;
        if (times == 0 && !kept(a.marker)) problem(a.marker + " was accepted but is not stored");
        break;
      case Attempt::Outcome::CutOff:
        ++c.cutOff;
        break;
      case Attempt::Outcome::NotSent:
        ++c.notSent;
        if (times > 0) problem(a.marker + " never reached the server but is stored");
        break;
      case Attempt::Outcome::Refused:
        ++c.refused;
        if (times > 0) problem(a.marker + " was refused but is stored");
        break;
    }
  }
  return c;
}

std::string OrderCheck::summary() const {
  std::string s = std::to_string(accepted) + " accepted, " + std::to_string(cutOff) + " cut off, " +
                  std::to_string(refused) + " refused, " + std::to_string(notSent) + " not sent";
  for (const std::string& p : problems) s += "\n  " + p;
  return s;
}

}  // namespace tovi::crash
