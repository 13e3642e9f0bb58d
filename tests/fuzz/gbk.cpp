// GBK at the site's edges. For any bytes: decoding gives UTF-8, ASCII stays
// as it is. For any text (the input read as UTF-8 when it is, and the decoded
// bytes): encoding and decoding again gives the text back, each character
// GBK lacks as its &#N; reference; and bytes whose every character GBK holds
// come back byte for byte (the euro sign aside).
#include "host/gbk.h"

#include "frame/text.h"
#include "fuzz.h"

using namespace tovi::fuzz;
using tovi::host::fromGbk;
using tovi::host::toGbk;

// How many non-ASCII characters of `text` stand in `back` as references, the
// rest as they are; -1 when `back` is another text.
static int references(std::string_view text, std::string_view back) {
  int n = 0;
  std::size_t j = 0;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t start = i;
    char32_t c = tovi::frame::nextChar(text, i);
    std::string_view literal = text.substr(start, i - start);
    std::string ref = "&#" + std::to_string(static_cast<unsigned long>(c)) + ";";
    if (back.substr(j, literal.size()) == literal)
      j += literal.size();
    else if (c >= 0x80 && back.substr(j, ref.size()) == ref)
      j += ref.size(), ++n;
    else
      return -1;
  }
  return j == back.size() ? n : -1;
}

static void roundTrip(const std::string& text) {
  std::string wire = toGbk(text);
  check(toGbk(std::string(text)) == wire, "the two toGbk overloads differ");
  check(references(text, fromGbk(wire)) >= 0, "GBK round trip changed the text");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes = asText(data, size);
  std::string text = fromGbk(bytes);
  check(validUtf8(text), "fromGbk gave invalid UTF-8");
  check(!tovi::host::isAscii(bytes) || text == bytes, "fromGbk changed ASCII");
  roundTrip(text);
  if (validUtf8(bytes)) roundTrip(std::string(bytes));
  // Bytes that decode cleanly into characters GBK holds: encoded back as sent
  // (but the euro sign, which GB18030 spells A2E3 and GBK 80).
  std::string wire = toGbk(text);
  if (text.find("\xEF\xBF\xBD") == std::string::npos && text.find("\xE2\x82\xAC") == std::string::npos &&
      references(text, fromGbk(wire)) == 0)
    check(wire == bytes, "GBK bytes did not come back as sent");
  return 0;
}
