// Escaping, ids and character helpers: every place a value is written or an id is read depends on them.
#include "frame/text.h"

#include "support/testing.h"

using namespace frame;

// Nothing leaves the element, the attribute or the script literal; JSON is ASCII only, for every charset edge.
TEST(Escaping, HtmlJavaScriptAndJson) {
  for (auto [in, out] : {std::pair<std::string, std::string>{"", ""}, {"plain 文字", "plain 文字"},
                         {"<b>&\"'", "&lt;b&gt;&amp;&quot;&#39;"}, {"&amp;", "&amp;amp;"},
                         {std::string("a\0b", 3), std::string("a\0b", 3)}})
    EXPECT_EQ(htmlEncode(in), out) << in;
  for (auto [in, out] : {std::pair{"鱼香肉丝", "鱼香肉丝"}, {"O'Neil", "O\\'Neil"}, {"say \"hi\"", "say \\\"hi\\\""},
                         {"back\\slash", "back\\\\slash"}, {"two\nlines\r", "two\\nlines\\r"},
                         {"</script><script>", "\\x3C/script\\x3E\\x3Cscript\\x3E"}, {"\x01", "\\x01"},
                         {"\xE2\x80\xA8", "\\u2028"}})
    EXPECT_EQ(jsString(in), out) << in;
  for (auto [in, out] : {std::pair{"", R"("")"}, {"a\"b\\c/", R"("a\"b\\c/")"}, {"王 1", R"("\u738b 1")"},
                         {"</script>&", R"("\u003c/script\u003e\u0026")"}, {"\n\x7F", R"("\u000a\u007f")"},
                         {"😀", R"("\ud83d\ude00")"}, {"\xC3", R"("\ufffd")"}})
    EXPECT_EQ(jsonString(in), out) << in;
}

TEST(PositiveId, AWholeNumberFrom1ThatFits32Bits) {
  for (auto [in, id] : {std::pair<const char*, std::optional<long>>{"7", 7}, {" 42 ", 42}, {"007", 7},
                        {"2147483647", 2147483647}, {"", {}}, {"abc", {}}, {"1.5", {}}, {"-3", {}}, {"0", {}},
                        {"2147483648", {}}, {"99999999999", {}}, {"7 or 1=1", {}}, {"+7", {}}, {"\t7", {}}})
    EXPECT_EQ(positiveId(in), id) << in;
}

// Trim drops blanks only (not tabs, not ideographic spaces); replaceAll never rescans what it put in.
TEST(Trim, AndReplaceAll) {
  for (auto [in, out] : {std::pair{"  a b  ", "a b"}, {"\ta\t", "\ta\t"}, {"   ", ""}, {"　宽　", "　宽　"}})
    EXPECT_EQ(trim(in), out) << in;
  for (auto [in, from, to, out] : {std::tuple{"a'b''c", "'", "''", "a''b''''c"}, {"x", "", "y", "x"},
                                   {"line1\r\nline2", "\r\n", "<BR>", "line1<BR>line2"}})
    EXPECT_EQ(replaceAll(in, from, to), out) << in;
}

// An invalid byte is one replacement character, never read past the end; a surrogate none. (Widths: tests/orders.)
TEST(Characters, InvalidBytesAreOneReplacementEach) {
  for (auto [text, from, to] : {std::tuple{std::string("a\xC3"), 1u, 2u}, {std::string("\xC0\xAF"), 0u, 1u}}) {
    std::size_t pos = from;
    EXPECT_EQ(nextChar(text, pos) == U'\uFFFD' ? pos : 99u, to) << from;
  }
  EXPECT_EQ(charCount("中\xED\xA0\x80"), 4u);
  EXPECT_EQ(gbWidth(char32_t{0}), 2);
}
