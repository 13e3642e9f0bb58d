// Static files of the web root: content types and caching.
//
//   contentTypeFor("Style.CSS")            // "text/css"
//   httpDate(1700000000)                   // "Tue, 14 Nov 2023 22:13:20 GMT"
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace tovi::host {

// The content type for a file name, by its extension in any case;
// "application/octet-stream" when the extension is unknown.
[[nodiscard]] std::string_view contentTypeFor(std::string_view fileName);

// An HTTP date (IMF-fixdate, GMT).
[[nodiscard]] std::string httpDate(std::time_t t);

// How long browsers may keep a static file without asking again.
inline constexpr std::string_view kStaticCacheControl = "public, max-age=3600";

}  // namespace tovi::host
