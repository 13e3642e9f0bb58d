// The kitchen screen's live feed (admin/live.asp follows it): the events of
// the orders in tdgl, offered to the host as an event stream.
//
//   options.streams.push_back(orders::liveEvents(site.database(), stamp));   // main's serve
//
// Events:  "order" with the order id as event id and the order as JSON
//          (live_board.h) for every order committed to tdgl, by this process
//          or any other; "status" with {"id","status"} when a board order's
//          status moves (status 0: the order was deleted). A reconnecting
//          screen gets the orders above its last id (500 at most).
// Admission: the session's account ("admin") must hold right 1 or 2 as the
// back-office guards read it (frame/admission.h), against wq_admin as last
// read: 401 without a login, 403 otherwise. The accounts are read again at
// each change of the database, so a screen ends soon after its account is
// demoted or deleted.
// Threads: as frame::EventSource (one caller at a time). Errors: data::Error
// from the data layer.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "frame/event_stream.h"

namespace tovi::orders {

inline constexpr std::string_view kLiveEventsPath = "/admin/live_events";

class LiveFeed final : public frame::EventSource {
 public:
  // `database`: the database file; `changeStamp`: its change stamp
  // (data/change_stamp.h), looked at on each poll.
  LiveFeed(std::string database, std::function<std::uint64_t()> changeStamp);

  frame::Admission admit(const frame::StreamVisitor& visitor) override;
  frame::Update poll() override;
  std::vector<frame::Event> since(std::int64_t lastId) override;
  // With no screen open the board is not followed: it is read afresh for the next one.
  void rest() override;

 private:
  std::string database_;
  std::function<std::uint64_t()> changeStamp_;
  bool known_ = false;  // the board has been read once
  std::uint64_t stamp_ = 0;
  std::int64_t lastSent_ = 0;
  std::map<std::int64_t, int> tracked_;                 // board orders and their statuses as last sent
  std::map<std::string, data::Value> accounts_;         // wq_admin: account -> right
};

// The feed as the host serves it, at kLiveEventsPath.
[[nodiscard]] frame::EventStream liveEvents(std::string database, std::function<std::uint64_t()> changeStamp);

}  // namespace tovi::orders
