// Posted forms by their Content-Type: url-encoded, multipart, or none at all.
#include "host/request_body.h"

#include "support/over_http.h"

// "name=value|..." then "field:file name:type:size|..." of each file.
static std::string shown(const host::PostedForm& f) {
  std::string out;
  for (const auto& [name, value] : f.fields) out += name + "=" + value + "|";
  for (const frame::UploadedFile& u : f.files)
    out += u.field + ":" + u.fileName + ":" + u.contentType + ":" + std::to_string(u.bytes.size()) + "|";
  return out;
}

TEST(RequestBody, FormsByTheirType) {
  const std::string part = "--XyZ\r\nContent-Disposition: form-data; name=\"", end = "--XyZ--\r\n";
  const std::string upload = part + "title\"\r\n\r\n" + toGbk("红烧肉") + "\r\n" + part + "pic\"; filename=\"" +
                             toGbk("菜.png") + "\"\r\nContent-Type: image/png\r\n\r\n\x89PNG\r\n\x1a\n\r\n" + end;
  const std::string multipart = "multipart/form-data; boundary=XyZ";
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"application/x-www-form-urlencoded", "a=%D6%D0&b=1+2&a", "a=中|b=1 2|a=|"},
      {"", "a=1", "a=1|"},
      {"Application/X-WWW-Form-Urlencoded; charset=GBK", "a=1", "a=1|"},
      {"text/plain", "a=1", ""},
      {multipart, upload, "title=红烧肉|pic:菜.png:image/png:8|"},
      {"Multipart/Form-Data; boundary=\"XyZ\"", upload, "title=红烧肉|pic:菜.png:image/png:8|"},
      {"multipart/mixed; boundary=XyZ", upload, ""},
      {"multipart/form-data", upload, ""},
      {multipart, "--broken", ""},
      // Parts that are no form field are passed over; a malformed one ends the form.
      {multipart,
       "--XyZ\r\nX-Other: 1\r\n\r\nnone\r\n--XyZ\r\nContent-Disposition: attachment; name=\"b\"\r\n\r\n2\r\n" + part +
           "a\"\r\n\r\n1\r\n--XyZ\r\nContent-Disposition: form-data\r\n\r\n3\r\n--XyZ\r\nno header\r\n\r\nx\r\n" +
           part + "c\"\r\n\r\n4\r\n" + end,
       "a=1|"},
  };
  for (const auto& [type, body, form] : cases)
    EXPECT_EQ(shown(host::parseForm(type, body)), form) << type << "\n" << body;
}
