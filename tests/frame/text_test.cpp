// Escaping and character helpers: every place a value is written depends on them.
#include "frame/text.h"

#include <gtest/gtest.h>

using namespace tovi::frame;

namespace {

TEST(HtmlEncode, SpecialCharactersBecomeEntities) {
  struct Case { std::string in, out; };
  for (const Case& c : std::vector<Case>{
           {"", ""},
           {"plain 文字", "plain 文字"},
           {"<b>&\"'", "&lt;b&gt;&amp;&quot;&#39;"},
           {"&amp;", "&amp;amp;"},
           {std::string("a\0b", 3), std::string("a\0b", 3)},
       })
    EXPECT_EQ(htmlEncode(c.in), c.out) << c.in;
}

TEST(JsString, NothingCanLeaveTheLiteralOrTheElement) {
  struct Case { std::string in, out; };
  for (const Case& c : std::vector<Case>{
           {"鱼香肉丝", "鱼香肉丝"},
           {"O'Neil", "O\\'Neil"},
           {"say \"hi\"", "say \\\"hi\\\""},
           {"back\\slash", "back\\\\slash"},
           {"two\nlines\r", "two\\nlines\\r"},
           {"</script><script>", "\\x3C/script\\x3E\\x3Cscript\\x3E"},
           {"\x01", "\\x01"},
           {"\xE2\x80\xA8", "\\u2028"},
       })
    EXPECT_EQ(jsString(c.in), c.out) << c.in;
}

TEST(JsInAttr, HtmlDecodingGivesBackTheScriptEscapes) {
  // Inside onmouseover="drc('...')": the attribute decoder runs first, so a
  // quote must survive it still escaped for the script.
  EXPECT_EQ(jsInAttr("a'b\"c&d"), "a\\&#39;b\\&quot;c\\x26d");
}

TEST(Trim, OnlyBlanksAtBothEnds) {
  EXPECT_EQ(trim("  a b  "), "a b");
  EXPECT_EQ(trim("\ta\t"), "\ta\t");
  EXPECT_EQ(trim("   "), "");
  EXPECT_EQ(trim("　宽　"), "　宽　");  // ideographic spaces stay
}

TEST(ReplaceAll, LeftToRightWithoutRescanning) {
  EXPECT_EQ(replaceAll("a'b''c", "'", "''"), "a''b''''c");
  EXPECT_EQ(replaceAll("x", "", "y"), "x");
  EXPECT_EQ(replaceAll("line1\r\nline2", "\r\n", "<BR>"), "line1<BR>line2");
}

TEST(Characters, WidthsAndDecoding) {
  EXPECT_EQ(gbWidth(U'a'), 1);
  EXPECT_EQ(gbWidth(U'中'), 2);
  EXPECT_EQ(gbWidth(U'，'), 2);
  EXPECT_EQ(gbWidth(0), 2);
  EXPECT_EQ(charCount("中文ab"), 4u);
  // Invalid UTF-8 reads as one replacement character per bad byte, never past the end.
  std::string bad = "a\xC3";
  std::size_t pos = 1;
  EXPECT_EQ(nextChar(bad, pos), U'\uFFFD');
  EXPECT_EQ(pos, 2u);
  std::string overlong = "\xC0\xAF";
  pos = 0;
  EXPECT_EQ(nextChar(overlong, pos), U'\uFFFD');
  EXPECT_EQ(charCount("\xED\xA0\x80"), 3u);  // a surrogate is no character
}

TEST(Identifiers, CaseInsensitiveAscii) {
  EXPECT_TRUE(iequals("ADODB.RecordSet", "adodb.recordset"));
  EXPECT_FALSE(iequals("admin", "admins"));
  EXPECT_EQ(asciiLower("Mabex.KCDG"), "mabex.kcdg");
}

}  // namespace
