#include "host/security_headers.h"

namespace tovi::host {

std::vector<std::pair<std::string, std::string>> securityHeaders(bool https) {
  std::vector<std::pair<std::string, std::string>> h = {
      {"X-Content-Type-Options", "nosniff"},
      {"Referrer-Policy", "same-origin"},
      {"Content-Security-Policy", std::string(kContentSecurityPolicy)},
  };
  // A year, renewed by every answer; subdomains may be other people's sites.
  if (https) h.emplace_back("Strict-Transport-Security", "max-age=31536000");
  return h;
}

}  // namespace tovi::host
