// Order tokens: a token reads back only under its own key and for its own order; the cookie keeps the newest few.
#include "orders/order_token.h"
#include "support/testing.h"

using namespace tovi::orders;

TEST(OrderToken, ReadsBackOnlyUnderItsKeyAndTheCookieKeepsTheNewest) {
  const OrderKey key{1, 2, 3}, other{1, 2, 4};
  const std::string t7 = orderToken(key, 7), sig = t7.substr(2);
  EXPECT_EQ(tokenOrder(key, orderToken(key, 123456789012)), 123456789012);
  std::string changed = t7;
  changed[2] = changed[2] == 'A' ? 'B' : 'A';
  for (const std::string& bad :
       {orderToken(other, 7), "8." + sig, "07." + sig, changed, t7 + "A", t7.substr(0, 20), "-7." + sig, "." + sig,
        "7" + sig, std::string(""), std::string("7."), "99999999999999999999." + sig})
    EXPECT_EQ(tokenOrder(key, bad), std::nullopt) << bad;
  // Newest first, one token an order, garbage dropped, kKeptOrderTokens in all.
  EXPECT_EQ(withToken("", t7), t7);
  EXPECT_EQ(withToken("x~8.abc~" + t7 + "~~9.def", t7), t7 + "~8.abc~9.def");
  std::string held;
  for (int id = 1; id <= 50; ++id) held = withToken(held, orderToken(key, id));
  EXPECT_EQ(std::count(held.begin(), held.end(), '~') + 1, static_cast<long>(kKeptOrderTokens));
  EXPECT_TRUE(held.starts_with(orderToken(key, 50) + "~49."));
  EXPECT_TRUE(held.ends_with("~" + orderToken(key, 51 - kKeptOrderTokens)));
}
