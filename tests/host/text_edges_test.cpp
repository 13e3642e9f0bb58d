// GBK at the edges and the request values read from raw bytes.
#include <gtest/gtest.h>

#include "host/gbk.h"
#include "host/request_values.h"
#include "support/live_server.h"

using namespace tovi::host;

namespace {

TEST(Gbk, DecodesValidInvalidAndCutSequences) {
  struct Case {
    std::string bytes, utf8;
  } cases[] = {
      {"abc", "abc"},
      {"", ""},
      {tovi::testing::toGbk("张三，你好"), "张三，你好"},
      {"\xD5", "\xEF\xBF\xBD"},                          // lead byte cut off at the end
      {"a\xFF" "b", "a\xEF\xBF\xBD" "b"},                // no GBK lead byte
      {"\x80" "5", "€5"},                                 // the euro sign as browsers send it
      {"\xD5\xC5\xFF\xFF" "x", "张\xEF\xBF\xBD\xEF\xBF\xBD" "x"},  // 0xFF leads nothing
  };
  for (const Case& c : cases) EXPECT_EQ(fromGbk(c.bytes), c.utf8) << c.utf8;
}

TEST(Gbk, EncodesWithReferencesForWhatGbkCannotHold) {
  const std::pair<std::string, std::string> cases[] = {
      {"1233", "1233"},
      {"订餐", tovi::testing::toGbk("订餐")},
      {"abcdefgh订ijklmnopq€中", tovi::testing::toGbk("abcdefgh订ijklmnopq€中")},
      {"a😀b", "a&#128512;b"},
      {"중", "&#51473;"},  // Hangul is not in GBK
      {"x\xFFy", "x&#65533;y"},
      {"\xE8\xAE", "&#65533;&#65533;"},                     // a character cut off at the end
      {"\xED\xA0\x80" "a", "&#65533;&#65533;&#65533;a"},  // a surrogate is no character
      {"\xE0\x80\xAF" "a", "&#65533;&#65533;&#65533;a"},  // nor an overlong '/'
  };
  for (const auto& [utf8, wire] : cases) EXPECT_EQ(toGbk(utf8), wire) << utf8;
  EXPECT_EQ(fromGbk(toGbk("价格：8.5元")), "价格：8.5元");
}

std::string utf8Of(char32_t c) {
  std::string s;
  if (c < 0x800) {
    s += static_cast<char>(0xC0 | (c >> 6));
  } else {
    s += static_cast<char>(0xE0 | (c >> 12));
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  }
  s += static_cast<char>(0x80 | (c & 0x3F));
  return s;
}

// Every character of the BMP: what GBK holds comes back from its bytes, the
// rest is a reference to the very code point.
TEST(Gbk, EveryBmpCharacterEncodesOrBecomesItsReference) {
  int held = 0;
  for (char32_t c = 0x80; c < 0x10000; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    std::string utf8 = utf8Of(c);
    std::string wire = toGbk(utf8);
    std::string reference = "&#" + std::to_string(static_cast<unsigned long>(c)) + ";";
    if (wire == reference) continue;
    ++held;
    ASSERT_TRUE(wire.size() == 1 || wire.size() == 2) << static_cast<unsigned long>(c);
    ASSERT_GE(static_cast<unsigned char>(wire[0]), 0x80u) << static_cast<unsigned long>(c);
    ASSERT_EQ(fromGbk(wire), utf8) << static_cast<unsigned long>(c);
  }
  EXPECT_GT(held, 21000);  // GBK holds some 21,000 characters
  EXPECT_LT(held, 22500);
}

TEST(RequestValues, PairsDecodeGbkPlusAndMalformedEscapes) {
  Pairs p = parsePairs("yhm=%D5%C5%C8%FD&a=1+2&b=%zz%4&&c&d=%41%42=x&e=%FF");
  ASSERT_EQ(p.size(), 6u);
  EXPECT_EQ(p[0], (std::pair<std::string, std::string>{"yhm", "张三"}));
  EXPECT_EQ(p[1].second, "1 2");
  EXPECT_EQ(p[2].second, "%zz%4");  // malformed escapes stay as written
  EXPECT_EQ(p[3], (std::pair<std::string, std::string>{"c", ""}));
  EXPECT_EQ(p[4].second, "AB=x");
  EXPECT_EQ(p[5].second, "\xEF\xBF\xBD");  // an invalid byte never passes through raw
}

TEST(RequestValues, RepeatedNamesJoinAndNamesMatchInAnyCase) {
  Pairs p = parsePairs("id=1&ID=2&x=&id=3");
  bool found = false;
  EXPECT_EQ(joined(p, "Id", &found), "1, 2, 3");
  EXPECT_TRUE(found);
  EXPECT_EQ(joined(p, "x", &found), "");
  EXPECT_TRUE(found);
  EXPECT_EQ(joined(p, "missing", &found), "");
  EXPECT_FALSE(found);
}

TEST(RequestValues, CookiesWithSubKeys) {
  Pairs c = parseCookieHeader(" tamlo=name%5Ftime=2024%2D3%2D9&name_times=3 ; TOVISESSION=abc;plain=%D6%D0;bare;q=\"v\"");
  ASSERT_EQ(c.size(), 4u);
  EXPECT_EQ(c[0].first, "tamlo");
  EXPECT_EQ(cookieSubKey(c[0].second, "NAME_TIME"), "2024-3-9");
  EXPECT_EQ(cookieSubKey(c[0].second, "name_times"), "3");
  EXPECT_EQ(cookieSubKey(c[0].second, "absent"), "");
  EXPECT_EQ(cookieText(c[2].second), "中");
  EXPECT_EQ(c[3].second, "v");
  EXPECT_EQ(cookieText(c[0].second), "name_time=2024-3-9&name_times=3");
}

TEST(RequestValues, PercentEncodeKeepsOnlyUnreserved) {
  EXPECT_EQ(percentEncode("a-b_c.d~e"), "a-b_c.d~e");
  EXPECT_EQ(percentEncode("a b&c=d;\xD6"), "a%20b%26c%3Dd%3B%D6");
  EXPECT_EQ(percentDecode(percentEncode("x&y=z %"), false), "x&y=z %");
}

}  // namespace
