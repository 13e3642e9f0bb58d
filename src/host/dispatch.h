// One request through the host: from its method and path to its Reply.
//
//   Resolved target;
//   if (std::optional<Reply> r = quickAnswer(state, req, target)) ...send it...   // I/O thread
//   Reply r = handle(state, req, std::move(target));                            // worker
//
// handle() resolves the path in the web root (web_root.h), redirects a folder
// to its '/' form, sends static files (static_replies.h), runs page files
// (page_exchange.h) and refuses what is not served: 405 for methods other
// than GET, HEAD and POST, 413 for a body over the limit, 404 for the rest.
// A GET or HEAD without query string or body of a page whose components
// promise Output::DatabaseOnly is answered from its rendered copy while the
// database's change stamp is unchanged (rendered_pages.h); a copy is made
// when the page ran impersonally (page_exchange.h).
// Threads: handle() on a worker; quickAnswer() is cheap enough for an I/O
// thread: one look-up of the path, one stat, one change stamp; no page runs,
// no file is read.
// Errors: neither throws; failures become 4xx/5xx answers, their details and
// a request id go to the error log.
#pragma once

#include <optional>

#include <restinio/all.hpp>

#include "host/host_state.h"
#include "host/reply.h"
#include "host/web_root.h"

namespace tovi::host {

// The answer to a GET or HEAD of a static file whose path and bytes are
// already in memory, or of a page from its rendered copy when the copy is at
// hand and the database unchanged; otherwise nothing, and `target` holds what
// the path is known as (kind None when it is not known yet), for handle().
[[nodiscard]] std::optional<Reply> quickAnswer(HostState& state, const restinio::request_t& req, Resolved& target);

// The answer to `req`, going on from what quickAnswer() found (or from nothing).
[[nodiscard]] Reply handle(HostState& state, const restinio::request_t& req, Resolved known = {});

}  // namespace tovi::host
