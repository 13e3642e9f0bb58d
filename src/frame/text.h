// Text helpers shared by the pages: escaping for each place a value is written,
// the blanks trimming of the pages' language, and character widths as the
// Chinese code page counts them.
//
//   "<td>" + htmlEncode(name) + "</td>"
//   "<input value=\"" + htmlEncode(name) + "\">"
//   "onmouseover=\"drc('" + jsInAttr(content) + "')\""
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tovi::frame {

// & < > " ' as entities: safe in element text and in quoted attribute values.
[[nodiscard]] std::string htmlEncode(std::string_view text);
// A value for a JavaScript string literal (either quote) that stands inside an
// HTML attribute: JavaScript escapes first (\ ' " line breaks, </), then HTML
// entities, so the browser hands the script back exactly `text`.
[[nodiscard]] std::string jsInAttr(std::string_view text);
// A value for a JavaScript string literal inside a <script> element.
[[nodiscard]] std::string jsString(std::string_view text);
// A JSON string literal of UTF-8 text, quotes included, in ASCII bytes only:
// other characters and < > & as \u escapes, so the bytes pass every charset
// edge unchanged and never close a script element.
[[nodiscard]] std::string jsonString(std::string_view utf8);

// `text` (blanks around it dropped) as a positive whole number that fits 32
// bits, as the pages take an id; empty otherwise ("", "abc", "1.5", "-3", "0",
// "99999999999").
[[nodiscard]] std::optional<long> positiveId(std::string_view text);

// Removes blanks (U+0020 only) at both ends, as the pages' Trim does.
[[nodiscard]] std::string trim(std::string_view text);
// Percent-encodes bytes for a URL or a cookie: letters, digits and -_.~ stay.
[[nodiscard]] std::string percentEncode(std::string_view bytes);
// Percent-encodes (upper-case hex) every byte for which `keep` is false.
[[nodiscard]] std::string percentEncodeUnless(std::string_view bytes, bool (*keep)(unsigned char));
// Every occurrence of `from` replaced by `to` (case-sensitive, left to right).
[[nodiscard]] std::string replaceAll(std::string_view text, std::string_view from, std::string_view to);

// Width of a character as the Chinese code page counts it: 1 for a single-byte
// character (code 1 to 127), 2 for every other (each Chinese character).
[[nodiscard]] int gbWidth(char32_t c);
// Decodes the UTF-8 character at `text[pos]`, advancing `pos`; an invalid byte
// reads as U+FFFD and advances one byte.
char32_t nextChar(std::string_view text, std::size_t& pos);
// Number of characters (code points) of a UTF-8 text.
[[nodiscard]] std::size_t charCount(std::string_view text);
// Lower-case ASCII copy (identifiers, keys, ids).
[[nodiscard]] std::string asciiLower(std::string_view text);
[[nodiscard]] bool iequals(std::string_view a, std::string_view b);

}  // namespace tovi::frame
