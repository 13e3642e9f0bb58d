// What a request carries, read the way the pages expect: name/value pairs of
// the query string and the posted form, and cookies with sub-keys in the
// classic form name=k1=v1&k2=v2. Bytes arrive percent-encoded GBK and are kept
// as UTF-8.
//
//   Pairs q = parsePairs("yhm=%D5%C5%C8%FD&id=7");   // {"yhm","张三"}, {"id","7"}
//   joined(q, "ID")                                    // "7" (names in any case)
//
// RESTinio's own percent-decoding insists on UTF-8, which GBK browsers do not
// send; hence the small decoder here.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "frame/text.h"

namespace tovi::host {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// Percent-decodes raw bytes ('+' as a blank when `plusIsSpace`); a malformed
// escape stays as written. The result is bytes, not yet text.
[[nodiscard]] std::string percentDecode(std::string_view raw, bool plusIsSpace);

using frame::percentEncode;
using frame::percentEncodeUnless;

// "a=1&b=2&a=3" (url-encoded GBK) to pairs in order, decoded to UTF-8. A part
// without '=' is a name with an empty value; empty parts are skipped.
[[nodiscard]] Pairs parsePairs(std::string_view raw);

// The values of `name` (any letter case) joined with ", "; "" when absent.
// `found` tells whether the name occurs at all.
[[nodiscard]] std::string joined(const Pairs& pairs, std::string_view name, bool* found = nullptr);

// A Cookie header to (name, raw value) pairs, in order; values still encoded.
[[nodiscard]] Pairs parseCookieHeader(std::string_view header);

// A cookie's whole value as the pages read it: decoded to UTF-8.
[[nodiscard]] std::string cookieText(std::string_view raw);
// The sub-key `key` (any letter case) of a raw cookie value "k1=v1&k2=v2",
// decoded; "" when absent.
[[nodiscard]] std::string cookieSubKey(std::string_view raw, std::string_view key);

}  // namespace tovi::host
