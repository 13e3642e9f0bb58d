#include "orders/order_flood.h"

#include <algorithm>

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

}  // namespace tovi::orders
