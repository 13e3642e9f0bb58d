// Slows down guessing at the sign-ins (and floods at the guestbook): after too
// many failures from one address, or for one user name, within a window,
// further attempts are refused for a while, whatever they contain.
//
//   LoginThrottle throttle;                        // owned by a page's registration
//   if (throttle.refused(address, name, now)) ...  // answer "too many attempts"
//   throttle.failed(address, name, now);           // after a wrong code, name or password
//   throttle.succeeded(address, name);             // after a login
//
// State lives only in memory for the server's lifetime and is bounded: each of
// the two tables keeps at most `maxEntries` keys, dropping lapsed ones first,
// then the oldest. Times are seconds on any steady scale (the page clock).
// Threads: every member may be called from any thread.
#pragma once

#include <cstdint>
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

  LoginThrottle() : LoginThrottle(Limits{}) {}
  explicit LoginThrottle(Limits limits) : limits_(limits) {}

  // Whether an attempt now must be refused without looking at it.
  [[nodiscard]] bool refused(std::string_view address, std::string_view name, std::int64_t now);
  // Counts a failed attempt against the address and the name.
  void failed(std::string_view address, std::string_view name, std::int64_t now);
  // Forgets the failures of the name and the address.
  void succeeded(std::string_view address, std::string_view name);

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

}  // namespace tovi::accounts
