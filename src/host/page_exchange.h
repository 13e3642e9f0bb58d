// One page file run for one request: the frame's objects (frame/host.h,
// frame/http_details.h) over the HTTP request, and the answer the page made.
//
//   PageOutcome out = runPageFile(state, req, target.folder, *page);
//   if (out.impersonal) ...the reply may be kept as a rendered copy...
//
// What the page sees: query, form (request_body.h) and cookie values decoded
// from GBK; the session, looked up only when the page asks, created only when
// it stores, and saved in its store once at the end (sessions.h); MapPath from
// the page's folder. What it writes is encoded to GBK once, at the end (unless
// it sent binary bytes); its cookies and redirect become headers
// (response_values.h).
// Threads: the whole run happens on the calling thread (a worker's), whose
// page-text buffer it reuses from page to page.
// Errors: never throws. A page that throws ends in a 500 that shows what it
// wrote so far and the generic text with a request id; the details go to the
// error log under that id. Response.End and Redirect end a page normally.
#pragma once

#include <string>

#include <restinio/all.hpp>

#include "host/host_state.h"
#include "host/page_file.h"
#include "host/reply.h"

namespace tovi::host {

struct PageOutcome {
  Reply reply;
  // The page ran to its end, read nothing that differs from one visitor or
  // moment to the next (no cookie, session, form, header, address or clock),
  // and answered a plain 200 text page: its answer suits every request.
  bool impersonal = false;
};

// Runs `page`, found in the web root folder `folder` ("" or "admin"), for `req`.
[[nodiscard]] PageOutcome runPageFile(HostState& state, const restinio::request_t& req, std::string folder,
                                      const PageFile& page);

}  // namespace tovi::host
