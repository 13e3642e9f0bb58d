// The order flood guard: at most so many storefront orders from one client
// address within a window of minutes (the operator's `order_flood_times` and
// `order_flood_time`, 30 in 10 by default, off with 0). It stands beside the
// per-browser limit of the "tamlo" cookie, which a script simply drops.
//
//   auto slot = flood.take(address, {30, 10 * 60}, now);   // dctj, before its filters
//   if (!slot) ... refuse, log, count
//   ... store the order ...
//   slot->keep();          // a slot not kept (a later refusal) goes back when it dies
//
// A window opens with an address's first order and lasts its seconds; only
// stored orders count, so a refusal (also the guard's own) never moves or
// fills it. The state sits behind OrderFlood: InProcessOrderFlood keeps it in
// this process (one server on the site's file), DatabaseOrderFlood in the
// site's database, so that several servers fill one window per address.
// Threads: every member may be called from any thread.
// Errors: the database kind throws data::Error when the database fails.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tovi::orders {

class OrderFlood {
 public:
  struct Limit {
    int orders = 30;                 // per address and window; 0 or less: no limit
    std::int64_t seconds = 10 * 60;  // 0 or less: no limit
  };

  // One order taken from an address's window: given back when it dies unkept.
  class Slot {
   public:
    Slot(OrderFlood* flood, std::string address, std::int64_t takenAt)
        : flood_(flood), address_(std::move(address)), takenAt_(takenAt) {}
    Slot(Slot&& other) noexcept : flood_(other.flood_), address_(std::move(other.address_)), takenAt_(other.takenAt_) {
      other.flood_ = nullptr;
    }
    Slot& operator=(Slot&&) = delete;
    ~Slot() {
      if (flood_) flood_->giveBack(address_, takenAt_);
    }
    void keep() { flood_ = nullptr; }

   private:
    OrderFlood* flood_;
    std::string address_;
    std::int64_t takenAt_;
  };

  virtual ~OrderFlood() = default;
  // Takes one order of `address`'s window at `now` (seconds on any steady
  // scale); nullopt when `limit.orders` are taken already. Always a slot when
  // the limit is off.
  [[nodiscard]] std::optional<Slot> take(std::string_view address, Limit limit, std::int64_t now);

 protected:
  // Counts one order of `address` at `now` unless its window is full; true when counted.
  virtual bool count(std::string_view address, Limit limit, std::int64_t now) = 0;
  // Uncounts an order counted at `takenAt`, unless its window has ended since.
  // Runs as a slot dies: throws nothing.
  virtual void giveBack(std::string_view address, std::int64_t takenAt) = 0;
};

// In this process, for the single-file site: at most `maxAddresses` windows
// are held, lapsed ones dropped first, then the oldest.
class InProcessOrderFlood final : public OrderFlood {
 public:
  explicit InProcessOrderFlood(std::size_t maxAddresses = 8192) : maxAddresses_(maxAddresses) {}

 protected:
  bool count(std::string_view address, Limit limit, std::int64_t now) override;
  void giveBack(std::string_view address, std::int64_t takenAt) override;

 private:
  struct Window {
    std::int64_t start = 0, end = 0;  // [start, end)
    int orders = 0;
  };
  void makeRoom(std::int64_t now);

  std::size_t maxAddresses_;
  std::mutex mutex_;
  std::unordered_map<std::string, Window> windows_;
};

// In the table tovi_flood of the database at `location` (a data source text):
// a row per address, each count one statement that reads and moves it at
// once, so servers counting together lose none and overfill no window. About
// `maxAddresses` rows are kept: lapsed ones go first, then the oldest.
class DatabaseOrderFlood final : public OrderFlood {
 public:
  explicit DatabaseOrderFlood(std::string location, std::size_t maxAddresses = 8192)
      : location_(std::move(location)), maxAddresses_(maxAddresses) {}

 protected:
  bool count(std::string_view address, Limit limit, std::int64_t now) override;
  void giveBack(std::string_view address, std::int64_t takenAt) override;

 private:
  void sweep(std::int64_t now);

  std::string location_;
  std::size_t maxAddresses_;
  std::atomic<std::int64_t> lastSweep_{0};
};

// The flood guard in the database `sharedState` when it is set
// (frame::Registry::sharedState), else in this process.
[[nodiscard]] std::shared_ptr<OrderFlood> makeOrderFlood(const std::string& sharedState);

}  // namespace tovi::orders
