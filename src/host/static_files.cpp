#include "host/static_files.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "frame/text.h"
#include "host/reply.h"

namespace tovi::host {

std::string_view contentTypeFor(std::string_view fileName) {
  struct Type {
    std::string_view ext, type;
  };
  static constexpr Type kTypes[] = {
      {"html", "text/html"},          {"htm", "text/html"},
      {"css", "text/css"},            {"js", "application/javascript"},
      {"mjs", "application/javascript"}, {"json", "application/json"},
      {"txt", "text/plain"},          {"xml", "text/xml"},
      {"gif", "image/gif"},           {"jpg", "image/jpeg"},
      {"jpeg", "image/jpeg"},         {"png", "image/png"},
      {"bmp", "image/bmp"},           {"svg", "image/svg+xml"},
      {"ico", "image/x-icon"},        {"webp", "image/webp"},
      {"swf", "application/x-shockwave-flash"}, {"woff", "font/woff"},
      {"woff2", "font/woff2"},        {"ttf", "font/ttf"},
      {"otf", "font/otf"},            {"eot", "application/vnd.ms-fontobject"},
      {"map", "application/json"},    {"pdf", "application/pdf"},
      {"mp3", "audio/mpeg"},          {"mp4", "video/mp4"},
  };
  std::size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos) return "application/octet-stream";
  std::string_view ext = fileName.substr(dot + 1);
  for (const Type& t : kTypes)
    if (frame::iequals(ext, t.ext)) return t.type;
  return "application/octet-stream";
}

std::string httpDate(std::time_t t) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[tm.tm_wday], tm.tm_mday,
                kMonths[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

std::string_view httpDateNow() {
  thread_local std::time_t shown = -1;
  thread_local char text[40];
  thread_local std::size_t length = 0;
  std::time_t now = std::time(nullptr);
  if (now != shown) {
    std::string formatted = httpDate(now);
    length = std::min(formatted.size(), sizeof text);
    std::memcpy(text, formatted.data(), length);
    shown = now;
  }
  return {text, length};
}

namespace {

// The whole file; false when it cannot be read or changed size meanwhile.
bool readAll(const std::string& path, std::string& out, long long size) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  out.resize(static_cast<std::size_t>(size));
  std::size_t got = 0;
  while (got < out.size()) {
    ssize_t n = ::read(fd, out.data() + got, out.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return got == out.size();
}

std::string fingerprintOf(std::string_view bytes) {
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  char hex[2 * sizeof digest + 1];
  sodium_bin2hex(hex, sizeof hex, digest, sizeof digest);
  return std::string(hex, 10);
}

bool isUniqueUploadName(std::string_view name) {
  if (name.size() < 33 || (name[32] != '.' && name[32] != '-')) return false;
  for (char c : name.substr(0, 32))
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  std::string_view type = contentTypeFor(name);
  return type == "image/jpeg" || type == "image/png" || type == "image/gif" || type == "image/webp";
}

}  // namespace

bool queryNamesFingerprint(std::string_view query, std::string_view fingerprint) {
  if (fingerprint.empty()) return false;
  while (!query.empty()) {
    std::size_t amp = query.find('&');
    std::string_view pair = query.substr(0, amp);
    if (pair.size() == 2 + fingerprint.size() && pair.substr(0, 2) == "v=" && pair.substr(2) == fingerprint)
      return true;
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return false;
}

std::shared_ptr<const StaticFile> StaticFiles::kept(const std::string& path) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
  long long mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  std::shared_lock lock(mutex_);
  auto it = files_.find(path);
  if (it != files_.end() && it->second->size == static_cast<long long>(st.st_size) && it->second->mtimeNs == mtimeNs)
    return it->second;
  return nullptr;
}

std::shared_ptr<const StaticFile> StaticFiles::get(const std::string& path) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
  long long mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  long long size = static_cast<long long>(st.st_size);
  {
    std::shared_lock lock(mutex_);
    auto it = files_.find(path);
    if (it != files_.end() && it->second->size == size && it->second->mtimeNs == mtimeNs) return it->second;
  }
  auto file = std::make_shared<StaticFile>();
  file->size = size;
  file->mtimeNs = mtimeNs;
  char tag[64];
  std::snprintf(tag, sizeof tag, "\"%llx-%llx\"", static_cast<unsigned long long>(size),
                static_cast<unsigned long long>(mtimeNs / 1000000));
  file->etag = tag;
  file->lastModified = httpDate(st.st_mtim.tv_sec);
  std::string_view name = std::string_view(path).substr(path.rfind('/') + 1);
  file->contentType = std::string(contentTypeFor(name));
  if (file->contentType.rfind("text/", 0) == 0 || file->contentType == "application/javascript")
    file->contentType += "; charset=gb2312";
  file->immutable = isUniqueUploadName(name);
  if (size > kKeepLimit) return file;  // not kept: large files go out with sendfile
  auto bytes = std::make_shared<std::string>();
  if (!readAll(path, *bytes, size)) return nullptr;
  file->fingerprint = fingerprintOf(*bytes);
  file->gzipped = gzipVariant(file->contentType, *bytes);
  if (file->gzipped) file->gzipEtag = file->etag.substr(0, file->etag.size() - 1) + "-gz\"";
  file->bytes = std::move(bytes);
  std::unique_lock lock(mutex_);
  auto& slot = files_[path];
  if (slot) kept_ -= slot->size;
  if (kept_ + size > kTotalLimit) {
    files_.clear();  // many distinct files: start over rather than grow
    kept_ = 0;
  }
  files_[path] = file;
  kept_ += size;
  return file;
}

}  // namespace tovi::host
