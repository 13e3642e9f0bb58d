// The order flood guard: stored orders fill an address's window, orders not kept go back, windows end, 0 is off.
#include "orders/order_flood.h"
#include "support/testing.h"

using namespace tovi::orders;

TEST(OrderFlood, StoredOrdersFillTheWindowOthersGoBack) {
  InProcessOrderFlood flood(2);
  const OrderFlood::Limit two{2, 600};
  auto stored = [&](const char* address, std::int64_t now, OrderFlood::Limit limit) {
    auto slot = flood.take(address, limit, now);
    if (slot) slot->keep();
    return slot.has_value();
  };
  { auto refusedLater = flood.take("a", two, 0); }  // dies unkept: a later check refused the order
  // (address, time, limit, taken): the window opens at 0, holds two until 600, then opens afresh; others count apart.
  using Case = std::tuple<const char*, int, OrderFlood::Limit, bool>;
  for (auto [address, now, limit, taken] : std::initializer_list<Case>{
           {"a", 1, two, true}, {"a", 2, two, true}, {"a", 599, two, false}, {"b", 3, two, true},
           {"a", 599, {0, 600}, true}, {"a", 599, {2, 0}, true}, {"a", 600, two, true}, {"a", 601, two, true},
           {"a", 602, two, false}})
    EXPECT_EQ(stored(address, now, limit), taken) << address << " at " << now;
  // Two windows held at most: a new address drops lapsed ones, then the oldest ("a", full until 1200), which so
  // starts afresh.
  EXPECT_TRUE(stored("c", 603, two) && stored("b", 604, two));
  EXPECT_TRUE(stored("a", 605, two));
}
