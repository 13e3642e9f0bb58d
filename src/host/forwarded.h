// Who sent a request, when the site may sit behind a reverse proxy.
//
//   TrustedProxies proxies({"127.0.0.1"});
//   Client c = proxies.client("127.0.0.1", "203.0.113.7", "https", false);
//   // c.address == "203.0.113.7", c.https == true
//
// X-Forwarded-For and X-Forwarded-Proto are believed only when the peer is a
// trusted proxy: anyone else could write them. The client is the right-most
// X-Forwarded-For entry that is not itself a trusted proxy (each proxy appends
// the address it saw), so a visitor cannot choose its address by sending the
// header itself. Without trusted proxies the peer is the client and the
// headers are never read.
// Threads: const after construction; safe from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tovi::host {

struct Client {
  std::string address;  // as the login throttle and the access log see it
  bool https = false;   // the scheme the client used
};

class TrustedProxies {
 public:
  // Throws std::invalid_argument for an entry that is no IPv4 or IPv6 address.
  explicit TrustedProxies(const std::vector<std::string>& addresses);

  [[nodiscard]] bool empty() const { return addresses_.empty(); }
  // Whether `address` (any spelling of it) is one of the trusted proxies.
  [[nodiscard]] bool trusts(std::string_view address) const;
  // The client of a request from `peer` with these header values ("" when
  // absent; several headers of one name joined with ","); `https` is the
  // scheme when no trusted proxy says otherwise.
  [[nodiscard]] Client client(std::string peer, std::string_view forwardedFor, std::string_view forwardedProto,
                              bool https) const;

 private:
  std::vector<std::string> addresses_;  // canonical text
};

// The canonical text of an IP address ("::ffff:10.0.0.1" -> "10.0.0.1"), or ""
// when `text` is none.
[[nodiscard]] std::string canonicalAddress(std::string_view text);

}  // namespace tovi::host
