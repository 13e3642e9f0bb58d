#include "data/value.h"

#include <charconv>
#include <cmath>
#include <ctime>
#include <limits>

namespace tovi::data {
namespace {

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

// Days since 0001-01-01 of a proleptic Gregorian date.
std::int64_t daysFromCivil(int y, int m, int d) {
  std::int64_t yy = y - 1;
  std::int64_t days = yy * 365 + yy / 4 - yy / 100 + yy / 400;
  static constexpr int kBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  days += kBefore[m - 1] + (m > 2 && isLeap(y) ? 1 : 0);
  return days + d - 1;
}

void civilFromDays(std::int64_t days, int& y, int& m, int& d) {
  // Walk 400-year cycles, then years; the ranges involved are small.
  std::int64_t cycles = days / 146097;
  days -= cycles * 146097;
  if (days < 0) {
    days += 146097;
    --cycles;
  }
  int year = static_cast<int>(cycles * 400) + 1;
  while (true) {
    int len = isLeap(year) ? 366 : 365;
    if (days < len) break;
    days -= len;
    ++year;
  }
  int month = 1;
  while (days >= daysInMonth(year, month)) {
    days -= daysInMonth(year, month);
    ++month;
  }
  y = year;
  m = month;
  d = static_cast<int>(days) + 1;
}

// Reads an unsigned decimal of 1..maxDigits digits at text[pos].
bool readNumber(std::string_view text, std::size_t& pos, int maxDigits, int& out) {
  std::size_t start = pos;
  int value = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && static_cast<int>(pos - start) < maxDigits) {
    value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  if (pos == start) return false;
  if (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') return false;  // too many digits
  out = value;
  return true;
}

bool readTime(std::string_view text, std::size_t& pos, DateTime& dt) {
  if (!readNumber(text, pos, 2, dt.hour)) return false;
  if (pos >= text.size() || text[pos] != ':') return false;
  ++pos;
  if (!readNumber(text, pos, 2, dt.minute)) return false;
  dt.second = 0;
  if (pos < text.size() && text[pos] == ':') {
    ++pos;
    if (!readNumber(text, pos, 2, dt.second)) return false;
  }
  return true;
}

std::string_view trimmed(std::string_view s) {
  auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; };
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

// A number written in plain decimal or exponent form: [sign] digits [. digits] [e [sign] digits].
bool looksNumeric(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t exp = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++exp;
    if (exp == 0) return false;
  }
  return i == s.size();
}

std::optional<double> parseDouble(std::string_view text) {
  std::string_view s = trimmed(text);
  if (!looksNumeric(s)) return std::nullopt;
  if (s.front() == '+') s.remove_prefix(1);
  double out = 0;
  auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  if (ec != std::errc() || ptr != s.data() + s.size() || !std::isfinite(out)) return std::nullopt;
  return out;
}

std::optional<std::int64_t> roundToInteger(double d) {
  double r = std::nearbyint(d);  // the default rounding mode sends halves to even
  if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) return std::nullopt;
  return static_cast<std::int64_t>(r);
}

std::optional<std::int64_t> integerOf(const Value& v) {
  return std::visit(
      [](const auto& x) -> std::optional<std::int64_t> {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, std::int64_t>) {
          return x;
        } else if constexpr (std::is_same_v<T, double>) {
          return roundToInteger(x);
        } else if constexpr (std::is_same_v<T, bool>) {
          return x ? 1 : 0;
        } else if constexpr (std::is_same_v<T, std::string>) {
          std::string_view s = trimmed(x);
          std::string_view digits = !s.empty() && s.front() == '+' ? s.substr(1) : s;
          if (isWholeNumber(digits)) {
            std::int64_t out = 0;
            auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), out);
            if (ec == std::errc() && ptr == digits.data() + digits.size()) return out;
          }
          if (auto d = parseDouble(s)) return roundToInteger(*d);
          return std::nullopt;
        } else {
          return std::nullopt;
        }
      },
      v.raw());
}

}  // namespace

DateTime DateTime::now() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::optional<DateTime> DateTime::parse(std::string_view text) {
  std::string_view s = trimmed(text);
  DateTime dt;
  std::size_t pos = 0;
  // Time only: the date part stays at the zero day, as the pages' language has it.
  std::size_t colon = s.find(':');
  std::size_t sep = s.find_first_of("-/");
  if (colon != std::string_view::npos && (sep == std::string_view::npos || sep > colon)) {
    if (!readTime(s, pos, dt) || pos != s.size()) return std::nullopt;
    return dt.valid() ? std::optional(dt) : std::nullopt;
  }
  if (!readNumber(s, pos, 4, dt.year) || pos >= s.size()) return std::nullopt;
  char dateSep = s[pos];
  if (dateSep != '-' && dateSep != '/') return std::nullopt;
  ++pos;
  if (!readNumber(s, pos, 2, dt.month) || pos >= s.size() || s[pos] != dateSep) return std::nullopt;
  ++pos;
  if (!readNumber(s, pos, 2, dt.day)) return std::nullopt;
  dt.hour = dt.minute = dt.second = 0;
  if (pos < s.size()) {
    if (s[pos] != ' ' && s[pos] != 'T') return std::nullopt;
    while (pos < s.size() && s[pos] == ' ') ++pos;
    if (pos < s.size() && s[pos] == 'T') ++pos;
    if (!readTime(s, pos, dt) || pos != s.size()) return std::nullopt;
  }
  return dt.valid() ? std::optional(dt) : std::nullopt;
}

