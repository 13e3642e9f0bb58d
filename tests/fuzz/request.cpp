// The request target and header lines, as the pages read them: the input's
// first line is the target of a GET, each further line one header line
// ("Cookie: a=k=1", "X-Forwarded-For: ..."). Checks (fuzz.h): every value a
// page reads is UTF-8, no answer leaves the web root or shows what it hides,
// and the host never fails.
#include "fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in = tovi::fuzz::asText(data, size);
  std::size_t nl = in.find('\n');
  std::string raw = "GET " + std::string(in.substr(0, nl)) + " HTTP/1.1\r\nHost: fuzz\r\n";
  if (nl != std::string_view::npos) {
    for (char c : in.substr(nl + 1)) raw += c == '\n' ? std::string("\r\n") : std::string(1, c);
    raw += "\r\n";
  }
  raw += "\r\n";
  tovi::fuzz::Site::get().answer(raw);
  return 0;
}
