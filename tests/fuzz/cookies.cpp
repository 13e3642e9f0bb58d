// Cookies with sub-keys. The input's first line is a Cookie header: its names
// are trimmed and every value the pages read of them is UTF-8. The further
// lines are key/value texts, written as the host writes a cookie's sub-keys
// (each part percent-encoded GBK) and read back: each key finds the value
// first written under it (letter case aside), as GBK carried it.
#include "frame/text.h"
#include "fuzz.h"
#include "host/gbk.h"
#include "host/request_values.h"

using namespace tovi::host;
using namespace tovi::fuzz;

static std::string written(std::string_view text) { return percentEncode(toGbk(text)); }
static std::string carried(std::string_view text) { return fromGbk(toGbk(text)); }  // what GBK keeps of it

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in = asText(data, size);
  std::size_t nl = in.find('\n');
  for (const auto& [name, raw] : parseCookieHeader(in.substr(0, nl))) {
    check(name.find(';') == std::string::npos && raw.find(';') == std::string::npos, "a cookie pair keeps a ';'");
    check(name.empty() || (name.front() != ' ' && name.back() != ' '), "a cookie name keeps a blank");
    check(validUtf8(cookieText(raw)), "a cookie's text is not UTF-8");
    for (const std::string& key : {cookieText(std::string_view(raw).substr(0, raw.find('='))), std::string("k")})
      check(validUtf8(cookieSubKey(raw, key)), "a cookie's sub-key is not UTF-8");
  }
  if (nl == std::string_view::npos) return 0;

  // Percent-encoding any bytes decodes back to them.
  std::string_view rest = in.substr(nl + 1);
  check(percentDecode(percentEncode(rest), true) == rest, "percent round trip changed bytes");
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
  check(cookies.size() == 3 && cookies[1] == std::pair<std::string, std::string>("tamlo", value),
        "a written cookie did not come back whole");
  for (std::size_t i = 0; i < lines.size(); i += 2) {
    std::size_t j = 0;  // the first key written that reads as this one
    while (j < lines.size() && !tovi::frame::iequals(carried(lines[j]), lines[i])) j += 2;
    check(cookieSubKey(value, lines[i]) == (j < lines.size() ? carried(lines[j + 1]) : ""),
          "a sub-key did not read back what was written");
  }
  check(cookieText(written(lines[0])) == carried(lines[0]), "a whole cookie did not read back");
  return 0;
}
