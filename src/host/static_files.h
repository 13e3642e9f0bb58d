// Static files of the web root: content types and caching.
//
//   contentTypeFor("Style.CSS")            // "text/css"
//   httpDate(1700000000)                   // "Tue, 14 Nov 2023 22:13:20 GMT"
//   httpDateNow()                          // the same for now, for the Date header
//   StaticFiles files;
//   auto f = files.get("/srv/site/Style.css");   // null when it cannot be read
//
// A kept file of a compressible type (reply.h) keeps its gzip-compressed
// bytes beside the plain ones, made when it is read, with their own ETag.
//
// Lifetimes: a file is kept by browsers an hour and then revalidated, except
// where its URL changes whenever its bytes do, which browsers may keep a year:
//   - css/front.css?v=<fingerprint>: the fingerprint of the current bytes
//     (the first 10 hex digits of their SHA-256, as `sha256sum | cut -c1-10`;
//     scripts/fingerprint.sh writes them into the links). Any other v= gets the
//     current bytes with the short lifetime, never old bytes for a year.
//   - a picture named by 128 random bits (32 hex digits, then '.' or '-'):
//     uploads get such names and are never rewritten.
#pragma once

#include <ctime>
#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tovi::host {

// The content type for a file name, by its extension in any case;
// "application/octet-stream" when the extension is unknown.
[[nodiscard]] std::string_view contentTypeFor(std::string_view fileName);

// An HTTP date (IMF-fixdate, GMT).
[[nodiscard]] std::string httpDate(std::time_t t);

// httpDate() of the current second, formatted again only when the second
// changes (per thread: every answer carries one). The view is valid on the
// calling thread until its next call.
[[nodiscard]] std::string_view httpDateNow();

// How long browsers may keep a static file without asking again.
inline constexpr std::string_view kStaticCacheControl = "public, max-age=3600";
// The same for one whose URL names its bytes (above).
inline constexpr std::string_view kImmutableCacheControl = "public, max-age=31536000, immutable";

// Whether a query string holds v=`fingerprint` (an empty fingerprint never matches).
[[nodiscard]] bool queryNamesFingerprint(std::string_view query, std::string_view fingerprint);

// A static file as it is sent: its headers worked out once, and small files'
// bytes kept in memory (shared by every answer that sends them).
struct StaticFile {
  std::string etag, lastModified, contentType;
  std::shared_ptr<const std::string> bytes;  // null: too large to keep, sent from disk
  std::shared_ptr<const std::string> gzipped;  // bytes compressed; null when not worth it or not kept
  std::string gzipEtag;                        // the ETag of the compressed bytes, never that of the plain ones
  std::string fingerprint;                     // of the kept bytes; empty for a file sent from disk
  bool immutable = false;                      // named uniquely per upload: never rewritten
  long long size = 0, mtimeNs = 0;
};

// Static files by path. Each get() stats the file, so a changed file is seen
// at once; it is read again only when its size or time changed. Safe from any thread.
class StaticFiles {
 public:
  static constexpr long long kKeepLimit = 256 << 10;        // larger files are sent from disk
  static constexpr long long kTotalLimit = 64LL << 20;      // past this, the kept files start over
  // The file at `path`; null when it is missing, no regular file or unreadable.
  [[nodiscard]] std::shared_ptr<const StaticFile> get(const std::string& path);
  // The file only when its bytes are kept and still current (one stat, never a read).
  [[nodiscard]] std::shared_ptr<const StaticFile> kept(const std::string& path);

 private:
  std::shared_mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<const StaticFile>> files_;
  long long kept_ = 0;
};

}  // namespace tovi::host
