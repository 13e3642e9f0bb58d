// The event stream an order's own page (ddxx.asp, order_page.h) follows: the
// order's status, the moment the kitchen moves it.
//
//   options.streams.push_back(orders::orderEvents(site.database(), stamp));   // main's serve
//   GET /order_events?id=7                                                    // the page's script
//
// Events: "status" with statusJson() on the order's channel when its shown
// status moves, status 0 when the order was deleted (its stream then ends).
// Nothing is caught up on reconnecting: the page's script asks the status
// answer (ddzt.asp) each time its stream opens.
// Admission: as the page's: the browser holding the order's token (cookie
// kOrderTokenCookie) or the signed-in member of the order's contact name; 403
// for anyone else and for an id that names no order. Holder and channel: the id.
// Cost: the host polls it several times a second. It reads the database only
// once the change stamp has moved, and then every followed order in one query;
// admit() reads an order nobody follows yet, once. It forgets the orders no
// stream follows any more.
// Threads: as frame::EventSource (one caller at a time). Errors: data::Error
// from the data layer.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "frame/event_stream.h"
#include "orders/order_token.h"

namespace tovi::orders {

inline constexpr std::string_view kOrderEventsPath = "/order_events";

class OrderFollow final : public frame::EventSource {
 public:
  // `database`: the database file; `changeStamp`: its change stamp
  // (data/change_stamp.h), looked at on each poll.
  OrderFollow(std::string database, std::function<std::uint64_t()> changeStamp);

  frame::Admission admit(const frame::StreamVisitor& visitor) override;
  frame::Update poll() override;
  std::vector<frame::Event> since(std::int64_t lastId) override;
  void rest() override;
  void follow(const std::set<std::string>& channels) override;

  // An order as last read: its shown status and contact name.
  struct Order {
    int status = 1;
    std::string name;
  };

 private:
  std::string database_;
  std::function<std::uint64_t()> changeStamp_;
  std::optional<OrderKey> key_;
  bool known_ = false;  // stamp_ holds the stamp of the last poll
  std::uint64_t stamp_ = 0;
  std::map<long long, Order> orders_;  // the followed orders, by id
};

// The source as the host serves it, at kOrderEventsPath.
[[nodiscard]] frame::EventStream orderEvents(std::string database, std::function<std::uint64_t()> changeStamp);

}  // namespace tovi::orders
