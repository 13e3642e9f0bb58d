// Rendered copies of pages whose component promises Output::DatabaseOnly
// (frame/component.h): the answer as sent (status, headers, body bytes),
// kept for one parsed version of the page file and one change stamp of the
// database (data/change_stamp.h).
//
//   auto copy = rendered.find(path, page.get());
//   if (copy && data::changeStamp(copy->database) == copy->stamp) ...answer with it...
//   rendered.keep(path, page, std::move(newCopy));
//
// The parsed page stands for the page file's path, modification time and size:
// PageCache parses it again when the file changes, so a kept copy of the old
// version is never found again. Bounded: a handful of copies, none larger
// than kMaxBody; the least recently found goes first. Safe from any thread.
#pragma once

#include <cstdint>
#include <memory>
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
    std::string database;     // the database file the page reads
    std::uint64_t stamp = 0;  // its change stamp, taken before the page ran
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::shared_ptr<const std::string> body;
  };

  // The copy of the page at `path` rendered from `page`, whatever its stamp
  // (the caller compares it); null when there is none.
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
  mutable std::shared_mutex mutex_;
  std::vector<Entry> entries_;  // most recently kept first
};

}  // namespace tovi::host