bool DateTime::valid() const {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= daysInMonth(year, month) &&
         hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
}

std::string DateTime::iso() const {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
  return buf;
}

std::string DateTime::general() const {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d-%d-%d %d:%02d:%02d", year, month, day, hour, minute, second);
  return buf;
}

std::int64_t DateTime::serialSeconds() const {
  return daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

DateTime DateTime::fromSerialSeconds(std::int64_t seconds) {
  std::int64_t days = seconds / 86400;
  std::int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  DateTime dt;
  civilFromDays(days, dt.year, dt.month, dt.day);
  dt.hour = static_cast<int>(rest / 3600);
  dt.minute = static_cast<int>(rest / 60 % 60);
  dt.second = static_cast<int>(rest % 60);
  return dt;
}

DateTime DateTime::addSeconds(std::int64_t seconds) const { return fromSerialSeconds(serialSeconds() + seconds); }

int DateTime::weekday() const {
  // 0001-01-01 was a Monday.
  return static_cast<int>(daysFromCivil(year, month, day) % 7) + 1;
}

bool Value::blank() const {
  if (isEmpty() || isNull()) return true;
  const auto* s = std::get_if<std::string>(&v_);
  return s != nullptr && s->empty();
}

std::string Value::text() const {
  return std::visit(
      [](const auto& x) -> std::string {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, std::int64_t>) {
          return std::to_string(x);
        } else if constexpr (std::is_same_v<T, double>) {
          char buf[64];
          auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, x);
          return ec == std::errc() ? std::string(buf, ptr) : std::string();
        } else if constexpr (std::is_same_v<T, std::string>) {
          return x;
        } else if constexpr (std::is_same_v<T, DateTime>) {
          return x.general();
        } else if constexpr (std::is_same_v<T, bool>) {
          return x ? "True" : "False";
        } else {
          return {};
        }
      },
      v_);
}

bool Value::isNumeric() const {
  switch (kind()) {
    case Kind::Integer:
    case Kind::Decimal:
    case Kind::Boolean:
      return true;
    case Kind::Text:
      return parseDouble(std::get<std::string>(v_)).has_value();
    default:
      return false;
  }
}

std::int64_t Value::toInteger(std::int64_t fallback) const { return integerOf(*this).value_or(fallback); }

std::int32_t Value::toInt32(std::int32_t fallback) const {
  auto v = integerOf(*this);
  if (!v || *v < std::numeric_limits<std::int32_t>::min() || *v > std::numeric_limits<std::int32_t>::max())
    return fallback;
  return static_cast<std::int32_t>(*v);
}

double Value::toDouble(double fallback) const {
  switch (kind()) {
    case Kind::Integer:
      return static_cast<double>(std::get<std::int64_t>(v_));
    case Kind::Decimal:
      return std::get<double>(v_);
    case Kind::Boolean:
      return std::get<bool>(v_) ? 1 : 0;
    case Kind::Text:
      return parseDouble(std::get<std::string>(v_)).value_or(fallback);
    default:
      return fallback;
  }
}

bool Value::toBool() const {
  switch (kind()) {
    case Kind::Boolean:
      return std::get<bool>(v_);
    case Kind::Integer:
      return std::get<std::int64_t>(v_) != 0;
    case Kind::Decimal:
      return std::get<double>(v_) != 0;
    case Kind::Text: {
      std::string_view s = trimmed(std::get<std::string>(v_));
      if (s.size() == 4 && (s[0] | 0x20) == 't' && (s[1] | 0x20) == 'r' && (s[2] | 0x20) == 'u' &&
          (s[3] | 0x20) == 'e')
        return true;
      auto d = parseDouble(s);
      return d && *d != 0;
    }
    default:
      return false;
  }
}

std::optional<DateTime> Value::toDate() const {
  if (const auto* d = std::get_if<DateTime>(&v_)) return *d;
  if (const auto* s = std::get_if<std::string>(&v_)) return DateTime::parse(*s);
  return std::nullopt;
}

bool operator==(const Value& a, const Value& b) {
  auto ak = a.kind(), bk = b.kind();
  using K = Value::Kind;
  if ((ak == K::Integer || ak == K::Decimal) && (bk == K::Integer || bk == K::Decimal)) {
    if (ak == K::Integer && bk == K::Integer) return std::get<std::int64_t>(a.raw()) == std::get<std::int64_t>(b.raw());
    return a.toDouble() == b.toDouble();
  }
  return a.raw() == b.raw();
}

bool isWholeNumber(std::string_view text) {
  std::string_view digits = !text.empty() && text.front() == '-' ? text.substr(1) : text;
  if (digits.empty() || digits.size() > 19) return false;
  for (char c : digits)
    if (c < '0' || c > '9') return false;
  std::int64_t out = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && ptr == text.data() + text.size();
}

}  // namespace tovi::data
