// What every request of one server shares: the options, the page registry,
// the web root, the caches, the sessions, the logs. Built once by serve()
// before listening; its parts lock for themselves, so it is used from every
// thread without more locking.
//
//   HostState state(options, registry);       // throws std::invalid_argument for a bad option
//   Client who = clientOf(state, req);
//   state.errors.write("request " + requestId(state) + ": what went wrong");
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <restinio/all.hpp>

#include "frame/component.h"
#include "host/body_limits.h"
#include "host/forwarded.h"
#include "host/logs.h"
#include "host/page_file.h"
#include "host/rendered_pages.h"
#include "host/server.h"
#include "host/sessions.h"
#include "host/static_files.h"
#include "host/web_root.h"

namespace tovi::host {

struct HostState {
  HostState(const ServeOptions& options, const frame::Registry& registry);

  const ServeOptions& options;
  const frame::Registry& registry;
  BodyLimits bodyLimits;  // from options.maxBodyBytes and options.bodyLimits
  WebRoot root;
  PageCache pages;
  RenderedPages rendered;  // pages whose output depends only on the database
  StaticFiles files;
  std::unique_ptr<SessionStore> sessions;  // in this process, or in options.sharedState
  AccessLog access;
  ErrorLog errors;
  TrustedProxies proxies;
  // Sent with every answer (security_headers.h), built once.
  std::vector<std::pair<std::string, std::string>> answerHeaders;
  std::string idPrefix;                        // random, per process: request ids never repeat across runs
  std::atomic<std::uint64_t> nextRequest{1};
  std::atomic<std::int64_t> lastSweep{0};      // steady-clock seconds of the last session sweep
};

// The client of `req`: its address and scheme, from the forwarded headers
// when the peer is a trusted proxy (forwarded.h).
[[nodiscard]] Client clientOf(const HostState& state, const restinio::request_t& req);

// A new id for a request's entry in the error log ("3f2a1c-17").
[[nodiscard]] std::string requestId(HostState& state);

// Drops the expired sessions, at most once a minute whoever calls.
void sweepSessions(HostState& state);

}  // namespace tovi::host
