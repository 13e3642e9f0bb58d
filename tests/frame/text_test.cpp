// Escaping and character helpers: every place a value is written depends on them.
#include "frame/text.h"

#include "support/testing.h"

using namespace frame;

TEST(HtmlEncode, SpecialCharactersBecomeEntities) {
  for (auto [in, out] : {std::pair<std::string, std::string>{"", ""}, {"plain 文字", "plain 文字"},
                         {"<b>&\"'", "&lt;b&gt;&amp;&quot;&#39;"}, {"&amp;", "&amp;amp;"},
                         {std::string("a\0b", 3), std::string("a\0b", 3)}})
    EXPECT_EQ(htmlEncode(in), out) << in;
}

TEST(JsString, NothingCanLeaveTheLiteralOrTheElement) {
  for (auto [in, out] : {std::pair{"鱼香肉丝", "鱼香肉丝"}, {"O'Neil", "O\\'Neil"}, {"say \"hi\"", "say \\\"hi\\\""},
                         {"back\\slash", "back\\\\slash"}, {"two\nlines\r", "two\\nlines\\r"},
                         {"</script><script>", "\\x3C/script\\x3E\\x3Cscript\\x3E"}, {"\x01", "\\x01"},
                         {"\xE2\x80\xA8", "\\u2028"}})
    EXPECT_EQ(jsString(in), out) << in;
}

TEST(Trim, OnlyBlanksAtBothEnds) {  // not tabs, not ideographic spaces
  for (auto [in, out] : {std::pair{"  a b  ", "a b"}, {"\ta\t", "\ta\t"}, {"   ", ""}, {"　宽　", "　宽　"}})
    EXPECT_EQ(trim(in), out) << in;
}

TEST(ReplaceAll, LeftToRightWithoutRescanning) {
  for (auto [in, from, to, out] : {std::tuple{"a'b''c", "'", "''", "a''b''''c"}, {"x", "", "y", "x"},
                                   {"line1\r\nline2", "\r\n", "<BR>", "line1<BR>line2"}})
    EXPECT_EQ(replaceAll(in, from, to), out) << in;
}

TEST(Characters, WidthsAndDecoding) {
  for (auto [c, width] : {std::pair{U'a', 1}, {U'中', 2}, {U'，', 2}, {char32_t{0}, 2}}) EXPECT_EQ(gbWidth(c), width);
  EXPECT_EQ(charCount("中文ab"), 4u);
  // Invalid UTF-8 reads as one replacement character per bad byte, never past the end.
  for (auto [text, from, to] : {std::tuple{std::string("a\xC3"), 1u, 2u}, {std::string("\xC0\xAF"), 0u, 1u}}) {
    std::size_t pos = from;
    EXPECT_EQ(nextChar(text, pos), U'\uFFFD') << from;
    EXPECT_EQ(pos, to);
  }
  EXPECT_EQ(charCount("\xED\xA0\x80"), 3u);  // a surrogate is no character
}

TEST(Identifiers, CaseInsensitiveAscii) {
  EXPECT_TRUE(iequals("ADODB.RecordSet", "adodb.recordset"));
  EXPECT_FALSE(iequals("admin", "admins"));
  EXPECT_EQ(asciiLower("Mabex.KCDG"), "mabex.kcdg");
}
