#include "host/static_files.h"

#include <cstdio>

#include "frame/text.h"

namespace tovi::host {

std::string_view contentTypeFor(std::string_view fileName) {
  struct Type {
    std::string_view ext, type;
  };
  static constexpr Type kTypes[] = {
      {"html", "text/html"},          {"htm", "text/html"},
      {"css", "text/css"},            {"js", "application/javascript"},
      {"mjs", "application/javascript"}, {"json", "application/json"},
      {"txt", "text/plain"},          {"xml", "text/xml"},
      {"gif", "image/gif"},           {"jpg", "image/jpeg"},
      {"jpeg", "image/jpeg"},         {"png", "image/png"},
      {"bmp", "image/bmp"},           {"svg", "image/svg+xml"},
      {"ico", "image/x-icon"},        {"webp", "image/webp"},
      {"swf", "application/x-shockwave-flash"}, {"woff", "font/woff"},
      {"woff2", "font/woff2"},        {"ttf", "font/ttf"},
      {"otf", "font/otf"},            {"eot", "application/vnd.ms-fontobject"},
      {"map", "application/json"},    {"pdf", "application/pdf"},
      {"mp3", "audio/mpeg"},          {"mp4", "video/mp4"},
  };
  std::size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos) return "application/octet-stream";
  std::string_view ext = fileName.substr(dot + 1);
  for (const Type& t : kTypes)
    if (frame::iequals(ext, t.ext)) return t.type;
  return "application/octet-stream";
}

std::string httpDate(std::time_t t) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[tm.tm_wday], tm.tm_mday,
                kMonths[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

}  // namespace tovi::host
