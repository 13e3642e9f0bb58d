// The answer to one request as the host sends it, and the short pages the host
// answers with itself (not found, too large, failed: sent in GBK).
//
//   Reply r = noticeReply(405, "不支持的请求", "服务器不支持这种请求方式。");
//   return notFound();
//   body += "<p>" + pageErrorText(id) + "</p>";     // after what a failed page wrote
//
// Pure values and functions: safe from any thread.
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

// The reason phrase of a status code ("OK" or "Error" for one it does not name).
[[nodiscard]] const char* reasonPhrase(int status);

}  // namespace tovi::host
