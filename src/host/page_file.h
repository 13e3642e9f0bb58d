// Page files: the thin scripts of the site. A .asp file holds literal text and
// script blocks, each of which creates one component and calls its render
// operation (a storefront page has one for the navigation bar, one for its body):
//
//   <%@ Language=VBScript %>
//   <html><body>
//   <%
//   Dim obj
//   Set obj = Server.CreateObject("mabex.kcdgbody")
//   obj.main
//   Set obj = Nothing
//   %>
//   </body></html>
//
// Accepted in the block, in any letter case: Dim, Set x = Server.CreateObject("id"),
// x.op or x.op() (also with Call), Set x = Nothing, blank lines and ' comments.
// Directives <%@ ... %> are ignored (with the line break right after them).
// Each block stands alone: its variable is not known to the next block.
// Anything else (other statements, <%= %>, a block without a component or
// with two, server-side includes) is refused with PageFileError naming the line.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "frame/component.h"

namespace tovi::host {

class PageFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct PageBlock {
  std::string before;                           // literal text before the script block
  const frame::ComponentType* type = nullptr;   // the block's component
  std::vector<const frame::Operation*> calls;   // render operations, in order
};

struct PageFile {
  std::vector<PageBlock> blocks;                // in page order; none for a plain page
  std::string after;                            // literal text after the last block

  // Whether the page runs components and every one of them promises
  // Output::DatabaseOnly, so its answer may be reused (rendered_pages.h).
  [[nodiscard]] bool databaseOnly() const;
};

// Parses a page file's text; component ids and operations are checked against
// `registry` (unknown ids, unknown operations and operations that take
// arguments are refused). Throws PageFileError.
[[nodiscard]] PageFile parsePageFile(std::string_view text, const frame::Registry& registry);

// Parsed page files by path, re-read when the file changes (checked at most
// about once a second per file). Safe from any thread.
class PageCache {
 public:
  explicit PageCache(const frame::Registry& registry) : registry_(registry) {}
  // The parsed page at `path`; null when the file is no longer there (a page
  // deleted since the path was looked up). Throws PageFileError for a refused
  // script and std::runtime_error when the file cannot be read.
  std::shared_ptr<const PageFile> get(const std::string& path);
  // Only what get() would answer without looking at the file (checked less
  // than about a second ago and accepted); null otherwise. Never throws.
  std::shared_ptr<const PageFile> fresh(const std::string& path);

 private:
  struct Entry {
    std::shared_ptr<const PageFile> page;
    std::shared_ptr<const std::string> error;  // the refusal, cached like a page
    long long mtimeNs = 0;
    long long size = -1;
    std::chrono::steady_clock::time_point checked;
  };
  const frame::Registry& registry_;
  std::shared_mutex mutex_;
  std::unordered_map<std::string, Entry> entries_;
};

}  // namespace tovi::host
