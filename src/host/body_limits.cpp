#include "host/body_limits.h"

#include <algorithm>
#include <climits>

#include "frame/text.h"

namespace tovi::host {
namespace {

// Enough of a target to match any prefix; the rest is not kept.
constexpr std::size_t kTargetKept = 2048;

}  // namespace

std::size_t BodyLimits::of(std::string_view target) const {
  std::string_view path = target.substr(0, target.find('?'));
  for (const auto& [prefix, limit] : byPrefix) {
    if (path.size() >= prefix.size() && frame::iequals(path.substr(0, prefix.size()), prefix)) return limit;
  }
  return bytes;
}

std::size_t BodyLimits::largest() const {
  std::size_t most = bytes;
  for (const auto& entry : byPrefix) most = std::max(most, entry.second);
  return most;
}

BodyWatch::BodyWatch(const BodyLimits& limits) : limits_(limits) {
  http_parser_settings_init(&settings_);
  settings_.on_url = onUrl;
  settings_.on_headers_complete = onHeadersComplete;
  settings_.on_body = onBody;
  settings_.on_message_complete = onMessageComplete;
  next();
}

void BodyWatch::next() {
  http_parser_init(&parser_, HTTP_REQUEST);
  parser_.data = this;
  target_.clear();
  body_ = 0;
}

int BodyWatch::onUrl(http_parser* p, const char* at, std::size_t n) {
  auto* self = static_cast<BodyWatch*>(p->data);
  self->target_.append(at, std::min(n, kTargetKept - std::min(kTargetKept, self->target_.size())));
  return 0;
}

int BodyWatch::onHeadersComplete(http_parser* p) {
  auto* self = static_cast<BodyWatch*>(p->data);
  self->limit_ = self->limits_.of(self->target_);
  // Declared: refused at once, before any of it is read.
  if (p->content_length != ULLONG_MAX && p->content_length > self->limit_) self->refused_ = true;
  return self->refused_ ? -1 : 0;
}

int BodyWatch::onBody(http_parser* p, const char*, std::size_t n) {
  auto* self = static_cast<BodyWatch*>(p->data);
  self->body_ += n;
  if (self->body_ > self->limit_) self->refused_ = true;
  return self->refused_ ? -1 : 0;
}

int BodyWatch::onMessageComplete(http_parser* p) {
  // RESTinio stops its parser at the end of each request and starts the next
  // afresh: the watch does the same, which also tells where the next begins.
  http_parser_pause(p, 1);
  return 0;
}

std::size_t BodyWatch::feed(const char* bytes, std::size_t n) {
  std::size_t at = 0, start = 0;  // where the request being read began in `bytes` (0: earlier)
  while (at < n && !passing_) {
    at += http_parser_execute(&parser_, &settings_, bytes + at, n - at);
    if (refused_) {
      method_ = http_method_str(static_cast<http_method>(parser_.method));
      return start;
    }
    if (HTTP_PARSER_ERRNO(&parser_) == HPE_PAUSED) {
      next();
      start = at;
    } else if (HTTP_PARSER_ERRNO(&parser_) != HPE_OK || parser_.upgrade) {
      passing_ = true;  // RESTinio refuses it, or it is no longer HTTP
    }
  }
  return n;
}

}  // namespace tovi::host
