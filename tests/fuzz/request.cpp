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
  std::string_view target = in.substr(0, nl), headers = nl == std::string_view::npos ? "" : in.substr(nl + 1);
  std::string method = "GET";  // "HEAD /x" or "POST /x" for another method
  for (std::string m : {"HEAD", "POST", "PUT"})
    if (target.starts_with(m + " ")) method = m, target.remove_prefix(m.size() + 1);
  std::string raw = method + " " + std::string(target) + " HTTP/1.1\r\nHost: fuzz\r\n";
  for (char c : headers) raw += c == '\n' ? std::string("\r\n") : std::string(1, c);
  tovi::fuzz::Site::get().answer(raw + (nl == std::string_view::npos ? "\r\n" : "\r\n\r\n"));
  return 0;
}
