// Set-Cookie and Location values as GBK browsers read them back.
#include "host/response_values.h"

#include "host/reply.h"

#include <cstdlib>
#include <ctime>

#include "support/testing.h"

TEST(ResponseValues, CookieLines) {
  // The pages' clock is the server's local time (the site's is China's); expiry is sent in GMT.
  const char* tz = std::getenv("TZ");
  const std::string kept = tz ? tz : "";
  setenv("TZ", "CST-8", 1);
  tzset();
  frame::ResponseCookie plain, keys, dated;
  plain.value = "中文 1";
  keys.set("name_time", "2024-3-9 10:00:00 a-b_c.d~e&=;");
  keys.set("Name_Times", "张");
  dated.expires = data::DateTime{2030, 1, 2, 3, 4, 5};
  dated.path = "/admin";
  const std::tuple<const char*, frame::ResponseCookie, const char*> cases[] = {
      {"plain", plain, "plain=%D6%D0%CE%C4%201; path=/"},
      {"tamlo", keys, "tamlo=name_time=2024-3-9%2010%3A00%3A00%20a-b_c.d~e%26%3D%3B&Name_Times=%D5%C5; path=/"},
      {"名", dated, "%C3%FB=; expires=Tue, 01 Jan 2030 19:04:05 GMT; path=/admin"}};
  for (const auto& [name, cookie, line] : cases) EXPECT_EQ(host::setCookieLine(name, cookie), line);
  tz ? setenv("TZ", kept.c_str(), 1) : unsetenv("TZ");
  tzset();
}

// Other than ASCII as GBK; blanks and control bytes encoded, so no header line is split.
TEST(ResponseValues, LocationUrls) {
  const std::pair<const char*, const char*> cases[] = {
      {"login.asp", "login.asp"}, {"./Index.asp?x=中", "./Index.asp?x=%D6%D0"},         {"€5", "%805"},
      {"a b", "a%20b"},           {"x\r\nSet-Cookie: y=1", "x%0D%0ASet-Cookie:%20y=1"}, {"", ""}};
  for (const auto& [url, sent] : cases) EXPECT_EQ(host::locationUrl(url), sent) << url;
}

TEST(ResponseValues, WhichAcceptEncodingTakesGzip) {
  for (const auto& [header, takes] : std::vector<std::pair<const char*, bool>>{
           {"", false}, {"identity", false}, {"deflate, br", false}, {"gzip;q=0", false}, {"br, GZIP ; q=0.000", false},
           {"*;q=0, gzip;q=0", false}, {"gzip, *;q=0", true}, {"x-gzip", true}, {"gzip;q=0.001", true},
           {"deflate, gzip;level=1;q=1.0", true}, {"*", true}, {"*, gzip;q=0", false}})
    EXPECT_EQ(host::acceptsGzip(header), takes) << header;
}
