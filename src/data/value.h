// Field values, request values held in the session, and the date-times of the site.
//
// A Value is what a record-set field or a session key holds: nothing yet (Empty),
// an SQL NULL, a whole number, a decimal, a text, a date-time or a logical. Texts
// are UTF-8. The conversions follow what the pages need of them: text() is how a
// value is written into a page, toInteger() how an id or a setting is read.
//
//   data::Value v = rs("jiage");
//   double price = v.toDouble();          // "8.5" -> 8.5
//   response.Write(v.text());             // as stored
//
// Values are plain data: copy them freely, share none between threads.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace tovi::data {

// A calendar date and wall-clock time, no time zone: the site runs on the
// server's local time, as the order table's date parts do.
struct DateTime {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;

  // The server's local date and time now.
  static DateTime now();
  // Reads "2024-3-9 10:00:00", "2024-03-09 10:00", "2024/3/9", "2024-03-09T10:00:00"
  // and "10:00:00" forms. Empty when the text is no valid date-time (31 February).
  static std::optional<DateTime> parse(std::string_view text);
  // Whether the parts form a real date-time.
  [[nodiscard]] bool valid() const;

  // "2024-03-09 10:00:00": how date-times are stored and compared in SQL.
  [[nodiscard]] std::string iso() const;
  // "2024-3-9 10:00:00": the general text form the pages show (no leading zeros
  // in the date, seconds always written).
  [[nodiscard]] std::string general() const;

  // Seconds since 0001-01-01 00:00:00, for differences.
  [[nodiscard]] std::int64_t serialSeconds() const;
  static DateTime fromSerialSeconds(std::int64_t seconds);
  [[nodiscard]] DateTime addSeconds(std::int64_t seconds) const;
  [[nodiscard]] DateTime addDays(int days) const { return addSeconds(std::int64_t{days} * 86400); }
  // 1 = Monday ... 7 = Sunday.
  [[nodiscard]] int weekday() const;

  friend auto operator<=>(const DateTime&, const DateTime&) = default;
  friend bool operator==(const DateTime&, const DateTime&) = default;
};

struct SqlNull {
  friend bool operator==(SqlNull, SqlNull) { return true; }
};

class Value {
 public:
  enum class Kind { Empty, Null, Integer, Decimal, Text, Date, Boolean };

  Value() = default;  // Empty
  Value(int v) : v_(std::int64_t{v}) {}
  Value(long v) : v_(std::int64_t{v}) {}
  Value(long long v) : v_(std::int64_t{v}) {}
  Value(double v) : v_(v) {}
  Value(bool v) : v_(v) {}
  Value(std::string v) : v_(std::move(v)) {}
  Value(std::string_view v) : v_(std::string(v)) {}
  Value(const char* v) : v_(std::string(v)) {}
  Value(DateTime v) : v_(v) {}
  static Value null() { Value v; v.v_ = SqlNull{}; return v; }

  [[nodiscard]] Kind kind() const { return static_cast<Kind>(v_.index()); }
  [[nodiscard]] bool isEmpty() const { return kind() == Kind::Empty; }
  [[nodiscard]] bool isNull() const { return kind() == Kind::Null; }
  // Empty, null or the empty text: what the pages test with `= ""`.
  [[nodiscard]] bool blank() const;

  // The value as the pages write it: empty and null give "", whole numbers in
  // decimal, decimals in the shortest form that reads back the same (8.5, 12),
  // date-times in the general form, logicals as "True"/"False".
  [[nodiscard]] std::string text() const;

  // Whether the value reads as a number: numbers, or texts such as " 12 ", "-3",
  // "8.5", "1e3". Empty text, null and other texts are not numeric.
  [[nodiscard]] bool isNumeric() const;
  // The value as a whole number, rounding halves to even as the pages' language
  // does; empty, null and non-numeric texts give `fallback`.
  [[nodiscard]] std::int64_t toInteger(std::int64_t fallback = 0) const;
  // Like toInteger but limited to 32 bits: a value out of range gives `fallback`.
  [[nodiscard]] std::int32_t toInt32(std::int32_t fallback = 0) const;
  [[nodiscard]] double toDouble(double fallback = 0) const;
  // Whether the value reads as the number `n` (1, "1", " 1 ", 1.0; not "", "one").
  [[nodiscard]] bool isNumber(double n) const { return isNumeric() && toDouble() == n; }
  [[nodiscard]] bool toBool() const;
  // Date-times as they are, texts parsed; otherwise empty.
  [[nodiscard]] std::optional<DateTime> toDate() const;

  // Same kind and same content; a whole number equals the same decimal.
  friend bool operator==(const Value& a, const Value& b);

  using Storage = std::variant<std::monostate, SqlNull, std::int64_t, double, std::string, DateTime, bool>;
  [[nodiscard]] const Storage& raw() const { return v_; }

 private:
  Storage v_;
};

// Whether a text is a whole number in plain decimal ("12", "-3"; not "1.5", " 1", "1e3", "").
[[nodiscard]] bool isWholeNumber(std::string_view text);

}  // namespace tovi::data
