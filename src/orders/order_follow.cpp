#include "orders/order_follow.h"

#include <memory>

#include "data/connection.h"
#include "data/recordset.h"
#include "frame/text.h"
#include "orders/order_page.h"

namespace tovi::orders {
namespace {

using Verdict = frame::Admission::Verdict;

constexpr std::size_t kIdsPerQuery = 500;  // well inside SQLite's limit on bound values

frame::Admission refused() { return {Verdict::Forbidden, "", "not your order", {}}; }

frame::Event statusEvent(long long id, int status) { return {"status", 0, statusJson(id, status), std::to_string(id)}; }

// The orders of `ids` that exist, each read once.
std::map<long long, OrderFollow::Order> readOrders(data::Connection& conn, const std::vector<long long>& ids) {
  std::map<long long, OrderFollow::Order> out;
  for (std::size_t from = 0; from < ids.size(); from += kIdsPerQuery) {
    std::string marks;
    std::vector<data::Value> params;
    for (std::size_t i = from; i < std::min(ids.size(), from + kIdsPerQuery); ++i) {
      marks += marks.empty() ? "?" : ",?";
      params.emplace_back(ids[i]);
    }
    data::Recordset rs;
    rs.Open({"select id, dczt, yhm from tdgl where id in (" + marks + ")", std::move(params)}, conn,
            data::adOpenForwardOnly, data::adLockReadOnly);
    for (; !rs.Eof(); rs.MoveNext())
      out[rs("id").value().toInteger()] = {shownStatus(rs("dczt").value()), rs("yhm").text()};
    rs.Close();
  }
  return out;
}

}  // namespace

OrderFollow::OrderFollow(std::string database, std::function<std::uint64_t()> changeStamp)
    : database_(std::move(database)), changeStamp_(std::move(changeStamp)) {}

frame::Admission OrderFollow::admit(const frame::StreamVisitor& visitor) {
  const std::optional<long> id = frame::positiveId(visitor.query("id"));
  if (!id) return refused();
  const std::string held = visitor.cookie(kOrderTokenCookie);
  auto it = orders_.find(*id);
  if (it == orders_.end() || (!held.empty() && !key_)) {
    data::Connection conn(database_);
    if (it == orders_.end()) {
      auto read = readOrders(conn, {*id});
      if (!read.empty()) it = orders_.insert(*read.begin()).first;
    }
    if (!held.empty() && !key_) key_ = siteOrderKey(conn);
    conn.Close();
    if (it == orders_.end()) return refused();
  }
  const bool placedHere = !held.empty() && heldOrders(*key_, held).count(*id) > 0;
  if (!mayFollow(placedHere, visitor.session("names").text(), it->second.name)) return refused();
  const std::string channel = std::to_string(*id);
  return {Verdict::Admitted, channel, "", channel};
}

// After a change of the database: each followed order read again, in one query.
frame::Update OrderFollow::poll() {
  const std::uint64_t stamp = changeStamp_();
  if (known_ && stamp == stamp_) return {};
  frame::Update update;
  if (!orders_.empty()) {
    std::vector<long long> ids;
    for (const auto& [id, order] : orders_) ids.push_back(id);
    data::Connection conn(database_);
    std::map<long long, Order> now = readOrders(conn, ids);
    conn.Close();
    for (auto it = orders_.begin(); it != orders_.end();) {
      auto found = now.find(it->first);
      if (found == now.end()) {
        update.events.push_back(statusEvent(it->first, 0));
        update.changed = true;  // its stream is refused from now on
        it = orders_.erase(it);
        continue;
      }
      if (found->second.status != it->second.status)
        update.events.push_back(statusEvent(it->first, found->second.status));
      it->second = std::move(found->second);
      ++it;
    }
  }
  stamp_ = stamp;
  known_ = true;
  return update;
}

std::vector<frame::Event> OrderFollow::since(std::int64_t) { return {}; }

void OrderFollow::rest() {
  known_ = false;
  orders_.clear();
  key_.reset();  // a restored database may hold another
}

void OrderFollow::follow(const std::set<std::string>& channels) {
  std::erase_if(orders_, [&channels](const auto& o) { return !channels.count(std::to_string(o.first)); });
}

frame::EventStream orderEvents(std::string database, std::function<std::uint64_t()> changeStamp) {
  return {std::string(kOrderEventsPath), "order status feed",
          std::make_shared<OrderFollow>(std::move(database), std::move(changeStamp))};
}

}  // namespace tovi::orders
