// Finding what a URL path names in the web root, the way the site's pages
// link (../Images/x.gif, Style.css, ./Index.asp): without regard to letter case,
// and never outside the root.
//
//   WebRoot root("site");
//   Resolved r = root.resolve("/Admin/Login.ASP");   // r.kind == Kind::Page, r.path ".../admin/login.asp"
//
// A top folder may live elsewhere on disk (a mount): an installed site keeps
// its web root read-only and its database and uploaded pictures in a data
// folder, while URLs and the pages' MapPath still name them as database/ and
// uploadpic/ under the root. Top folders may be hidden: the pages' MapPath
// reaches them, URLs never do.
//
//   WebRoot root("/usr/share/tovi/site", {{"database", "/var/lib/tovi"}, {"uploadpic", "/var/lib/tovi/uploadpic"}},
//                {"database"});
//
// Refused (Kind::None, answered 404): anything that is not there; paths with
// ".", ".." or empty names after percent-decoding, back-slashes, NUL bytes,
// names starting with '.', the hidden top folders, database files anywhere,
// script sources other than .asp pages (which are run, never sent), and in
// uploadpic/ anything but pictures.
#pragma once

#include <chrono>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tovi::host {

struct Resolved {
  enum class Kind { None, Page, File, Directory };
  Kind kind = Kind::None;
  std::string path;      // file-system path (for a Directory: without a trailing '/')
  std::string folder;    // the folder of the page relative to the root ("", "admin")
};

class WebRoot {
 public:
  // `mounts`: top folder name (any case matches) -> the directory that holds it.
  using Mounts = std::vector<std::pair<std::string, std::string>>;
  // `hidden`: names of top folders (any case matches) that no URL reaches.
  explicit WebRoot(std::string root, Mounts mounts = {}, std::vector<std::string> hidden = {});
  const std::string& path() const { return root_; }

  // `urlPath` is the raw, still percent-encoded path of the request target.
  [[nodiscard]] Resolved resolve(std::string_view urlPath) const;
  // resolve() for pages and files, remembered for about a second (they are
  // asked for far more often than they change). Safe from any thread.
  [[nodiscard]] Resolved resolveCached(std::string_view urlPath);
  // Only what resolveCached() remembers (fresh); None when it would have to look.
  [[nodiscard]] Resolved remembered(std::string_view urlPath);
  // The default page of a directory (index.asp, default.asp, index.html), or None.
  [[nodiscard]] Resolved defaultDocument(const Resolved& dir) const;

  // Server.MapPath: `path` relative to the page folder `folder` (or to the root
  // when it starts with '/'), normalised, existing names matched without regard
  // to case, a mounted top folder mapped to its directory. Throws
  // std::invalid_argument when it would leave the root.
  [[nodiscard]] std::string mapPath(std::string_view folder, std::string_view path) const;

 private:
  // The directory of the mounted top folder `name`, or null.
  const std::string* mountOf(std::string_view name) const;
  bool hidden(std::string_view topName) const;

  std::string root_;
  Mounts mounts_;  // names lower-case, directories absolute
  std::vector<std::string> hidden_;
  struct Remembered {
    Resolved resolved;
    std::chrono::steady_clock::time_point at;
  };
  std::shared_mutex cacheMutex_;
  std::unordered_map<std::string, Remembered> cache_;
};

// Whether a file name (any case) may never be sent as it is.
[[nodiscard]] bool isHiddenName(std::string_view name);

}  // namespace tovi::host
