// GBK at the site's edges: exact bytes both ways (round trips of any text
// are the fuzz harness's).
#include "host/gbk.h"

#include "support/live_server.h"
#include "support/testing.h"

namespace {

TEST(Gbk, DecodesValidInvalidAndCutSequences) {
  struct Case {
    std::string bytes, utf8;
  } cases[] = {
      {"abc", "abc"},
      {"", ""},
      {toGbk("张三，你好"), "张三，你好"},
      {"\xD5", "\xEF\xBF\xBD"},                          // lead byte cut off at the end
      {"a\xFF" "b", "a\xEF\xBF\xBD" "b"},                // no GBK lead byte
      {"\x80" "5", "€5"},                                 // the euro sign as browsers send it
      {"\xD5\xC5\xFF\xFF" "x", "张\xEF\xBF\xBD\xEF\xBF\xBD" "x"},  // 0xFF leads nothing
  };
  for (const Case& c : cases) EXPECT_EQ(host::fromGbk(c.bytes), c.utf8) << c.utf8;
}

TEST(Gbk, EncodesWithReferencesForWhatGbkCannotHold) {
  const std::pair<std::string, std::string> cases[] = {
      {"1233", "1233"},
      {"订餐", toGbk("订餐")},
      {"abcdefgh订ijklmnopq€中", toGbk("abcdefgh订ijklmnopq€中")},
      {"a😀b", "a&#128512;b"},
      {"중", "&#51473;"},  // Hangul is not in GBK
      {"x\xFFy", "x&#65533;y"},
      {"\xE8\xAE", "&#65533;&#65533;"},                     // a character cut off at the end
      {"\xED\xA0\x80" "a", "&#65533;&#65533;&#65533;a"},  // a surrogate is no character
      {"\xE0\x80\xAF" "a", "&#65533;&#65533;&#65533;a"},  // nor an overlong '/'
  };
  for (const auto& [utf8, wire] : cases) EXPECT_EQ(host::toGbk(utf8), wire) << utf8;
}

}  // namespace
