// The GBK edges of the site: pages declare gb2312, so browsers send GBK bytes
// and expect GBK back, while everything inside is UTF-8.
//
//   std::string name = host::fromGbk(rawBytes);   // invalid bytes -> U+FFFD
//   std::string wire = host::toGbk(pageText);     // 😀 -> "&#128512;"
//
// Both are safe to call from any thread.
#pragma once

#include <string>
#include <string_view>

namespace tovi::host {

// GBK (read as GB18030, its superset) to UTF-8. A byte sequence that is no
// character becomes U+FFFD; nothing invalid passes through.
[[nodiscard]] std::string fromGbk(std::string_view bytes);

// UTF-8 to GBK. A character GBK cannot hold is written as a numeric character
// reference (&#NNNN;); an invalid UTF-8 byte as &#65533;.
// Characters outside ASCII go through a table built on first use (one
// iconv pass over the BMP); prepareGbk() builds it ahead, at start.
[[nodiscard]] std::string toGbk(std::string_view utf8);
// The same; an ASCII-only text is handed back without a copy.
[[nodiscard]] std::string toGbk(std::string&& utf8);
[[nodiscard]] inline std::string toGbk(const std::string& utf8) { return toGbk(std::string_view(utf8)); }
[[nodiscard]] inline std::string toGbk(const char* utf8) { return toGbk(std::string_view(utf8)); }
void prepareGbk();

// Whether every byte is below 0x80 (the same text in both encodings).
[[nodiscard]] bool isAscii(std::string_view bytes) noexcept;

}  // namespace tovi::host
