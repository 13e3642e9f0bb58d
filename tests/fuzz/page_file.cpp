// The page-file parser over the site's real component registry. A text is
// either refused with PageFileError naming a line of it, or parsed into
// blocks that each run one registered component's callable operations, with
// no more literal text than the file holds.
#include "host/page_file.h"

#include <algorithm>

#include "fuzz.h"

using namespace tovi;
using namespace tovi::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const frame::Registry registry = [] {
    frame::Registry r;
    frame::registerPages(r);
    return r;
  }();
  std::string_view text = asText(data, size);
  host::PageFile page;
  try {
    page = host::parsePageFile(text, registry);
  } catch (const host::PageFileError& e) {
    long line = 0;
    check(std::sscanf(e.what(), "page script line %ld:", &line) == 1, "a refusal names no line");
    check(line >= 1 && line <= 1 + std::count(text.begin(), text.end(), '\n'), "a refusal names no line of the text");
    return 0;
  }
  std::size_t literal = page.after.size();
  for (const host::PageBlock& b : page.blocks) {
    check(b.type && registry.find(b.type->id) == b.type, "a block without a registered component");
    check(!b.calls.empty(), "a block calls nothing");
    for (const frame::Operation* op : b.calls) check(op && op->run, "a block calls what cannot be called");
    literal += b.before.size();
  }
  check(literal <= text.size(), "more literal text than the file holds");
  if (text.find("<%") == std::string_view::npos) check(page.after == text, "a plain page changed");
  return 0;
}
