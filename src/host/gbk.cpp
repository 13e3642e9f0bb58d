#include "host/gbk.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

#include "frame/text.h"

namespace tovi::host {
namespace {

// One iconv descriptor per thread and direction: iconv_t keeps shift state and
// must not be shared between threads.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error(std::string("iconv_open failed: ") + from + " -> " + to);
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts as much as it can; leaves `in` at the first byte it could not convert.
  // Returns errno of the stop (0 when everything was converted).
  int convert(std::string_view& in, std::string& out) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    int err = 0;
    while (srcLeft > 0) {
      char buf[4096];
      char* dst = buf;
      std::size_t dstLeft = sizeof buf;
      std::size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out.append(buf, static_cast<std::size_t>(dst - buf));
      if (r == static_cast<std::size_t>(-1)) {
        if (errno == E2BIG) continue;
        err = errno;
        break;
      }
    }
    in = std::string_view(src, srcLeft);
    return err;
  }

 private:
  iconv_t cd_;
};

Converter& decoder() {
  thread_local Converter c("UTF-8", "GB18030");
  return c;
}
Converter& encoder() {
  thread_local Converter c("GBK", "UTF-8");
  return c;
}

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

}  // namespace

bool isAscii(std::string_view bytes) noexcept {
  for (unsigned char c : bytes)
    if (c >= 0x80) return false;
  return true;
}

std::string fromGbk(std::string_view bytes) {
  if (isAscii(bytes)) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  std::string_view rest = bytes;
  while (!rest.empty()) {
    if (decoder().convert(rest, out) == 0) break;
    // EILSEQ or a sequence cut off at the end: one byte becomes U+FFFD.
    out += kReplacement;
    rest.remove_prefix(1);
  }
  return out;
}

std::string toGbk(std::string_view utf8) {
  if (isAscii(utf8)) return std::string(utf8);
  std::string out;
  out.reserve(utf8.size());
  std::string_view rest = utf8;
  while (!rest.empty()) {
    if (encoder().convert(rest, out) == 0) break;
    std::size_t pos = 0;
    char32_t c = frame::nextChar(rest, pos);
    out += "&#" + std::to_string(static_cast<unsigned long>(c)) + ";";
    rest.remove_prefix(pos);
  }
  return out;
}

}  // namespace tovi::host
