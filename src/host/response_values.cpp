#include "host/response_values.h"

#include <algorithm>
#include <ctime>

#include "host/gbk.h"
#include "host/request_values.h"
#include "host/static_files.h"

namespace tovi::host {
namespace {

std::string cookieDate(const data::DateTime& when) {
  std::tm tm{};
  tm.tm_year = when.year - 1900;
  tm.tm_mon = when.month - 1;
  tm.tm_mday = when.day;
  tm.tm_hour = when.hour;
  tm.tm_min = when.minute;
  tm.tm_sec = when.second;
  tm.tm_isdst = -1;
  return httpDate(std::mktime(&tm));
}

std::string cookiePart(std::string_view utf8) { return percentEncode(toGbk(utf8)); }

}  // namespace

std::string setCookieLine(std::string_view name, const frame::ResponseCookie& c) {
  std::string line = cookiePart(name) + "=";
  if (c.keys.empty()) {
    line += cookiePart(c.value);
  } else {
    bool first = true;
    for (const auto& [k, v] : c.keys) {
      if (!first) line += '&';
      line += cookiePart(k) + "=" + cookiePart(v);
      first = false;
    }
  }
  if (c.expires) line += "; expires=" + cookieDate(*c.expires);
  line += "; path=" + (c.path.empty() ? std::string("/") : c.path);
  if (c.httpOnly) line += "; HttpOnly";
  if (!c.sameSite.empty()) line += "; SameSite=" + c.sameSite;
  if (c.secure) line += "; Secure";
  return line;
}

std::string sessionCookieLine(std::string_view id, bool secure) {
  std::string line = std::string(kSessionCookie) + "=" + std::string(id) + "; Path=/; HttpOnly; SameSite=Lax";
  if (secure) line += "; Secure";
  return line;
}

std::string endedSessionCookieLine() {
  return std::string(kSessionCookie) + "=; Path=/; Max-Age=0; HttpOnly; SameSite=Lax";
}

std::string locationUrl(std::string_view url) {
  constexpr auto plain = [](unsigned char c) { return c > 0x20 && c < 0x80; };
  if (std::all_of(url.begin(), url.end(), plain)) return std::string(url);
  return percentEncodeUnless(isAscii(url) ? std::string(url) : toGbk(url), plain);
}

}  // namespace tovi::host
