// Posted bodies, url-encoded or multipart: the input's first line is the
// Content-Type, the rest the body, posted to the probe page. Checks as for
// the request target (fuzz.h), over form fields and uploaded files' names.
#include "fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in = tovi::fuzz::asText(data, size);
  std::size_t nl = in.find('\n');
  if (nl == std::string_view::npos) return 0;
  std::string_view type = in.substr(0, nl), body = in.substr(nl + 1);
  if (type.find('\r') != std::string_view::npos) return 0;
  std::string raw = "POST /probe.asp?b=1 HTTP/1.1\r\nHost: fuzz\r\nContent-Type: " + std::string(type) +
                    "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + std::string(body);
  tovi::fuzz::Site::get().answer(raw);
  return 0;
}
