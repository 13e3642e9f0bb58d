#include "orders/order_token.h"

#include <sodium.h>

#include <charconv>
#include <stdexcept>

#include "data/connection.h"
#include "data/recordset.h"
#include "frame/host.h"
#include "frame/http_details.h"
#include "frame/module1.h"

namespace tovi::orders {
namespace {

using namespace frame::Module1;

constexpr std::string_view kCookie = kOrderTokenCookie;
constexpr int kCookieDays = 42;
constexpr std::size_t kSignatureBytes = 16;  // of crypto_auth's 32: unguessable, and a short cookie
constexpr std::size_t kSignatureChars = 22;  // kSignatureBytes in base64 without padding
constexpr std::size_t kIdDigits = 18;

void startSodium() {
  if (sodium_init() < 0) throw std::runtime_error("libsodium could not start");
}

std::array<unsigned char, crypto_auth_BYTES> mac(const OrderKey& key, long long id) {
  static_assert(crypto_auth_KEYBYTES == std::tuple_size_v<OrderKey>);
  const std::string message = "order " + std::to_string(id);
  std::array<unsigned char, crypto_auth_BYTES> out{};
  crypto_auth(out.data(), reinterpret_cast<const unsigned char*>(message.data()), message.size(), key.data());
  return out;
}

// The id of a token's "<id>." part: digits without a leading zero.
std::optional<long long> idPart(std::string_view token) {
  std::size_t dot = token.find('.');
  if (dot == 0 || dot == std::string_view::npos || dot > kIdDigits || token[0] == '0') return std::nullopt;
  long long id = 0;
  auto [end, ec] = std::from_chars(token.data(), token.data() + dot, id);
  if (ec != std::errc() || end != token.data() + dot) return std::nullopt;
  return id;
}

}  // namespace

std::string orderToken(const OrderKey& key, long long id) {
  startSodium();
  const auto full = mac(key, id);
  char b64[sodium_base64_ENCODED_LEN(kSignatureBytes, sodium_base64_VARIANT_URLSAFE_NO_PADDING)];
  sodium_bin2base64(b64, sizeof b64, full.data(), kSignatureBytes, sodium_base64_VARIANT_URLSAFE_NO_PADDING);
  return std::to_string(id) + "." + b64;
}

std::optional<long long> tokenOrder(const OrderKey& key, std::string_view token) {
  const std::optional<long long> id = idPart(token);
  if (!id) return std::nullopt;
  const std::string_view signature = token.substr(token.find('.') + 1);
  if (signature.size() != kSignatureChars) return std::nullopt;
  startSodium();
  unsigned char given[kSignatureBytes];
  std::size_t length = 0;
  if (sodium_base642bin(given, sizeof given, signature.data(), signature.size(), nullptr, &length, nullptr,
                        sodium_base64_VARIANT_URLSAFE_NO_PADDING) != 0 ||
      length != kSignatureBytes)
    return std::nullopt;
  const auto full = mac(key, *id);
  if (sodium_memcmp(given, full.data(), kSignatureBytes) != 0) return std::nullopt;
  return id;
}

std::string withToken(std::string_view held, const std::string& token) {
  const std::optional<long long> id = idPart(token);
  std::string out = token;
  std::size_t kept = 1;
  for (std::size_t pos = 0; pos <= held.size() && kept < kKeptOrderTokens;) {
    std::size_t end = std::min(held.find('~', pos), held.size());
    std::string_view piece = held.substr(pos, end - pos);
    pos = end + 1;
    std::optional<long long> other = idPart(piece);
    if (!other || other == id || piece.size() > kIdDigits + 1 + kSignatureChars) continue;
    out.append("~").append(piece);
    ++kept;
  }
  return out;
}

OrderKey siteOrderKey() { return siteOrderKey(*conn()); }

OrderKey siteOrderKey(data::Connection& db) {
  startSodium();
  auto stored = [&db] {
    data::Recordset rs;  // its own: the page's shared record set may be open
    rs.Open("select order_key from site_secret", db, data::adOpenKeyset, data::adLockReadOnly);
    std::string hex = rs.Eof() ? "" : rs("order_key").text();
    rs.Close();
    return hex;
  };
  std::string hex = stored();
  if (hex.empty()) {
    // Only the first of several servers making a key at once stores it; all then read that one.
    OrderKey made;
    randombytes_buf(made.data(), made.size());
    char text[2 * crypto_auth_KEYBYTES + 1];
    sodium_bin2hex(text, sizeof text, made.data(), made.size());
    db.Execute({"update site_secret set order_key=? where order_key='' or order_key is null", {std::string(text)}});
    sodium_memzero(text, sizeof text);
    hex = stored();
  }
  OrderKey key;
  std::size_t length = 0;
  if (sodium_hex2bin(key.data(), key.size(), hex.data(), hex.size(), nullptr, &length, nullptr) != 0 ||
      length != key.size())
    throw std::runtime_error("site_secret: the order key is missing or damaged");
  return key;
}

void issueOrderToken(long long id) {
  frame::ResponseCookie& cookie = Response().Cookies(kCookie);
  cookie.value = withToken(Request().Cookies(kCookie), orderToken(siteOrderKey(), id));
  cookie.path = "/";
  cookie.expires = Now().addDays(kCookieDays);
  cookie.httpOnly = true;
  cookie.sameSite = "Lax";
  frame::HttpDetails* http = frame::pageContext().mys->http();
  cookie.secure = http && http->secure();
}

std::set<long long> heldOrders() {
  const std::string held = Request().Cookies(kCookie);
  return held.empty() ? std::set<long long>{} : heldOrders(siteOrderKey(), held);
}

std::set<long long> heldOrders(const OrderKey& key, std::string_view held) {
  std::set<long long> out;
  std::size_t count = 0;
  for (std::size_t pos = 0; pos <= held.size() && count < kKeptOrderTokens; ++count) {
    std::size_t end = std::min(held.find('~', pos), held.size());
    if (std::optional<long long> id = tokenOrder(key, held.substr(pos, end - pos))) out.insert(*id);
    pos = end + 1;
  }
  return out;
}

}  // namespace tovi::orders
