// What the crash tests stand on: a site folder that outlives its server, `tovi`
// runs that may be killed with SIGKILL at any moment, order clients that keep a
// ledger of what each order was answered, and a look into the SQLite file.
//
//   CrashSite site;
//   Process init({"init", "--root", site.root()}, site.log("init"));
//   init.wait();
//   auto server = std::make_unique<Server>(site);
//   Ledger ledger;
//   OrderClients clients(ledger, 8);
//   clients.aim(server->port());
//   ...
//   server->kill9();
//   OrderCheck check = checkOrders(ledger.attempts(), storedMarkers(site.database()));
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

struct sqlite3;

namespace tovi::crash {

using Clock = std::chrono::steady_clock;

// The random source of one test, seeded from TOVI_CRASH_SEED when set (to
// replay a failure) or at random; the seed is printed either way.
std::mt19937 seededRandom(const std::string& test);
int randomBetween(std::mt19937& random, int low, int high);

// A copy of the source tree's site/ without its database in a temporary
// folder (removed at the end), and the folder's log files.
class CrashSite {
 public:
  CrashSite();
  ~CrashSite();
  CrashSite(const CrashSite&) = delete;
  CrashSite& operator=(const CrashSite&) = delete;

  const std::string& root() const { return root_; }
  std::string database() const { return root_ + "/database/tamlo.mdb"; }
  std::string backupFolder() const { return root_ + "/database/backup"; }
  // A new log file path for a run called `name`.
  std::string log(const std::string& name);
  // Removes the database and its WAL, shared-memory and journal files.
  void removeDatabase() const;

 private:
  std::string dir_, root_;
  int logs_ = 0;
};

// A `tovi` command run in the background, its output (both streams) to a file.
class Process {
 public:
  Process(const std::vector<std::string>& args, std::string outputPath);
  ~Process();  // kills it when still running
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Kills with SIGKILL and waits; true when it was still running then.
  bool kill9();
  // SIGTERM, then waits; the exit status.
  int stop();
  // Waits for the end; the exit status (128 + signal when killed).
  int wait();
  // Whether it exited already (without waiting).
  bool exited();
  std::string output() const;

 private:
  pid_t pid_ = -1;
  int status_ = -1;
  std::string outputPath_;
};

// `tovi serve` over the site on a free loopback port, with the filters' and
// login code's test settings; the constructor returns once it listens and
// throws when it exits first or does not listen within 30 s.
class Server {
 public:
  explicit Server(CrashSite& site);
  unsigned short port() const { return port_; }
  bool kill9() { return process_.kill9(); }
  int stop() { return process_.stop(); }
  std::string output() const { return process_.output(); }

 private:
  Process process_;
  unsigned short port_ = 0;
};

// One exchange on a new loopback connection: whether the request got out,
// and whether the whole answer (as its Content-Length says) came back.
struct Answer {
  enum class Kind { NotSent, CutOff, Whole } kind = Kind::NotSent;
  int status = 0;
  std::string body;  // GBK bytes as sent
};
Answer ask(unsigned short port, const std::string& request);

// The storefront's order form as a browser posts it to dctj.asp, with
// `marker` as the order's remark (qtbz).
std::string orderRequest(unsigned short port, const std::string& marker);
// Whether `answer` is the storefront's success alert.
bool accepted(const Answer& answer);

// What each order was answered. Markers are unique.
struct Attempt {
  enum class Outcome { NotSent, CutOff, Refused, Accepted } outcome;
  std::string marker;
  Clock::time_point sent, answered;
};

class Ledger {
 public:
  void add(Attempt a);
  std::vector<Attempt> attempts() const;

 private:
  mutable std::mutex mutex_;
  std::vector<Attempt> attempts_;
};

// `n` clients ordering one after the other, each on a new connection to the
// port last given to aim(); orders that cannot connect are retried shortly
// after under a new marker.
class OrderClients {
 public:
  OrderClients(Ledger& ledger, int n);
  ~OrderClients();  // stops them
  void aim(unsigned short port) { port_.store(port); }
  void stop();

 private:
  std::atomic<unsigned short> port_{0};
  std::atomic<bool> stop_{false};
  std::vector<std::thread> threads_;
};

// A connection to a SQLite file for looking (and setting up the test).
class Db {
 public:
  explicit Db(const std::string& path);  // throws when it cannot be opened
  ~Db();
  Db(const Db&) = delete;
  Db& operator=(const Db&) = delete;
  void exec(const std::string& sql);
  // The first column of every row, as text ("" for NULL).
  std::vector<std::string> column(const std::string& sql);
  // PRAGMA integrity_check's lines joined: "ok" for a sound file.
  std::string integrity();

 private:
  std::string path_;
  ::sqlite3* db_ = nullptr;
};

// Each order remark in the file's tdgl with how often it is there.
std::map<std::string, int> storedMarkers(const std::string& database);

// The ledger held against the stored orders: every accepted order stored
// (in `stored` or in one of `elsewhere`, the copies a restore kept), none
// stored twice, none stored that never got out or was refused.
struct OrderCheck {
  long accepted = 0, cutOff = 0, notSent = 0, refused = 0;
  std::vector<std::string> problems;  // empty when the ledger holds
  std::string summary() const;
};
OrderCheck checkOrders(const std::vector<Attempt>& attempts, const std::map<std::string, int>& stored,
                       const std::vector<std::map<std::string, int>>& elsewhere = {});

}  // namespace tovi::crash
