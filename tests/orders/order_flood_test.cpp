// The order flood guard: stored orders fill an address's window, orders not kept go back, windows end, 0 is off; in
// this process or counted by two servers in one database.
#include <thread>

#include "orders/order_flood.h"
#include "support/shared_database.h"
#include "support/site_rows.h"
#include "support/testing.h"

using namespace tovi::orders;

// Two servers' guards: one in this process (a single server is both), or two on one database (GetParam()).
class Floods : public SharedDatabase {
 protected:
  std::array<std::shared_ptr<OrderFlood>, 2> nodes() {
    auto one = makeOrderFlood(GetParam() ? location() : "");
    return {one, GetParam() ? makeOrderFlood(location()) : one};
  }
};
INSTANTIATE_TEST_SUITE_P(InProcessAndDatabase, Floods, ::testing::Bool());

static bool stored(OrderFlood& flood, const char* address, std::int64_t now, OrderFlood::Limit limit) {
  auto slot = flood.take(address, limit, now);
  if (slot) slot->keep();
  return slot.has_value();
}

TEST_P(Floods, StoredOrdersFillTheWindowOthersGoBackOnEitherServer) {
  auto [a, b] = nodes();
  const OrderFlood::Limit two{2, 600};
  { auto refusedLater = a->take("a", two, 0); }  // dies unkept: a later check refused the order
  // (address, time, limit, taken): the window opens at 0, holds two until 600, then opens afresh; others count apart.
  using Case = std::tuple<const char*, int, OrderFlood::Limit, bool>;
  int n = 0;
  for (auto [address, now, limit, taken] : std::initializer_list<Case>{
           {"a", 1, two, true}, {"a", 2, two, true}, {"a", 599, two, false}, {"b", 3, two, true},
           {"a", 599, {0, 600}, true}, {"a", 599, {2, 0}, true}, {"a", 600, two, true}, {"a", 601, two, true},
           {"a", 602, two, false}})
    EXPECT_EQ(stored(++n % 2 ? *a : *b, address, now, limit), taken) << address << " at " << now;
  // Two servers taking at once overfill nothing: of twenty orders from two threads, five fit a window of five.
  std::atomic<int> taken{0};
  {
    std::jthread first([&] { for (int i = 0; i < 10; ++i) taken += stored(*a, "c", 700, {5, 600}); });
    for (int i = 0; i < 10; ++i) taken += stored(*b, "c", 700, {5, 600});
  }
  EXPECT_EQ(taken.load(), 5);
}

// Two windows held at most: a new address drops lapsed ones, then the oldest ("a", full until 600), which so starts
// afresh.
TEST(OrderFlood, HoldsAtMostItsWindowsInProcess) {
  InProcessOrderFlood flood(2);
  const OrderFlood::Limit one{1, 600};
  EXPECT_TRUE(stored(flood, "a", 0, one) && stored(flood, "b", 1, one) && stored(flood, "c", 2, one));
  EXPECT_TRUE(stored(flood, "a", 3, one));
}
