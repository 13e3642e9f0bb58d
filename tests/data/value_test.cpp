#include "data/value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using tovi::data::DateTime;
using tovi::data::isWholeNumber;
using tovi::data::Value;

namespace {

TEST(DateTimeTest, ParsesTheFormsThePagesWrite) {
  struct Case {
    const char* text;
    DateTime want;
  } cases[] = {
      {"2024-3-9 10:00:00", {2024, 3, 9, 10, 0, 0}},
      {"2024-03-09 10:00", {2024, 3, 9, 10, 0, 0}},
      {"2024/3/9", {2024, 3, 9, 0, 0, 0}},
      {"2024-03-09T10:05:07", {2024, 3, 9, 10, 5, 7}},
      {"  2024-12-31 23:59:59 ", {2024, 12, 31, 23, 59, 59}},
      {"2024-2-29 7:5:0", {2024, 2, 29, 7, 5, 0}},  // the order list's "...:0" seconds
      {"10:00:00", {1899, 12, 30, 10, 0, 0}},
  };
  for (const auto& c : cases) {
    auto got = DateTime::parse(c.text);
    ASSERT_TRUE(got.has_value()) << c.text;
    EXPECT_EQ(*got, c.want) << c.text;
  }
}

TEST(DateTimeTest, RefusesWhatIsNoDateTime) {
  for (const char* text : {"", "2024", "2024-2-30", "2023-2-29", "2024-13-1", "2024-0-1", "2024-1-1 24:00:00",
                           "2024-1-1 10:60", "2024-1-1 10:00:61", "2024-1-1x", "2024-1/1", "20245-1-1", "abc",
                           "2024-1-1 10", "1#1", "2024-1-1 10:00:00 or 1=1"}) {
    EXPECT_FALSE(DateTime::parse(text).has_value()) << text;
  }
}

TEST(DateTimeTest, TextFormsAndArithmetic) {
  DateTime eve{2024, 12, 31, 23, 59, 59};
  EXPECT_EQ(eve.iso(), "2024-12-31 23:59:59");
  EXPECT_EQ(eve.general(), "2024-12-31 23:59:59");
  DateTime morning{2024, 3, 9, 8, 5, 0};
  EXPECT_EQ(morning.iso(), "2024-03-09 08:05:00");
  EXPECT_EQ(morning.general(), "2024-3-9 8:05:00");

  EXPECT_EQ(eve.addSeconds(1), (DateTime{2025, 1, 1, 0, 0, 0}));
  EXPECT_EQ((DateTime{2024, 3, 1, 0, 0, 0}).addDays(-1), (DateTime{2024, 2, 29, 0, 0, 0}));
  EXPECT_EQ((DateTime{2023, 3, 1, 0, 0, 0}).addDays(-1), (DateTime{2023, 2, 28, 0, 0, 0}));
  EXPECT_EQ((DateTime{1, 1, 1, 0, 0, 0}).serialSeconds(), 0);
  EXPECT_EQ((DateTime{2024, 1, 2, 0, 0, 0}).serialSeconds() - (DateTime{2024, 1, 1, 0, 0, 0}).serialSeconds(), 86400);
  for (DateTime d : {DateTime{1, 1, 1, 0, 0, 0}, DateTime{1899, 12, 30, 0, 0, 0}, DateTime{2000, 2, 29, 12, 0, 1},
                     DateTime{9999, 12, 31, 23, 59, 59}})
    EXPECT_EQ(DateTime::fromSerialSeconds(d.serialSeconds()), d) << d.iso();

  EXPECT_EQ((DateTime{2024, 3, 9, 0, 0, 0}).weekday(), 6);  // a Saturday
  EXPECT_EQ((DateTime{2024, 3, 11, 0, 0, 0}).weekday(), 1);
  EXPECT_EQ((DateTime{2000, 1, 2, 0, 0, 0}).weekday(), 7);
  EXPECT_LT((DateTime{2024, 3, 9, 10, 0, 0}), (DateTime{2024, 3, 10, 0, 0, 0}));
}

TEST(ValueTest, TextOfEachKind) {
  EXPECT_EQ(Value().text(), "");
  EXPECT_EQ(Value::null().text(), "");
  EXPECT_EQ(Value(12).text(), "12");
  EXPECT_EQ(Value(-3L).text(), "-3");
  EXPECT_EQ(Value(8.5).text(), "8.5");
  EXPECT_EQ(Value(12.0).text(), "12");
  EXPECT_EQ(Value(0.1 + 0.2).text(), "0.30000000000000004");
  EXPECT_EQ(Value(true).text(), "True");
  EXPECT_EQ(Value(false).text(), "False");
  EXPECT_EQ(Value(DateTime{2024, 3, 9, 10, 0, 0}).text(), "2024-3-9 10:00:00");
  EXPECT_EQ(Value("招牌老菜").text(), "招牌老菜");
}

TEST(ValueTest, BlankNullEmptyAndEquality) {
  for (const Value& v : {Value(), Value::null(), Value("")}) EXPECT_TRUE(v.blank()) << v.text();
  EXPECT_FALSE(Value(" ").blank());
  EXPECT_FALSE(Value(0).blank());
  EXPECT_TRUE(Value().isEmpty());
  EXPECT_FALSE(Value().isNull());
  EXPECT_TRUE(Value::null().isNull());
  EXPECT_FALSE(Value("") == Value::null());
  EXPECT_FALSE(Value() == Value::null());
  EXPECT_EQ(Value(), Value());
  EXPECT_EQ(Value::null(), Value::null());
  EXPECT_EQ(Value(12), Value(12.0));
  EXPECT_EQ(Value("a"), Value(std::string("a")));
  EXPECT_NE(Value("12"), Value(12));
  EXPECT_NE(Value(1), Value(true));
}

TEST(ValueTest, Numbers) {
  struct Case {
    Value v;
    bool numeric;
    std::int64_t integer;  // toInteger(-99)
    double decimal;        // toDouble(-99)
  } cases[] = {
      {Value(12), true, 12, 12},
      {Value("12"), true, 12, 12},
      {Value(" 12 "), true, 12, 12},
      {Value("-3"), true, -3, -3},
      {Value("+4"), true, 4, 4},
      {Value("8.5"), true, 8, 8.5},  // halves go to even
      {Value("9.5"), true, 10, 9.5},
      {Value(-2.5), true, -2, -2.5},
      {Value("1e3"), true, 1000, 1000},
      {Value(".5"), true, 0, 0.5},
      {Value("9223372036854775807"), true, std::numeric_limits<std::int64_t>::max(), 9223372036854775807.0},
      {Value(true), true, 1, 1},
      {Value(""), false, -99, -99},
      {Value(" "), false, -99, -99},
      {Value("12abc"), false, -99, -99},
      {Value("1,000"), false, -99, -99},
      {Value("0x10"), false, -99, -99},
      {Value("inf"), false, -99, -99},
      {Value("nan"), false, -99, -99},
      {Value("1e"), false, -99, -99},
      {Value("."), false, -99, -99},
      {Value("1 or 1=1"), false, -99, -99},
      {Value(), false, -99, -99},
      {Value::null(), false, -99, -99},
      {Value(DateTime{2024, 1, 1, 0, 0, 0}), false, -99, -99},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.v.isNumeric(), c.numeric) << c.v.text();
    EXPECT_EQ(c.v.toInteger(-99), c.integer) << c.v.text();
    EXPECT_EQ(c.v.toDouble(-99), c.decimal) << c.v.text();
    EXPECT_EQ(c.v.isNumber(c.decimal), c.numeric) << c.v.text();
  }
  EXPECT_FALSE(Value("2").isNumber(1));
  EXPECT_EQ(Value("1e300").toInteger(-1), -1);  // beyond a whole number's range
}

