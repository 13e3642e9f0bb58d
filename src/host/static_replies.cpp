#include "host/static_replies.h"

namespace tovi::host {
namespace {

Reply staticReply(const restinio::request_t& req, const std::shared_ptr<const StaticFile>& file,
                  const std::string& path) {
  // The compressed bytes are another variant with their own tag, so that no
  // cache revalidates one with the other's.
  bool gz = file->gzipped && acceptsGzip(req.header().get_field_or(restinio::http_field::accept_encoding, ""));
  const std::string& etag = gz ? file->gzipEtag : file->etag;
  Reply r;
  r.headers.reserve(7);
  r.headers.emplace_back("Last-Modified", file->lastModified);
  r.headers.emplace_back("ETag", etag);
  const bool named = file->immutable || queryNamesFingerprint(req.header().query(), file->fingerprint);
  r.headers.emplace_back("Cache-Control", std::string(named ? kImmutableCacheControl : kStaticCacheControl));
  if (compressible(file->contentType)) r.headers.emplace_back("Vary", "Accept-Encoding");
  auto inm = req.header().opt_value_of(restinio::http_field::if_none_match);
  auto ims = req.header().opt_value_of(restinio::http_field::if_modified_since);
  if (gz) r.shared = file->gzipped;
  else if (file->bytes) r.shared = file->bytes;
  else r.filePath = path;
  if ((inm && inm->find(etag) != std::string_view::npos) || (!inm && ims && *ims == file->lastModified)) {
    r.status = 304;
    r.bodyless = true;  // a 304 may only announce the length the 200 would have
    return r;
  }
  r.headers.emplace_back("Content-Type", file->contentType);
  if (gz) r.headers.emplace_back("Content-Encoding", "gzip");
  return r;
}

}  // namespace

Reply staticFile(StaticFiles& files, const restinio::request_t& req, const std::string& path) {
  std::shared_ptr<const StaticFile> file = files.get(path);
  if (!file) return notFound();
  return staticReply(req, file, path);
}

std::optional<Reply> keptStaticFile(StaticFiles& files, const restinio::request_t& req, const std::string& path) {
  auto method = req.header().method();
  if ((method != restinio::http_method_get() && method != restinio::http_method_head()) || !req.body().empty())
    return std::nullopt;
  std::shared_ptr<const StaticFile> file = files.kept(path);
  if (!file) return std::nullopt;
  return staticReply(req, file, path);
}

}  // namespace tovi::host
