// Field values and date-times: the forms the pages write and read, and what
// is no number or no date.
#include "data/value.h"

#include <limits>

#include "support/testing.h"

using namespace data;

TEST(DateTimeTest, ParsesTheFormsThePagesWriteAndNothingElse) {
  const std::pair<const char*, DateTime> good[] = {
      {"2024-3-9 10:00:00", {2024, 3, 9, 10, 0, 0}},     {"2024-03-09 10:00", {2024, 3, 9, 10, 0, 0}},
      {"2024/3/9", {2024, 3, 9, 0, 0, 0}},               {"2024-03-09T10:05:07", {2024, 3, 9, 10, 5, 7}},
      {"  2024-12-31 23:59:59 ", {2024, 12, 31, 23, 59, 59}},
      {"2024-2-29 7:5:0", {2024, 2, 29, 7, 5, 0}},  // the order list's "...:0" seconds
      {"10:00:00", {1899, 12, 30, 10, 0, 0}}};
  for (const auto& [text, want] : good) EXPECT_EQ(DateTime::parse(text), want) << text;
  for (const char* text : {"", "2024", "2024-2-30", "2023-2-29", "2024-13-1", "2024-0-1", "2024-1-1 24:00:00",
                           "2024-1-1 10:60", "2024-1-1 10:00:61", "2024-1-1x", "2024-1/1", "20245-1-1", "abc",
                           "2024-1-1 10", "1#1", "2024-1-1 10:00:00 or 1=1"})
    EXPECT_FALSE(DateTime::parse(text).has_value()) << text;
}

TEST(DateTimeTest, TextFormsAndArithmetic) {
  const DateTime eve{2024, 12, 31, 23, 59, 59}, morning{2024, 3, 9, 8, 5, 0};
  EXPECT_EQ(std::tuple(eve.iso(), eve.general(), morning.iso(), morning.general()),
            std::tuple("2024-12-31 23:59:59", "2024-12-31 23:59:59", "2024-03-09 08:05:00", "2024-3-9 8:05:00"));
  for (auto [from, seconds, to] : {std::tuple{eve, 1, DateTime{2025, 1, 1, 0, 0, 0}},
                                   {DateTime{2024, 3, 1, 0, 0, 0}, -86400, DateTime{2024, 2, 29, 0, 0, 0}},
                                   {DateTime{2023, 3, 1, 0, 0, 0}, -86400, DateTime{2023, 2, 28, 0, 0, 0}}})
    EXPECT_EQ(std::pair(from.addSeconds(seconds), to.serialSeconds() - from.serialSeconds()),
              std::pair(to, std::int64_t{seconds}));
  for (DateTime d : {DateTime{1, 1, 1, 0, 0, 0}, DateTime{1899, 12, 30, 0, 0, 0}, DateTime{2000, 2, 29, 12, 0, 1},
                     DateTime{9999, 12, 31, 23, 59, 59}})
    EXPECT_EQ(DateTime::fromSerialSeconds(d.serialSeconds()), d) << d.iso();
  // Monday is 1, Sunday 7.
  for (auto [day, weekday] : {std::pair{DateTime{2024, 3, 9, 0, 0, 0}, 6}, {DateTime{2024, 3, 11, 0, 0, 0}, 1},
                              {DateTime{2000, 1, 2, 0, 0, 0}, 7}})
    EXPECT_EQ(day.weekday(), weekday) << day.iso();
  EXPECT_LT((DateTime{2024, 3, 9, 10, 0, 0}), (DateTime{2024, 3, 10, 0, 0, 0}));
}

