// The request target and header lines, as the pages read them: the input's
// first line is the target of a GET ("HEAD /x", "POST /x", "PUT /x" for other
// methods), each further line one header line ("Cookie: a=k=1",
// "X-Forwarded-For: ..."). Checks (fuzz.h): every value a page reads is UTF-8,
// no answer leaves the web root or shows what it hides, and the host never
// fails.
#include "fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in = tovi::fuzz::asText(data, size);
  std::size_t nl = in.find('\n');
  std::string_view target = in.substr(0, nl);
  // "HEAD /x" or "POST /x" for another method.
  std::string method = "GET";
  for (std::string_view m : {"HEAD ", "POST ", "PUT "})
    if (target.substr(0, m.size()) == m) {
      method = std::string(m.substr(0, m.size() - 1));
      target.remove_prefix(m.size());
    }
  std::string raw = method + " " + std::string(target) + " HTTP/1.1\r\nHost: fuzz\r\n";
  if (nl != std::string_view::npos) {
    for (char c : in.substr(nl + 1)) raw += c == '\n' ? std::string("\r\n") : std::string(1, c);
    raw += "\r\n";
  }
  raw += "\r\n";
  tovi::fuzz::Site::get().answer(raw);
  return 0;
}
