#include "host/request_values.h"

#include "frame/text.h"
#include "host/gbk.h"

namespace tovi::host {
namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Calls fn(part) for each part of `s` between separators.
template <class Fn>
void splitEach(std::string_view s, char sep, Fn fn) {
  while (true) {
    std::size_t at = s.find(sep);
    fn(s.substr(0, at));
    if (at == std::string_view::npos) return;
    s.remove_prefix(at + 1);
  }
}

}  // namespace

std::string percentDecode(std::string_view raw, bool plusIsSpace) {
  std::string out;
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c == '%' && i + 2 < raw.size() && hexValue(raw[i + 1]) >= 0 && hexValue(raw[i + 2]) >= 0) {
      out += static_cast<char>(hexValue(raw[i + 1]) * 16 + hexValue(raw[i + 2]));
      i += 2;
    } else if (c == '+' && plusIsSpace) {
      out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

Pairs parsePairs(std::string_view raw) {
  Pairs out;
  splitEach(raw, '&', [&](std::string_view part) {
    if (part.empty()) return;
    std::size_t eq = part.find('=');
    std::string_view name = part.substr(0, eq);
    std::string_view value = eq == std::string_view::npos ? std::string_view() : part.substr(eq + 1);
    out.emplace_back(fromGbk(percentDecode(name, true)), fromGbk(percentDecode(value, true)));
  });
  return out;
}

std::string joined(const Pairs& pairs, std::string_view name, bool* found) {
  std::string out;
  bool any = false;
  for (const auto& [k, v] : pairs) {
    if (!frame::iequals(k, name)) continue;
    if (any) out += ", ";
    out += v;
    any = true;
  }
  if (found) *found = any;
  return out;
}

Pairs parseCookieHeader(std::string_view header) {
  Pairs out;
  splitEach(header, ';', [&](std::string_view part) {
    part = trimBlanks(part);
    if (part.empty()) return;
    std::size_t eq = part.find('=');
    if (eq == std::string_view::npos) return;
    std::string_view value = trimBlanks(part.substr(eq + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    out.emplace_back(std::string(trimBlanks(part.substr(0, eq))), std::string(value));
  });
  return out;
}

std::string cookieText(std::string_view raw) { return fromGbk(percentDecode(raw, true)); }

std::string cookieSubKey(std::string_view raw, std::string_view key) {
  std::string result;
  bool done = false;
  splitEach(raw, '&', [&](std::string_view part) {
    if (done) return;
    std::size_t eq = part.find('=');
    if (eq == std::string_view::npos) return;
    if (frame::iequals(cookieText(part.substr(0, eq)), key)) {
      result = cookieText(part.substr(eq + 1));
      done = true;
    }
  });
  return result;
}

}  // namespace tovi::host
