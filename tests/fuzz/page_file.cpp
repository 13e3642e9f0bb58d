// The page-file parser over the site's real component registry. A text is
// either refused with PageFileError naming a line of it, or parsed into
// blocks that each run one registered component's callable operations, with
// no more literal text than the file holds.
#include "host/page_file.h"

#include <algorithm>

#include "fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const tovi::frame::Registry registry = [] {
    tovi::frame::Registry r;
    tovi::frame::registerPages(r);
    return r;
  }();
  std::string_view text = tovi::fuzz::asText(data, size);
  tovi::host::PageFile page;
  try {
    page = tovi::host::parsePageFile(text, registry);
  } catch (const tovi::host::PageFileError& e) {
    long line = 0;
    FUZZ_CHECK(std::sscanf(e.what(), "page script line %ld:", &line) == 1, "a refusal names no line");
    FUZZ_CHECK(line >= 1 && line <= 1 + std::count(text.begin(), text.end(), '\n'),
               "a refusal names no line of the text");
    return 0;
  }
  std::size_t literal = page.after.size();
  for (const tovi::host::PageBlock& b : page.blocks) {
    FUZZ_CHECK(b.type && registry.find(b.type->id) == b.type, "a block without a registered component");
    FUZZ_CHECK(!b.calls.empty(), "a block calls nothing");
    for (const tovi::frame::Operation* op : b.calls) FUZZ_CHECK(op && op->run, "a block calls what cannot be called");
    literal += b.before.size();
  }
  FUZZ_CHECK(literal <= text.size(), "more literal text than the file holds");
  if (text.find("<%") == std::string_view::npos) FUZZ_CHECK(page.after == text, "a plain page changed");
  return 0;
}
