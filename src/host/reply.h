// The answer to one request as the host sends it, and the short pages the host
// answers with itself (not found, too large, failed: sent in GBK).
//
//   Reply r = noticeReply(405, "不支持的请求", "服务器不支持这种请求方式。");
//   return notFound();
//   body += "<p>" + pageErrorText(id) + "</p>";     // after what a failed page wrote
//   encodeReply(r, acceptsGzip(acceptEncodingHeader));  // compressed for a client that takes it
//
// Pure values and functions: safe from any thread. gzip() throws std::runtime_error
// when zlib fails (out of memory).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tovi::host {

struct Reply {
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;      // bytes as sent
  std::shared_ptr<const std::string> shared;  // when set, the body (a kept static file or rendered copy)
  std::string filePath;  // when set, the body is this file (sent with sendfile)
  // Headers only, with the body's Content-Length (a 304 of a static file).
  // An answer to HEAD is sent the same way: its Reply still holds the body a
  // GET would get, so both announce the same length.
  bool bodyless = false;
};

// A short HTML page with `title` and the line `text`, as GBK, with its Content-Type.
[[nodiscard]] Reply noticeReply(int status, std::string_view title, std::string_view text);
// 404 and its page.
[[nodiscard]] Reply notFound();
// 413 and its page: a request body over the limit.
[[nodiscard]] Reply tooLarge();
// The generic text a failed page ends with; the request id lets the operator
// find the details in the error log.
[[nodiscard]] std::string pageErrorText(const std::string& id);

// Compression. Pages, style sheets and scripts shrink to a fraction over a
// phone's slow link; pictures are compressed already, and event streams must
// reach the browser as each event is written.
inline constexpr std::size_t kMinGzipBody = 512;  // below this the gzip framing eats the gain
// Whether an Accept-Encoding value takes gzip (gzip, x-gzip or *, and not refused by q=0).
[[nodiscard]] bool acceptsGzip(std::string_view acceptEncoding);
// Whether answers of this Content-Type are worth compressing.
[[nodiscard]] bool compressible(std::string_view contentType);
// The bytes in gzip framing (zlib, level 6).
[[nodiscard]] std::string gzip(std::string_view bytes);
// `body` compressed when its type is compressible and it is not too short to gain; null otherwise.
[[nodiscard]] std::shared_ptr<const std::string> gzipVariant(std::string_view contentType, std::string_view body);
// The same for the body and Content-Type of `r`.
[[nodiscard]] std::shared_ptr<const std::string> gzipVariant(const Reply& r);
// Makes `r` the answer for a client that takes gzip or not: a compressible
// type gets `Vary: Accept-Encoding`, and when accepted and worth it a
// compressed body (`gzipped` when given, made once for a kept answer;
// else compressed now) with `Content-Encoding: gzip`. Answers from disk
// (filePath) and headers-only answers stay as they are.
void encodeReply(Reply& r, bool acceptsGzip, std::shared_ptr<const std::string> gzipped = nullptr);

// The reason phrase of a status code ("OK" or "Error" for one it does not name).
[[nodiscard]] const char* reasonPhrase(int status);

}  // namespace tovi::host
