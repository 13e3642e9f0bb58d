#include "host/gbk.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

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

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

}  // namespace

std::string fromGbk(std::string_view bytes) {
  if (isAscii(bytes)) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  std::string_view rest = bytes;
  while (!rest.empty()) {
    if (decoder().convert(rest, out) == 0) break;
    // Browsers write the euro sign as the single byte 0x80 in GBK, which
    // GB18030 spells otherwise.
    if (static_cast<unsigned char>(rest.front()) == 0x80) out += "\xE2\x82\xAC";
    // EILSEQ or a sequence cut off at the end: one byte becomes U+FFFD.
    else out += kReplacement;
    rest.remove_prefix(1);
  }
  return out;
}

namespace {

// The GBK bytes of every BMP character, asked of iconv once: 0 when GBK has no
// such character, below 0x100 one byte, else lead byte << 8 | trail byte.
// Characters outside the BMP are never in GBK.
class GbkTable {
 public:
  GbkTable() : codes_(0x10000, 0) {
    Converter enc("GBK", "UTF-32LE");
    for (char32_t c = 0x80; c < 0x10000; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      char in[4] = {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF), 0, 0};
      std::string_view rest(in, sizeof in);
      std::string out;
      if (enc.convert(rest, out) != 0 || out.empty() || out.size() > 2) continue;
      auto b0 = static_cast<unsigned char>(out[0]);
      codes_[c] = out.size() == 1 ? b0 : static_cast<std::uint16_t>(b0 << 8 | static_cast<unsigned char>(out[1]));
    }
  }
  std::uint16_t operator[](char32_t c) const { return c < 0x10000 ? codes_[c] : 0; }

 private:
  std::vector<std::uint16_t> codes_;
};

const GbkTable& gbkTable() {
  static const GbkTable table;
  return table;
}

// The length of the ASCII run at the start of `s`.
std::size_t asciiRun(const char* s, std::size_t n) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, s + i, 8);
    if (w & 0x8080808080808080ULL) break;
  }
  while (i < n && static_cast<unsigned char>(s[i]) < 0x80) ++i;
  return i;
}

// Encodes utf8[from..] onto `out` (which holds the ASCII text before `from`).
// A GBK character never takes more bytes than its UTF-8 form, so the output is
// sized for the input and grows only for references.
void encodeRest(std::string_view utf8, std::size_t from, std::string& out) {
  const GbkTable& table = gbkTable();
  std::size_t used = out.size();
  out.resize(used + (utf8.size() - from) + 16);
  std::size_t pos = from;
  while (pos < utf8.size()) {
    std::size_t run = asciiRun(utf8.data() + pos, utf8.size() - pos);
    std::memcpy(out.data() + used, utf8.data() + pos, run);
    used += run;
    pos += run;
    if (pos >= utf8.size()) break;
    // The common case, a Chinese character (three bytes), is read in place.
    auto b = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
    char32_t c = 0;
    if (pos + 2 < utf8.size() && (b(pos) & 0xF0) == 0xE0 && (b(pos + 1) & 0xC0) == 0x80 && (b(pos + 2) & 0xC0) == 0x80)
      c = (b(pos) & 0x0Fu) << 12 | (b(pos + 1) & 0x3Fu) << 6 | (b(pos + 2) & 0x3Fu);
    if (c >= 0x800 && (c < 0xD800 || c > 0xDFFF)) pos += 3;
    else c = frame::nextChar(utf8, pos);
    std::uint16_t code = table[c];
    if (code == 0) {
      char buf[16];
      int n = std::snprintf(buf, sizeof buf, "&#%lu;", static_cast<unsigned long>(c));
      // Keep room for the rest of the input as well.
      std::size_t need = used + static_cast<std::size_t>(n) + (utf8.size() - pos) + 16;
      if (need > out.size()) out.resize(std::max(need, out.size() * 3 / 2));
      std::memcpy(out.data() + used, buf, static_cast<std::size_t>(n));
      used += static_cast<std::size_t>(n);
    } else if (code < 0x100) {
      out[used++] = static_cast<char>(code);
    } else {
      out[used++] = static_cast<char>(code >> 8);
      out[used++] = static_cast<char>(code & 0xFF);
    }
  }
  out.resize(used);
}

}  // namespace

bool isAscii(std::string_view bytes) noexcept { return asciiRun(bytes.data(), bytes.size()) == bytes.size(); }

void prepareGbk() { (void)gbkTable(); }

std::string toGbk(std::string_view utf8) {
  std::size_t ascii = asciiRun(utf8.data(), utf8.size());
  std::string out;
  out.reserve(utf8.size());
  out.append(utf8.data(), ascii);
  if (ascii < utf8.size()) encodeRest(utf8, ascii, out);
  return out;
}

std::string toGbk(std::string&& utf8) {
  std::size_t ascii = asciiRun(utf8.data(), utf8.size());
  if (ascii == utf8.size()) return std::move(utf8);
  std::string out;
  out.reserve(utf8.size());
  out.append(utf8.data(), ascii);
  encodeRest(utf8, ascii, out);
  return out;
}

}  // namespace tovi::host
