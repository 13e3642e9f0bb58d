#include "orders/live_feed.h"

#include <memory>
#include <optional>
#include <set>

#include "data/connection.h"
#include "data/recordset.h"
#include "frame/admission.h"
#include "orders/live_board.h"

namespace tovi::orders {
namespace {

constexpr int kCatchUp = 500;                              // orders sent to a reconnecting screen at most
constexpr std::size_t kTracked = 2 * kBoardLimit;          // board orders whose status is watched

frame::Event orderEvent(const BoardOrder& o) { return {"order", o.id, orderJson(o), {}}; }

frame::Event statusEvent(std::int64_t id, int status) {
  return {"status", 0, "{\"id\":" + std::to_string(id) + ",\"status\":" + std::to_string(status) + "}", {}};
}

}  // namespace

LiveFeed::LiveFeed(std::string database, std::function<std::uint64_t()> changeStamp)
    : database_(std::move(database)), changeStamp_(std::move(changeStamp)) {}

frame::Admission LiveFeed::admit(const frame::StreamVisitor& visitor) {
  using Verdict = frame::Admission::Verdict;
  std::string account = visitor.session("admin").text();
  if (account.empty()) return {Verdict::NotLoggedIn, "", "not logged in", {}};
  std::optional<data::Value> held;
  if (auto it = accounts_.find(account); it != accounts_.end()) held = it->second;
  if (!frame::admitsBackOffice(frame::presentRight(visitor.session("flag"), held)))
    return {Verdict::Forbidden, "", "no right to the live screen", {}};
  return {Verdict::Admitted, account, "", {}};
}

// On a change of the database: the accounts read again, the new orders, the
// status moves of the board's orders and the ones deleted.
frame::Update LiveFeed::poll() {
  std::uint64_t stamp = changeStamp_();
  if (known_ && stamp == stamp_) return {};
  frame::Update update;
  update.changed = true;
  data::Connection conn;
  conn.Open("Data Source=" + database_);
  accounts_.clear();
  data::Recordset rs;
  rs.Open("select admin, flag from wq_admin", conn, data::adOpenKeyset, data::adLockReadOnly);
  rs.PageSize(1000);
  for (; !rs.Eof(); rs.MoveNext()) accounts_[rs("admin").text()] = rs("flag").value();
  rs.Close();
  if (!known_) {
    Board board = readBoard(conn, data::DateTime::now());
    lastSent_ = board.last;
    for (const BoardOrder& o : board.orders) tracked_[o.id] = o.status;
  } else {
    for (const BoardOrder& o : ordersAbove(conn, lastSent_, 0, kCatchUp)) {
      update.events.push_back(orderEvent(o));
      tracked_[o.id] = o.status;
      lastSent_ = std::max(lastSent_, o.id);
    }
    std::vector<std::int64_t> ids;
    for (auto& [id, status] : tracked_) ids.push_back(id);
    std::set<std::int64_t> present;
    for (auto [id, status] : statusesOf(conn, ids)) {
      present.insert(id);
      int& was = tracked_[id];
      if (was != status) update.events.push_back(statusEvent(id, status));
      was = status;
    }
    for (auto it = tracked_.begin(); it != tracked_.end();) {
      if (present.count(it->first)) {
        ++it;
        continue;
      }
      update.events.push_back(statusEvent(it->first, 0));
      it = tracked_.erase(it);
    }
    while (tracked_.size() > kTracked) tracked_.erase(tracked_.begin());
  }
  conn.Close();
  stamp_ = stamp;
  known_ = true;
  return update;
}

void LiveFeed::rest() {
  known_ = false;
  tracked_.clear();
}

std::vector<frame::Event> LiveFeed::since(std::int64_t lastId) {
  std::vector<frame::Event> out;
  if (lastId <= 0 || lastId >= lastSent_) return out;
  data::Connection conn;
  conn.Open("Data Source=" + database_);
  for (const BoardOrder& o : ordersAbove(conn, lastId, lastSent_, kCatchUp)) out.push_back(orderEvent(o));
  conn.Close();
  return out;
}

frame::EventStream liveEvents(std::string database, std::function<std::uint64_t()> changeStamp) {
  return {std::string(kLiveEventsPath), "order feed",
          std::make_shared<LiveFeed>(std::move(database), std::move(changeStamp))};
}

}  // namespace tovi::orders
