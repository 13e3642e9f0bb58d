#include "host/host_state.h"

#include <sodium.h>

#include <chrono>
#include <stdexcept>

#include "host/gbk.h"
#include "host/security_headers.h"

namespace tovi::host {
namespace {

std::string randomPrefix() {
  if (sodium_init() < 0) throw std::runtime_error("libsodium could not start");
  unsigned char bytes[3];
  randombytes_buf(bytes, sizeof bytes);
  char hex[7];
  sodium_bin2hex(hex, sizeof hex, bytes, sizeof bytes);
  return hex;
}

}  // namespace

HostState::HostState(const ServeOptions& o, const frame::Registry& r)
    : options(o),
      registry(r),
      bodyLimits{o.maxBodyBytes, o.bodyLimits},
      root(o.root, o.mounts, o.hiddenFolders),
      pages(r),
      rendered(o.changeStamp),
      sessions(o.sharedState.empty()
                   ? std::unique_ptr<SessionStore>(std::make_unique<InProcessSessionStore>(o.sessionTimeout))
                   : std::make_unique<DatabaseSessionStore>(o.sharedState, o.sessionTimeout)),
      access(o.accessLog),
      errors(o.errorLog),
      proxies(o.trustedProxies),
      answerHeaders(securityHeaders(o.https)),
      idPrefix(randomPrefix()) {
  prepareGbk();
}

Client clientOf(const HostState& state, const restinio::request_t& req) {
  std::string peer = req.remote_endpoint().address().to_string();
  if (state.proxies.empty()) return Client{std::move(peer), state.options.https};
  // Several headers of one name read as one list, in the order received.
  auto joined = [&req](std::string_view name) {
    std::string all;
    req.header().for_each_value_of(name, [&all](std::string_view v) {
      if (!all.empty()) all += ',';
      all += v;
      return restinio::http_header_fields_t::continue_enumeration();
    });
    return all;
  };
  return state.proxies.client(std::move(peer), joined("X-Forwarded-For"), joined("X-Forwarded-Proto"),
                              state.options.https);
}

std::string requestId(HostState& state) {
  return state.idPrefix + "-" + std::to_string(state.nextRequest.fetch_add(1, std::memory_order_relaxed));
}

void sweepSessions(HostState& state) {
  std::int64_t now =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
  std::int64_t last = state.lastSweep.load(std::memory_order_relaxed);
  if (now - last < 60) return;
  if (!state.lastSweep.compare_exchange_strong(last, now)) return;  // another worker sweeps
  try {
    state.sessions->sweep();
  } catch (const std::exception& e) {
    state.errors.write(std::string("session sweep: ") + e.what());  // tried again a minute later
  }
}

}  // namespace tovi::host
