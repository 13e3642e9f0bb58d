// tovi.getcode (GetCode.asp at the web root): the login form's verification
// code, a PNG of four random digits. The code goes into the visitor's session
// (key GetCode, see login_check.h), replacing the one before; the login check
// uses it once. The image is never cached.
//
// With the start option fixed-code (tests only) the image shows that code.
#pragma once

#include <string>
#include <string_view>

#include "frame/component.h"

namespace tovi::sitepages {

class getcode : public frame::Component {
 public:
  void main();
};

// A PNG of `code` (digits), 60 by 20 pixels, with noise that does not hide
// the digits. Throws std::runtime_error when libgd cannot encode it.
[[nodiscard]] std::string drawCodeImage(std::string_view code);
// Four random digits, "0000" to "9999".
[[nodiscard]] std::string randomCode();

}  // namespace tovi::sitepages
