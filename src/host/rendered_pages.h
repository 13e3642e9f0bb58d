// Rendered copies of pages whose component promises Output::DatabaseOnly
// (frame/component.h): the answer as sent (status, headers, body bytes),
// kept for one parsed version of the page file and one change stamp of the
// database, read from the source serve() was given (a function that main
// builds over the database: data/change_stamp.h for the SQLite file).
//
//   RenderedPages rendered([path] { return data::changeStamp(path); });
//   if (auto copy = rendered.current(path, page.get())) ...answer with it...
//   std::optional<std::uint64_t> stamp = rendered.stamp();   // before the page runs
//   rendered.keep(path, page, std::move(newCopy));          // newCopy->stamp = *stamp
//
// The parsed page stands for the page file's path, modification time and size:
// PageCache parses it again when the file changes, so a kept copy of the old
// version is never found again. Bounded: a handful of copies, none larger
// than kMaxBody; the least recently found goes first. Safe from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <utility>
#include <vector>

#include "host/page_file.h"

namespace tovi::host {

class RenderedPages {
 public:
  static constexpr std::size_t kEntries = 8;
  static constexpr std::size_t kMaxBody = 1u << 20;

  struct Copy {
    std::uint64_t stamp = 0;  // the database's change stamp, taken before the page ran
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::shared_ptr<const std::string> body;
    std::shared_ptr<const std::string> gzipped;  // the body compressed once (reply.h's gzipVariant), or null
  };

  // Without a stamp source no copy is ever current.
  explicit RenderedPages(std::function<std::uint64_t()> stamp = {});

  // The database's change stamp now; nothing without a source or when it
  // fails (a missing or locked database: then nothing is kept or reused).
  [[nodiscard]] std::optional<std::uint64_t> stamp() const;
  // The copy of the page at `path` rendered from `page` while the database
  // was as it is now; null otherwise.
  [[nodiscard]] std::shared_ptr<const Copy> current(const std::string& path, const PageFile* page) const;
  // The copy of the page at `path` rendered from `page`, whatever its stamp;
  // null when there is none.
  [[nodiscard]] std::shared_ptr<const Copy> find(const std::string& path, const PageFile* page) const;
  // Keeps a copy (replacing the one of the same path); a body above kMaxBody is not kept.
  void keep(const std::string& path, std::shared_ptr<const PageFile> page, std::shared_ptr<const Copy> copy);
  [[nodiscard]] std::size_t size() const;

 private:
  struct Entry {
    std::string path;
    std::shared_ptr<const PageFile> page;  // held, so its address is not reused by a later version
    std::shared_ptr<const Copy> copy;
  };
  std::function<std::uint64_t()> stamp_;
  mutable std::shared_mutex mutex_;
  std::vector<Entry> entries_;  // most recently kept first
};

}  // namespace tovi::host
