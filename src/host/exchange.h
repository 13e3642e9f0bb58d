// One request through the host: what is shared by all requests (HostState)
// and the answer to one request (Reply), computed on a worker thread.
//
//   HostState state(options, registry);
//   Reply r = handle(state, *req);          // never throws
//
// handle() resolves the path in the web root, sends static files, runs page
// files (component start, render operations, end on the calling thread) and
// turns a failed page into a 500 whose details go only to the error log.
// A GET or HEAD without query string of a page whose component's output
// depends only on the database is answered from a rendered copy while the
// database file is unchanged; the page ran for it with nothing personal
// (no cookie, session, form, header or clock read; no redirect, error or
// status other than 200).
#pragma once

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <restinio/all.hpp>

#include "frame/component.h"
#include "host/forwarded.h"
#include "host/logs.h"
#include "host/page_file.h"
#include "host/rendered_pages.h"
#include "host/server.h"
#include "host/sessions.h"
#include "host/static_files.h"
#include "host/web_root.h"

namespace tovi::host {

// The session cookie's name.
inline constexpr std::string_view kSessionCookie = "TOVISESSION";

struct HostState {
  HostState(const ServeOptions& options, const frame::Registry& registry);

  const ServeOptions& options;
  const frame::Registry& registry;
  WebRoot root;
  PageCache pages;
  RenderedPages rendered;  // pages whose output depends only on the database
  StaticFiles files;
  SessionStore sessions;
  AccessLog access;
  ErrorLog errors;
  TrustedProxies proxies;
  // Sent with every answer (security_headers.h), built once.
  std::vector<std::pair<std::string, std::string>> answerHeaders;
  std::string idPrefix;                        // random, per process: request ids never repeat across runs
  std::atomic<std::uint64_t> nextRequest{1};
  std::atomic<std::int64_t> lastSweep{0};      // steady-clock seconds of the last session sweep
};

struct Reply {
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;      // bytes as sent
  std::shared_ptr<const std::string> shared;  // when set, the body (a kept static file)
  std::string filePath;  // when set, the body is this file (sent with sendfile)
  // Headers only, with the body's Content-Length (a 304 of a static file).
  // An answer to HEAD is sent the same way: its Reply still holds the body a
  // GET would get, so both announce the same length.
  bool bodyless = false;
};

// The answer to `req`. Never throws: failures become 4xx/5xx answers.
[[nodiscard]] Reply handle(HostState& state, const restinio::request_t& req);

// For the I/O thread: the answer to a GET or HEAD of a static file whose
// path and bytes are already in memory, or of a page from its rendered copy
// when the copy is at hand and the database unchanged; otherwise nothing, and
// the request is handle()d on a worker. Cheap enough for an I/O thread: one
// look-up of the path, one stat, and one pragma of the database that never
// waits for a lock (data/change_stamp.h); no page runs, no file is read.
// `target` then holds what the path is known as (kind None when it is not
// known yet), for handle() to go on from.
[[nodiscard]] std::optional<Reply> quickAnswer(HostState& state, const restinio::request_t& req, Resolved& target);

// handle() of a request whose path quickAnswer() already looked up.
[[nodiscard]] Reply handle(HostState& state, const restinio::request_t& req, Resolved known);

// The client of `req`: its address and scheme, from the forwarded headers
// when the peer is a trusted proxy (forwarded.h).
[[nodiscard]] Client clientOf(const HostState& state, const restinio::request_t& req);

// The reason phrase of a status code.
[[nodiscard]] const char* reasonPhrase(int status);

}  // namespace tovi::host