TEST(ValueTest, Int32KeepsToItsRange) {
  EXPECT_EQ(Value("2147483647").toInt32(-1), 2147483647);
  EXPECT_EQ(Value("-2147483648").toInt32(-1), -2147483647 - 1);
  EXPECT_EQ(Value("2147483648").toInt32(-1), -1);
  EXPECT_EQ(Value("99999999999999999999").toInt32(-1), -1);
  EXPECT_EQ(Value("3").toInt32(-1), 3);
  EXPECT_EQ(Value("").toInt32(), 0);
}

TEST(ValueTest, LogicalsAndDates) {
  for (const Value& yes : {Value(true), Value(1), Value("True"), Value("-1")}) EXPECT_TRUE(yes.toBool()) << yes.text();
  for (const Value& no : {Value("false"), Value("0"), Value("yes please"), Value()}) EXPECT_FALSE(no.toBool()) << no.text();
  EXPECT_EQ(Value("2024-3-9 10:00:00").toDate(), (DateTime{2024, 3, 9, 10, 0, 0}));
  EXPECT_EQ(Value(DateTime{2024, 3, 9, 0, 0, 0}).toDate(), (DateTime{2024, 3, 9, 0, 0, 0}));
  EXPECT_FALSE(Value("2024-2-30").toDate().has_value());
  EXPECT_FALSE(Value(5).toDate().has_value());
}

TEST(ValueTest, WholeNumberTexts) {
  for (const char* yes : {"0", "12", "-3", "9223372036854775807", "-9223372036854775808", "007"})
    EXPECT_TRUE(isWholeNumber(yes)) << yes;
  for (const char* no : {"", "-", "+1", " 1", "1 ", "1.5", "1e3", "12a", "9223372036854775808", "1,2", "1)", "1;"})
    EXPECT_FALSE(isWholeNumber(no)) << no;
}

}  // namespace
