// How large a request body may be, by path, and the watch that holds a
// connection's incoming bytes to it before RESTinio reads them.
//
//   BodyLimits limits{8u << 20, {{"/Up_Bookpic.asp", 21u << 20}}};
//   BodyWatch watch(limits);
//   std::size_t pass = watch.feed(bytes, n);   // RESTinio reads bytes[0, pass)
//   if (watch.refused()) ...answer 413, close...
//
// The watch parses the requests with the same parser RESTinio uses and stops
// at the first one whose declared Content-Length, or whose (chunked) body as
// it arrives, goes over its path's limit: the bytes before that request pass,
// the rest never reach RESTinio, so nothing is held beyond the limit. A
// request the parser refuses, or an upgrade, is left to RESTinio from there on.
// Threads: one watch per connection, used on that connection's I/O strand.
#pragma once

#include <http_parser.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tovi::host {

struct BodyLimits {
  std::size_t bytes = 8u << 20;  // for every path no prefix names
  // Path prefix (any letter case, as paths resolve) -> the limit of the paths it starts.
  std::vector<std::pair<std::string, std::size_t>> byPrefix;

  // The limit of the request target `target` (its path; the first prefix that
  // matches counts).
  [[nodiscard]] std::size_t of(std::string_view target) const;
  // The largest of them all.
  [[nodiscard]] std::size_t largest() const;
};

class BodyWatch {
 public:
  explicit BodyWatch(const BodyLimits& limits);
  BodyWatch(const BodyWatch&) = delete;

  // Reads `n` more bytes of the connection; returns how many of them RESTinio
  // may read: all of them, or once refused() those that came before the
  // refused request (0 when it began in an earlier read). Not called again
  // once refused.
  [[nodiscard]] std::size_t feed(const char* bytes, std::size_t n);
  [[nodiscard]] bool refused() const { return refused_; }
  // The refused request's method and target (for the access log).
  [[nodiscard]] const std::string& method() const { return method_; }
  [[nodiscard]] const std::string& target() const { return target_; }

 private:
  static int onUrl(http_parser* p, const char* at, std::size_t n);
  static int onHeadersComplete(http_parser* p);
  static int onBody(http_parser* p, const char* at, std::size_t n);
  static int onMessageComplete(http_parser* p);
  void next();

  const BodyLimits& limits_;
  http_parser parser_;
  http_parser_settings settings_;
  std::string target_, method_;
  std::size_t limit_ = 0, body_ = 0;
  bool refused_ = false, passing_ = false;
};

}  // namespace tovi::host
