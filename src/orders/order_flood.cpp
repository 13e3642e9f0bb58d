#include "orders/order_flood.h"

#include <algorithm>
#include <vector>

#include "data/connection.h"
#include "data/engine.h"

namespace tovi::orders {

std::optional<OrderFlood::Slot> OrderFlood::take(std::string_view address, Limit limit, std::int64_t now) {
  if (limit.orders <= 0 || limit.seconds <= 0) return Slot(nullptr, "", now);
  if (!count(address, limit, now)) return std::nullopt;
  return Slot(this, std::string(address), now);
}

bool InProcessOrderFlood::count(std::string_view address, Limit limit, std::int64_t now) {
  std::lock_guard lock(mutex_);
  auto it = windows_.find(std::string(address));
  if (it == windows_.end()) {
    makeRoom(now);
    it = windows_.emplace(std::string(address), Window{}).first;
  }
  Window& w = it->second;
  if (now >= w.end || now < w.start) w = Window{now, now + limit.seconds, 0};
  if (w.orders >= limit.orders) return false;
  ++w.orders;
  return true;
}

void InProcessOrderFlood::giveBack(std::string_view address, std::int64_t takenAt) {
  std::lock_guard lock(mutex_);
  auto it = windows_.find(std::string(address));
  if (it != windows_.end() && it->second.start <= takenAt && takenAt < it->second.end && it->second.orders > 0)
    --it->second.orders;
}

void InProcessOrderFlood::makeRoom(std::int64_t now) {
  if (windows_.size() < maxAddresses_) return;
  std::erase_if(windows_, [now](const auto& entry) { return entry.second.end <= now; });
  while (windows_.size() >= maxAddresses_)
    windows_.erase(std::min_element(windows_.begin(), windows_.end(),
                                    [](const auto& a, const auto& b) { return a.second.start < b.second.start; }));
}

namespace {

}  // namespace

bool DatabaseOrderFlood::count(std::string_view address, Limit limit, std::int64_t now) {
  sweep(now);
  data::Connection db(location_);
  const std::string key(address);
  for (int attempt = 0; attempt < 2; ++attempt) {
    // A place in the current window, or a lapsed window opened afresh; else a first order.
    if (db.Execute({"update tovi_flood set orders=orders+1 where k=? and start<=? and ends>? and orders<?",
                    {key, now, now, limit.orders}}) ||
        db.Execute({"update tovi_flood set start=?, ends=?, orders=1 where k=? and (ends<=? or start>?)",
                    {now, now + limit.seconds, key, now, now}}))
      return true;
    // A full window; or a row added by another server since the updates: looked at again.
    if (db.rows({"select count(*) from tovi_flood where k=?", {key}}).at(0).at(1).toInteger() > 0) continue;
    try {
      db.Execute(
          {"insert into tovi_flood (k, start, ends, orders) values (?, ?, ?, 1)", {key, now, now + limit.seconds}});
      return true;
    } catch (const data::Error&) {
      if (attempt > 0) throw;
    }
  }
  return false;
}

void DatabaseOrderFlood::giveBack(std::string_view address, std::int64_t takenAt) {
  // Called as a slot dies, so it throws nothing: a place not given back stays
  // taken until its window ends.
  try {
    data::Connection(location_).Execute({"update tovi_flood set orders=orders-1 where k=? and start<=? and ends>? and orders>0",
                           {std::string(address), takenAt, takenAt}});
  } catch (const data::Error&) {
  }
}

void DatabaseOrderFlood::sweep(std::int64_t now) {
  std::int64_t last = lastSweep_.load();
  if (now - last < 60 || !lastSweep_.compare_exchange_strong(last, now)) return;
  data::Connection db(location_);
  db.Execute({"delete from tovi_flood where ends<=?", {now}});
  std::vector<data::Row> edge =
      db.rows({"select start from tovi_flood order by start desc", {}}, static_cast<std::int64_t>(maxAddresses_));
  if (!edge.empty()) db.Execute({"delete from tovi_flood where start<=?", {edge[0][1]}});
}

std::shared_ptr<OrderFlood> makeOrderFlood(const std::string& sharedState) {
  if (sharedState.empty()) return std::make_shared<InProcessOrderFlood>();
  return std::make_shared<DatabaseOrderFlood>(sharedState);
}

}  // namespace tovi::orders
