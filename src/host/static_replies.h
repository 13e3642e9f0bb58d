// Answers with the web root's static files (static_files.h): 200 with the
// file's type and caching headers, or a bodyless 304 when the browser's copy
// is current (If-None-Match when sent, else If-Modified-Since).
//
//   Reply r = staticFile(state.files, req, target.path);                  // on a worker: may read the file
//   std::optional<Reply> q = keptStaticFile(state.files, req, target.path);   // on an I/O thread
//
// Safe from any thread.
#pragma once

#include <optional>
#include <string>

#include <restinio/all.hpp>

#include "host/reply.h"
#include "host/static_files.h"

namespace tovi::host {

// The answer with the file at `path`; 404 when it cannot be read.
[[nodiscard]] Reply staticFile(StaticFiles& files, const restinio::request_t& req, const std::string& path);

// The same for a GET or HEAD without a body, when the file's bytes are kept in
// memory and current (one stat, never a read); nothing otherwise.
[[nodiscard]] std::optional<Reply> keptStaticFile(StaticFiles& files, const restinio::request_t& req,
                                                  const std::string& path);

}  // namespace tovi::host