TEST(ValueTest, TextBlanksAndEquality) {
  const std::tuple<Value, const char*, bool> cases[] = {  // the text, and whether it is blank
      {Value(), "", true},   {Value::null(), "", true}, {"", "", true},           {" ", " ", false},
      {0, "0", false},       {-3L, "-3", false},        {8.5, "8.5", false},      {12.0, "12", false},
      {0.1 + 0.2, "0.30000000000000004", false},        {true, "True", false},    {false, "False", false},
      {DateTime{2024, 3, 9, 10, 0, 0}, "2024-3-9 10:00:00", false},               {"招牌老菜", "招牌老菜", false}};
  for (const auto& [v, text, blank] : cases)
    EXPECT_EQ(std::pair(v.text(), v.blank()), std::pair(std::string(text), blank)) << text;
  EXPECT_TRUE(Value().isEmpty() && !Value().isNull() && Value::null().isNull());
  for (auto [a, b, equal] : {std::tuple{Value(""), Value::null(), false}, {Value(), Value::null(), false},
                             {Value(), Value(), true}, {Value::null(), Value::null(), true},
                             {Value(12), Value(12.0), true}, {Value("a"), Value(std::string("a")), true},
                             {Value("12"), Value(12), false}, {Value(1), Value(true), false}})
    EXPECT_EQ(a == b, equal) << a.text() << " and " << b.text();
}

TEST(ValueTest, NumbersLogicalsAndDates) {
  const std::tuple<Value, std::int64_t, double> numbers[] = {  // toInteger rounds halves to even
      {12, 12, 12},       {"12", 12, 12},      {" 12 ", 12, 12}, {"-3", -3, -3}, {"+4", 4, 4},
      {"8.5", 8, 8.5},    {"9.5", 10, 9.5},    {-2.5, -2, -2.5}, {"1e3", 1000, 1000}, {".5", 0, 0.5},
      {"9223372036854775807", std::numeric_limits<std::int64_t>::max(), 9223372036854775807.0},
      {true, 1, 1}};
  for (const auto& [v, integer, decimal] : numbers) {
    EXPECT_TRUE(v.isNumeric() && v.isNumber(decimal)) << v.text();
    EXPECT_EQ(std::pair(v.toInteger(-99), v.toDouble(-99)), std::pair(integer, decimal)) << v.text();
  }
  for (const Value& v : {Value(""), Value(" "), Value("12abc"), Value("1,000"), Value("0x10"), Value("inf"),
                         Value("nan"), Value("1e"), Value("."), Value("1 or 1=1"), Value(), Value::null(),
                         Value(DateTime{2024, 1, 1, 0, 0, 0})}) {
    EXPECT_FALSE(v.isNumeric() || v.isNumber(-99)) << v.text();
    EXPECT_EQ(std::pair(v.toInteger(-99), v.toDouble(-99)), std::pair(std::int64_t{-99}, -99.0)) << v.text();
  }
  EXPECT_FALSE(Value("2").isNumber(1));
  EXPECT_EQ(Value("1e300").toInteger(-1), -1);  // beyond a whole number's range
  // 32 bits: out of range falls back.
  for (auto [text, n] : {std::pair{"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1}, {"2147483648", -1},
                         {"99999999999999999999", -1}, {"3", 3}, {"", -1}})
    EXPECT_EQ(Value(text).toInt32(-1), n) << text;

  for (auto [v, yes] : {std::pair{Value(true), true}, {1, true}, {"True", true}, {"-1", true}, {"false", false},
                        {"0", false}, {"yes please", false}, {Value(), false}})
    EXPECT_EQ(v.toBool(), yes) << v.text();
  EXPECT_EQ(Value("2024-3-9 10:00:00").toDate(), (DateTime{2024, 3, 9, 10, 0, 0}));
  EXPECT_EQ(Value(DateTime{2024, 3, 9, 0, 0, 0}).toDate(), (DateTime{2024, 3, 9, 0, 0, 0}));
  EXPECT_FALSE(Value("2024-2-30").toDate().has_value() || Value(5).toDate().has_value());
}

TEST(ValueTest, WholeNumberTexts) {
  for (const char* yes : {"0", "12", "-3", "9223372036854775807", "-9223372036854775808", "007"})
    EXPECT_TRUE(isWholeNumber(yes)) << yes;
  for (const char* no : {"", "-", "+1", " 1", "1 ", "1.5", "1e3", "12a", "9223372036854775808", "1,2", "1)", "1;"})
    EXPECT_FALSE(isWholeNumber(no)) << no;
}
