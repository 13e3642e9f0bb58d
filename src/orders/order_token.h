// Proof that a browser placed an order. When dctj.asp accepts an order it
// gives the browser the order's token: its id signed under the site's key
// (libsodium's crypto_auth, HMAC-SHA-512-256 cut to 128 bits), kept with the
// browser's other recent orders in the cookie "tovi_orders" (HttpOnly,
// SameSite=Lax, path /, six weeks; the 36 newest, newest first). A page then
// asks which orders the request's browser placed:
//
//   issueOrderToken(id);                          // dctj, once the order is stored
//   std::set<long long> mine = heldOrders();      // ckdd: checked once a request
//   if (mine.count(id)) ...                       // the order's own browser
//
// The key is 32 random bytes made on first use and kept in the database
// (`site_secret`), so every server of the site signs alike; it is never
// written anywhere else. Without it no token can be made, and the token of
// one order says nothing of another.
//
// Threads: the request-bound functions run inside a page (module1.h's
// context, the page's connection open); the pure ones anywhere. Database
// failures propagate.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace tovi::data {
class Connection;
}

namespace tovi::orders {

using OrderKey = std::array<unsigned char, 32>;
inline constexpr std::size_t kKeptOrderTokens = 36;

// The token of order `id` under `key`: "<id>.<signature in URL-safe base64>".
[[nodiscard]] std::string orderToken(const OrderKey& key, long long id);
// The order of a token made under `key`; nullopt for anything else (another
// key's or a changed signature, another id, a malformed text).
[[nodiscard]] std::optional<long long> tokenOrder(const OrderKey& key, std::string_view token);
// The cookie value with `token` first, then the tokens of `held` (a cookie
// value) for other orders, kKeptOrderTokens in all at most.
[[nodiscard]] std::string withToken(std::string_view held, const std::string& token);

// The site's key, made and stored on first use: through the page's
// connection, or through `db` outside a page.
[[nodiscard]] OrderKey siteOrderKey();
[[nodiscard]] OrderKey siteOrderKey(data::Connection& db);
// Gives the browser the token of order `id`, in front of those it holds.
void issueOrderToken(long long id);
// The orders whose valid tokens the request's browser holds; the second
// form reads a cookie value `held` of the site's key.
[[nodiscard]] std::set<long long> heldOrders();
[[nodiscard]] std::set<long long> heldOrders(const OrderKey& key, std::string_view held);

// The name of the cookie holding the tokens.
inline constexpr std::string_view kOrderTokenCookie = "tovi_orders";

}  // namespace tovi::orders
