// Slows down guessing at the sign-ins (and floods at the guestbook): after too
// many failures from one address, or for one user name, within a window,
// further attempts are refused for a while, whatever they contain.
//
//   auto throttle = makeLoginThrottle(registry.sharedState(), "operators");  // in a page's registration
//   if (throttle->refused(address, name, now)) ...  // answer "too many attempts"
//   throttle->failed(address, name, now);           // after a wrong code, name or password
//   throttle->succeeded(address, name);             // after a login
//
// Two kinds: InProcessLoginThrottle keeps the counts in memory for the
// server's lifetime (one server on the site's file); DatabaseLoginThrottle in
// the site's database, so that several servers count together. Either is
// bounded: each of the two tables (addresses, names) keeps about `maxEntries`
// keys, dropping lapsed ones first, then the oldest. Times are seconds on one
// scale for every server (the page clock).
// Threads: every member may be called from any thread.
// Errors: the database kind throws data::Error when the database fails.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tovi::accounts {

class LoginThrottle {
 public:
  struct Limits {
    int perAddress = 5;               // failures from one address ...
    int perName = 10;                 // ... or for one name ...
    std::int64_t window = 15 * 60;    // ... within this many seconds ...
    std::int64_t lockout = 15 * 60;   // ... refuse attempts for this long
    std::size_t maxEntries = 4096;    // keys kept per table
  };

  virtual ~LoginThrottle() = default;
  // Whether an attempt now must be refused without looking at it.
  [[nodiscard]] virtual bool refused(std::string_view address, std::string_view name, std::int64_t now) = 0;
  // Counts a failed attempt against the address and the name.
  virtual void failed(std::string_view address, std::string_view name, std::int64_t now) = 0;
  // Forgets the failures of the name and the address.
  virtual void succeeded(std::string_view address, std::string_view name) = 0;
};

class InProcessLoginThrottle final : public LoginThrottle {
 public:
  InProcessLoginThrottle() : InProcessLoginThrottle(Limits{}) {}
  explicit InProcessLoginThrottle(Limits limits) : limits_(limits) {}

  bool refused(std::string_view address, std::string_view name, std::int64_t now) override;
  void failed(std::string_view address, std::string_view name, std::int64_t now) override;
  void succeeded(std::string_view address, std::string_view name) override;
  // Keys held (for tests of the bound).
  [[nodiscard]] std::size_t size();

 private:
  struct Entry {
    int failures = 0;
    std::int64_t since = 0;        // first failure of the current window
    std::int64_t lockedUntil = 0;  // refused before this time
  };
  using Table = std::unordered_map<std::string, Entry>;

  bool locked(Table& table, const std::string& key, std::int64_t now);
  void count(Table& table, const std::string& key, int limit, std::int64_t now);
  void makeRoom(Table& table, std::int64_t now);

  Limits limits_;
  std::mutex mutex_;
  Table byAddress_, byName_;
};

// In the table tovi_throttle of the database at `location` (a data source
// text), under `scope` ("operators"): the throttles of several pages share
// the table apart. Each count is one statement that reads and moves the row
// at once, so servers counting together lose none.
class DatabaseLoginThrottle final : public LoginThrottle {
 public:
  DatabaseLoginThrottle(std::string location, std::string scope, Limits limits = {});

  bool refused(std::string_view address, std::string_view name, std::int64_t now) override;
  void failed(std::string_view address, std::string_view name, std::int64_t now) override;
  void succeeded(std::string_view address, std::string_view name) override;

 private:
  void count(const std::string& key, int limit, std::int64_t now);
  void sweep(std::int64_t now);

  std::string location_, scope_;
  Limits limits_;
  std::atomic<std::int64_t> lastSweep_{0};
};

// The throttle of `scope`: in the database `sharedState` when it is set
// (frame::Registry::sharedState), else in this process.
[[nodiscard]] std::shared_ptr<LoginThrottle> makeLoginThrottle(const std::string& sharedState, std::string scope,
                                                               LoginThrottle::Limits limits = {});

}  // namespace tovi::accounts
