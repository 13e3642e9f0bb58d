#include "frame/text.h"

#include "data/value.h"

namespace tovi::frame {

std::string htmlEncode(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string jsString(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\'': out += "\\'"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '<': out += "\\x3C"; break;  // no "</script>" or "<!--" can close the element
      case '>': out += "\\x3E"; break;
      case '&': out += "\\x26"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          static const char* hex = "0123456789ABCDEF";
          out += "\\x";
          out += hex[(c >> 4) & 0xF];
          out += hex[c & 0xF];
        } else {
          out += c;
        }
    }
  }
  // U+2028 and U+2029 end a line inside older script engines.
  out = replaceAll(out, "\xE2\x80\xA8", "\\u2028");
  return replaceAll(out, "\xE2\x80\xA9", "\\u2029");
}

std::string jsInAttr(std::string_view text) { return htmlEncode(jsString(text)); }

std::string trim(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (b < e && text[b] == ' ') ++b;
  while (e > b && text[e - 1] == ' ') --e;
  return std::string(text.substr(b, e - b));
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (true) {
    std::size_t hit = text.find(from, pos);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(pos, hit - pos));
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text.substr(pos));
  return out;
}

int gbWidth(char32_t c) { return (c > 0 && c < 0x80) ? 1 : 2; }

char32_t nextChar(std::string_view s, std::size_t& pos) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char b0 = byte(pos);
  if (b0 < 0x80) {
    ++pos;
    return b0;
  }
  int len = (b0 & 0xE0) == 0xC0 ? 2 : (b0 & 0xF0) == 0xE0 ? 3 : (b0 & 0xF8) == 0xF0 ? 4 : 0;
  if (len == 0 || pos + len > s.size()) {
    ++pos;
    return 0xFFFD;
  }
  char32_t c = b0 & (0x7F >> len);
  for (int i = 1; i < len; ++i) {
    unsigned char b = byte(pos + i);
    if ((b & 0xC0) != 0x80) {
      ++pos;
      return 0xFFFD;
    }
    c = (c << 6) | (b & 0x3F);
  }
  static const char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < minimum[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++pos;
    return 0xFFFD;
  }
  pos += len;
  return c;
}

std::size_t charCount(std::string_view text) {
  std::size_t n = 0;
  for (std::size_t pos = 0; pos < text.size(); ++n) nextChar(text, pos);
  return n;
}

std::string asciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::optional<long> positiveId(std::string_view text) {
  std::string t = trim(text);
  if (!data::isWholeNumber(t) || t.size() > 10) return std::nullopt;
  long long v = std::stoll(t);
  if (v < 1 || v > 2147483647) return std::nullopt;
  return static_cast<long>(v);
}

std::string jsonString(std::string_view utf8) {
  std::string out = "\"";
  auto unit = [&out](unsigned u) {
    static const char hex[] = "0123456789abcdef";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += hex[(u >> shift) & 0xF];
  };
  for (std::size_t pos = 0; pos < utf8.size();) {
    char32_t c = nextChar(utf8, pos);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F && c != '<' && c != '>' && c != '&') {
      out += static_cast<char>(c);
    } else if (c < 0x10000) {
      unit(static_cast<unsigned>(c));
    } else {
      char32_t v = c - 0x10000;
      unit(0xD800 + static_cast<unsigned>(v >> 10));
      unit(0xDC00 + static_cast<unsigned>(v & 0x3FF));
    }
  }
  return out + "\"";
}

std::string percentEncodeUnless(std::string_view bytes, bool (*keep)(unsigned char)) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char c : bytes) {
    if (keep(c)) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string percentEncode(std::string_view bytes) {
  return percentEncodeUnless(bytes, [](unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.' || c == '~';
  });
}

}  // namespace tovi::frame
