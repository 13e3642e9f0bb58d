// The headers every answer carries, whatever made it: pages, rendered copies,
// static files, 304s, errors and redirects.
//
//   for (const auto& [name, value] : securityHeaders(https)) resp.append_header(name, value);
//
// The Content-Security-Policy is what the site's pages pass: their many inline
// scripts and on... handlers need 'unsafe-inline' for scripts (so a nonce
// would switch it off and is not used), inline style attributes need it for
// styles, and pictures in dishes and news may be any web address the editor
// takes. Everything else comes from this site only; plug-ins never load; the
// back office's framesets may frame only this site's pages.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tovi::host {

inline constexpr std::string_view kContentSecurityPolicy =
    "default-src 'self'; script-src 'self' 'unsafe-inline'; style-src 'self' 'unsafe-inline'; "
    "img-src 'self' data: http: https:; object-src 'none'; base-uri 'self'; form-action 'self'; "
    "frame-ancestors 'self'";

// Name and value of each header, built once at start; Strict-Transport-Security
// only when the site is served over HTTPS.
[[nodiscard]] std::vector<std::pair<std::string, std::string>> securityHeaders(bool https);

}  // namespace tovi::host
