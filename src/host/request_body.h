// The form a posted body carries, read by its Content-Type: url-encoded
// name=value pairs, or multipart/form-data fields and uploaded files.
// Names, values and file names arrive as GBK and are kept as UTF-8.
//
//   PostedForm f = parseForm("application/x-www-form-urlencoded", "a=%D6%D0&b=1");   // a="中", b="1"
//   PostedForm u = parseForm("multipart/form-data; boundary=XyZ", body);           // fields and files
//
// Without a Content-Type the body is read as url-encoded. Any other type, or
// a multipart body that cannot be read, gives an empty form: the parts before
// the first malformed one are kept. Pure: safe from any thread.
#pragma once

#include <string_view>
#include <vector>

#include "frame/http_details.h"
#include "host/request_values.h"

namespace tovi::host {

struct PostedForm {
  Pairs fields;                             // in order; repeated names allowed
  std::vector<frame::UploadedFile> files;   // the parts with a file name
};

[[nodiscard]] PostedForm parseForm(std::string_view contentType, std::string_view body);

}  // namespace tovi::host
