#include "host/forwarded.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "frame/text.h"

namespace tovi::host {
namespace {

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The last comma-separated entry of `list` before `end`; moves `end` before it.
std::string_view lastEntry(std::string_view list, std::size_t& end) {
  std::size_t comma = list.rfind(',', end == 0 ? 0 : end - 1);
  std::size_t begin = comma == std::string_view::npos || comma >= end ? 0 : comma + 1;
  std::string_view entry = list.substr(begin, end - begin);
  end = begin == 0 ? 0 : begin - 1;
  return trimmed(entry);
}

}  // namespace

std::string canonicalAddress(std::string_view text) {
  if (text.empty() || text.size() > 64) return "";
  std::string s(text);
  unsigned char raw[16];
  char out[INET6_ADDRSTRLEN];
  if (inet_pton(AF_INET, s.c_str(), raw) == 1) return inet_ntop(AF_INET, raw, out, sizeof out) ? out : "";
  if (inet_pton(AF_INET6, s.c_str(), raw) != 1) return "";
  static const unsigned char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
  if (std::memcmp(raw, kMapped, 12) == 0) return inet_ntop(AF_INET, raw + 12, out, sizeof out) ? out : "";
  return inet_ntop(AF_INET6, raw, out, sizeof out) ? out : "";
}

TrustedProxies::TrustedProxies(const std::vector<std::string>& addresses) {
  for (const std::string& a : addresses) {
    std::string c = canonicalAddress(trimmed(a));
    if (c.empty()) throw std::invalid_argument("trusted proxy: not an IP address: " + a);
    addresses_.push_back(std::move(c));
  }
}

bool TrustedProxies::trusts(std::string_view address) const {
  if (addresses_.empty()) return false;
  std::string c = canonicalAddress(address);
  return !c.empty() && std::find(addresses_.begin(), addresses_.end(), c) != addresses_.end();
}

Client TrustedProxies::client(std::string peer, std::string_view forwardedFor, std::string_view forwardedProto,
                              bool https) const {
  Client c{std::move(peer), https};
  if (!trusts(c.address)) return c;
  // Right to left, past every trusted proxy; an entry that is no address ends
  // the walk at the proxy that passed it on.
  for (std::size_t end = forwardedFor.size(); end > 0;) {
    std::string next = canonicalAddress(lastEntry(forwardedFor, end));
    if (next.empty()) break;
    c.address = std::move(next);
    if (!trusts(c.address)) break;
  }
  std::size_t end = forwardedProto.size();
  std::string_view proto = lastEntry(forwardedProto, end);
  if (!proto.empty()) c.https = frame::iequals(proto, "https");
  return c;
}

}  // namespace tovi::host
