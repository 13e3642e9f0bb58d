// Cookies with sub-keys. The input's first line is a Cookie header: its names
// are trimmed and every value the pages read of them is UTF-8. The further
// lines are key/value texts, written as the host writes a cookie's sub-keys
// (each part percent-encoded GBK) and read back: each key finds the value
// first written under it (letter case aside), as GBK carried it.
#include "frame/text.h"
#include "fuzz.h"
#include "host/gbk.h"
#include "host/request_values.h"

namespace {

using namespace tovi::host;
using tovi::fuzz::validUtf8;

void readHeader(std::string_view header) {
  for (const auto& [name, raw] : parseCookieHeader(header)) {
    FUZZ_CHECK(name.find(';') == std::string::npos && raw.find(';') == std::string::npos, "a cookie pair keeps a ';'");
    FUZZ_CHECK(name.empty() || (name.front() != ' ' && name.back() != ' '), "a cookie name keeps a blank");
    FUZZ_CHECK(validUtf8(cookieText(raw)), "a cookie's text is not UTF-8");
    std::size_t eq = raw.find('=');
    std::string firstKey = cookieText(std::string_view(raw).substr(0, eq));
    for (std::string_view key : {std::string_view(firstKey), std::string_view("k")})
      FUZZ_CHECK(validUtf8(cookieSubKey(raw, key)), "a cookie's sub-key is not UTF-8");
  }
}

std::string written(std::string_view text) { return percentEncode(toGbk(text)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in = tovi::fuzz::asText(data, size);
  std::size_t nl = in.find('\n');
  readHeader(in.substr(0, nl));
  if (nl == std::string_view::npos) return 0;

  // Percent-encoding any bytes decodes back to them.
  std::string_view rest = in.substr(nl + 1);
  FUZZ_CHECK(percentDecode(percentEncode(rest), true) == rest, "percent round trip changed bytes");

  std::vector<std::string> lines;
  while (!rest.empty() && lines.size() < 16) {
    std::size_t end = rest.find('\n');
    lines.push_back(fromGbk(rest.substr(0, end)));  // any bytes made text
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }
  while (lines.size() < 2 || lines.size() % 2) lines.emplace_back();
  std::string value;
  for (std::size_t i = 0; i < lines.size(); i += 2)
    value += (i ? "&" : "") + written(lines[i]) + "=" + written(lines[i + 1]);
  Pairs cookies = parseCookieHeader("other=1; tamlo=" + value + "; last=2");
  FUZZ_CHECK(cookies.size() == 3 && cookies[1].first == "tamlo" && cookies[1].second == value,
             "a written cookie did not come back whole");
  for (std::size_t i = 0; i < lines.size(); i += 2) {
    std::string expected;
    for (std::size_t j = 0; j < lines.size(); j += 2)
      if (tovi::frame::iequals(fromGbk(toGbk(lines[j])), lines[i])) {
        expected = fromGbk(toGbk(lines[j + 1]));
        break;
      }
    FUZZ_CHECK(cookieSubKey(value, lines[i]) == expected, "a sub-key did not read back what was written");
  }
  FUZZ_CHECK(cookieText(written(lines[0])) == fromGbk(toGbk(lines[0])), "a whole cookie did not read back");
  return 0;
}
