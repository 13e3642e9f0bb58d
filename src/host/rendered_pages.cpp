#include "host/rendered_pages.h"

#include <algorithm>
#include <mutex>

namespace tovi::host {

RenderedPages::RenderedPages(std::function<std::uint64_t()> stamp) : stamp_(std::move(stamp)) {}

std::optional<std::uint64_t> RenderedPages::stamp() const {
  if (!stamp_) return std::nullopt;
  try {
    return stamp_();
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::shared_ptr<const RenderedPages::Copy> RenderedPages::current(const std::string& path, const PageFile* page) const {
  std::shared_ptr<const Copy> copy = find(path, page);
  if (!copy) return nullptr;
  std::optional<std::uint64_t> now = stamp();
  return now && *now == copy->stamp ? copy : nullptr;
}

std::shared_ptr<const RenderedPages::Copy> RenderedPages::find(const std::string& path, const PageFile* page) const {
  std::shared_lock lock(mutex_);
  for (const Entry& e : entries_)
    if (e.path == path) return e.page.get() == page ? e.copy : nullptr;
  return nullptr;
}

void RenderedPages::keep(const std::string& path, std::shared_ptr<const PageFile> page,
                         std::shared_ptr<const Copy> copy) {
  if (!page || !copy || !copy->body || copy->body->size() > kMaxBody) return;
  std::unique_lock lock(mutex_);
  auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.path == path; });
  if (it != entries_.end()) entries_.erase(it);
  entries_.insert(entries_.begin(), Entry{path, std::move(page), std::move(copy)});
  if (entries_.size() > kEntries) entries_.pop_back();
}

std::size_t RenderedPages::size() const {
  std::shared_lock lock(mutex_);
  return entries_.size();
}

}  // namespace tovi::host
