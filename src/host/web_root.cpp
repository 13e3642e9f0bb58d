#include "host/web_root.h"

#include <dirent.h>
#include <sys/stat.h>

#include <filesystem>
#include <stdexcept>
#include <vector>

#include "frame/text.h"
#include "host/request_values.h"

namespace tovi::host {
namespace {

bool endsWithI(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && frame::iequals(s.substr(s.size() - suffix.size()), suffix);
}

// The entry of `dir` called `name` without regard to case; exact name first.
// Empty when there is none.
std::string findEntry(const std::string& dir, std::string_view name, struct stat& st) {
  std::string exact = dir + "/" + std::string(name);
  if (::stat(exact.c_str(), &st) == 0) return exact;
  DIR* d = ::opendir(dir.c_str());
  if (!d) return "";
  std::string found;
  while (dirent* e = ::readdir(d)) {
    if (frame::iequals(e->d_name, name)) {
      std::string candidate = dir + "/" + e->d_name;
      if (::stat(candidate.c_str(), &st) == 0 && (found.empty() || candidate < found)) found = candidate;
    }
  }
  ::closedir(d);
  if (!found.empty()) ::stat(found.c_str(), &st);
  return found;
}

bool isPageName(std::string_view name) { return endsWithI(name, ".asp"); }

// Visitors' uploads land in uploadpic/: whatever someone managed to put there
// must never run or be sent as a page, so only pictures come out of it.
constexpr std::string_view kUploadFolder = "uploadpic";

bool underUploads(std::string_view folder) {
  while (!folder.empty()) {
    std::size_t slash = folder.find('/');
    if (frame::iequals(folder.substr(0, slash), kUploadFolder)) return true;
    if (slash == std::string_view::npos) break;
    folder.remove_prefix(slash + 1);
  }
  return false;
}

bool isPictureName(std::string_view name) {
  for (std::string_view ext : {".jpg", ".jpeg", ".png", ".gif"})
    if (endsWithI(name, ext)) return true;
  return false;
}

// A resolved target as the upload rule lets it out.
Resolved guardUploads(Resolved r) {
  if (r.kind == Resolved::Kind::Page || r.kind == Resolved::Kind::File) {
    std::string_view name = std::string_view(r.path).substr(r.path.rfind('/') + 1);
    if (underUploads(r.folder) && (r.kind == Resolved::Kind::Page || !isPictureName(name))) return {};
  }
  return r;
}

}  // namespace

bool isHiddenName(std::string_view name) {
  if (name.empty() || name.front() == '.') return true;
  static const char* const kSuffixes[] = {".asa", ".inc", ".cer", ".cdx", ".mdb", ".ldb", ".mdb-wal", ".mdb-shm",
                                          ".mdb-journal", ".bak", ".db", ".sqlite"};
  for (const char* s : kSuffixes)
    if (endsWithI(name, s)) return true;
  return false;
}

namespace {

std::string absoluteDir(const std::string& dir) {
  std::string out = std::filesystem::absolute(dir).lexically_normal().string();
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

}  // namespace

WebRoot::WebRoot(std::string root, Mounts mounts, std::vector<std::string> hidden)
    : root_(absoluteDir(root)), hidden_(std::move(hidden)) {
  for (auto& [name, dir] : mounts) mounts_.emplace_back(frame::asciiLower(name), absoluteDir(dir));
}

bool WebRoot::hidden(std::string_view topName) const {
  for (const std::string& h : hidden_)
    if (frame::iequals(h, topName)) return true;
  return false;
}

const std::string* WebRoot::mountOf(std::string_view name) const {
  for (const auto& [n, dir] : mounts_)
    if (frame::iequals(n, name)) return &dir;
  return nullptr;
}

Resolved WebRoot::resolve(std::string_view urlPath) const {
  Resolved out;
  std::string decoded = percentDecode(urlPath, false);
  std::vector<std::string_view> names;
  std::string_view rest = decoded;
  while (!rest.empty()) {
    std::size_t slash = rest.find('/');
    std::string_view name = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (name.empty()) continue;
    if (name == "." || name == ".." || name.front() == '.') return out;
    if (name.find('\\') != std::string_view::npos || name.find('\0') != std::string_view::npos) return out;
    names.push_back(name);
  }
  if (!names.empty() && hidden(names.front())) return out;

  // A mounted top folder is looked up in its own directory.
  std::string base = root_, prefix;
  std::size_t first = 0;
  if (!names.empty())
    if (const std::string* m = mountOf(names.front())) {
      base = *m;
      prefix = frame::asciiLower(names.front());
      first = 1;
    }
  struct stat st{};
  // The common case: the path is spelt as on disk.
  std::string path = base;
  for (std::size_t i = first; i < names.size(); ++i) (path += '/') += names[i];
  if (::stat(path.c_str(), &st) != 0) {
    path = base;
    if (::stat(base.c_str(), &st) != 0) return out;
    for (std::size_t i = first; i < names.size(); ++i) {
      if (!S_ISDIR(st.st_mode)) return out;
      std::string next = findEntry(path, names[i], st);
      if (next.empty()) return out;
      path = std::move(next);
    }
  }
  std::string rel = path.size() > base.size() ? path.substr(base.size() + 1) : "";
  // The first name matched on disk may differ in case from a hidden one.
  if (first == 0 && hidden(std::string_view(rel).substr(0, rel.find('/')))) return out;
  auto join = [&prefix](std::string_view tail) {
    if (prefix.empty()) return std::string(tail);
    return tail.empty() ? prefix : prefix + "/" + std::string(tail);
  };
  if (S_ISDIR(st.st_mode)) {
    out.kind = Resolved::Kind::Directory;
    out.path = path;
    out.folder = join(rel);
    return out;
  }
  if (!S_ISREG(st.st_mode)) return out;
  std::string_view fileName = std::string_view(path).substr(path.rfind('/') + 1);
  if (isPageName(fileName)) {
    out.kind = Resolved::Kind::Page;
  } else {
    if (isHiddenName(fileName)) return out;
    out.kind = Resolved::Kind::File;
  }
  std::size_t slash = rel.rfind('/');
  out.folder = join(slash == std::string::npos ? std::string_view() : std::string_view(rel).substr(0, slash));
  out.path = std::move(path);
  return guardUploads(std::move(out));
}

Resolved WebRoot::resolveCached(std::string_view urlPath) {
  auto now = std::chrono::steady_clock::now();
  std::string key(urlPath);
  {
    std::shared_lock lock(cacheMutex_);
    auto it = cache_.find(key);
    if (it != cache_.end() && now - it->second.at < std::chrono::seconds(1)) return it->second.resolved;
  }
  Resolved r = resolve(urlPath);
  if (r.kind == Resolved::Kind::Page || r.kind == Resolved::Kind::File) {
    std::unique_lock lock(cacheMutex_);
    if (cache_.size() > 4096) cache_.clear();  // many distinct paths: start over rather than grow
    cache_[key] = Remembered{r, now};
  }
  return r;
}

Resolved WebRoot::remembered(std::string_view urlPath) {
  auto now = std::chrono::steady_clock::now();
  std::shared_lock lock(cacheMutex_);
  auto it = cache_.find(std::string(urlPath));
  if (it != cache_.end() && now - it->second.at < std::chrono::seconds(1)) return it->second.resolved;
  return {};
}

Resolved WebRoot::defaultDocument(const Resolved& dir) const {
  for (const char* name : {"index.asp", "default.asp", "index.html", "index.htm"}) {
    struct stat st{};
    std::string p = findEntry(dir.path, name, st);
    if (!p.empty() && S_ISREG(st.st_mode)) {
      Resolved r;
      r.kind = isPageName(name) ? Resolved::Kind::Page : Resolved::Kind::File;
      r.path = p;
      r.folder = dir.folder;
      return guardUploads(std::move(r));
    }
  }
  return {};
}

std::string WebRoot::mapPath(std::string_view folder, std::string_view path) const {
  std::string rel(path);
  for (char& c : rel)
    if (c == '\\') c = '/';
  std::filesystem::path base = root_;
  if (rel.empty() || rel.front() != '/') base /= std::string(folder);
  std::filesystem::path target = (base / std::filesystem::path(rel).relative_path()).lexically_normal();
  std::filesystem::path relative = target.lexically_relative(root_);
  if (relative.empty() || *relative.begin() == "..")
    throw std::invalid_argument("Server.MapPath: \"" + std::string(path) + "\" lies outside the web root");
  // Match existing names without regard to case, as the URLs do.
  std::string out = root_;
  bool onDisk = true, top = true;
  for (const auto& part : relative) {
    std::string name = part.string();
    if (name == "." || name.empty()) continue;
    if (top) {
      top = false;
      if (const std::string* m = mountOf(name)) {
        out = *m;
        continue;
      }
    }
    struct stat st{};
    std::string next = onDisk ? findEntry(out, name, st) : "";
    if (next.empty()) {
      onDisk = false;
      out += "/" + name;
    } else {
      out = std::move(next);
    }
  }
  return out;
}

}  // namespace tovi::host
