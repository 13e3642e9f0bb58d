#include "frame/host.h"

#include "frame/text.h"

namespace tovi::frame {

void ResponseCookie::set(std::string_view key, std::string_view v) {
  // A cookie with sub-keys has no plain value of its own.
  value.clear();
  for (auto& [k, old] : keys)
    if (iequals(k, key)) {
      old = std::string(v);
      return;
    }
  keys.emplace_back(std::string(key), std::string(v));
}

}  // namespace tovi::frame
