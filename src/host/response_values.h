// What an answer carries in its headers, written the way the site's GBK
// browsers read it back: Set-Cookie lines and Location URLs.
//
//   frame::ResponseCookie c;  c.set("name_time", "午饭");
//   setCookieLine("tamlo", c)            // "tamlo=name_time=%CE%E7%B7%B9; path=/"
//   locationUrl("./Index.asp?x=中")      // "./Index.asp?x=%D6%D0"
//   sessionCookieLine(id, true)          // "TOVISESSION=<id>; Path=/; HttpOnly; SameSite=Lax; Secure"
//
// Pure functions: safe from any thread.
#pragma once

#include <string>
#include <string_view>

#include "frame/host.h"

namespace tovi::host {

// The session cookie's name.
inline constexpr std::string_view kSessionCookie = "TOVISESSION";

// A page's cookie as a Set-Cookie value: name and value (or each sub-key and
// its value) as GBK, percent-encoded but for letters, digits and -_.~; then
// its expiry (the page's local time, sent as GMT) and path ("/" by default).
[[nodiscard]] std::string setCookieLine(std::string_view name, const frame::ResponseCookie& cookie);

// The session cookie that carries `id`; Secure when the client came over HTTPS.
[[nodiscard]] std::string sessionCookieLine(std::string_view id, bool secure);
// The Set-Cookie value that makes the browser forget the session cookie.
[[nodiscard]] std::string endedSessionCookieLine();

// A URL for a Location header: ASCII kept, other characters as percent-encoded
// GBK, blanks and control bytes percent-encoded (no header line can be split).
[[nodiscard]] std::string locationUrl(std::string_view url);

}  // namespace tovi::host
