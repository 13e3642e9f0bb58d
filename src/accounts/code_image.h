// The verification code of the forms that ask for one (back-office login,
// member sign-up, guestbook post) and its image, tovi.getcode (GetCode.asp at
// the web root): a PNG of four random digits. The code goes into the
// visitor's session (key GetCode), replacing the one before; the form's check
// uses it once (codeAccepted). The image is never cached.
//
//   if (!codeAccepted(Request().Form("verifycode"))) alertBack("验证码错误，请重新填写！");
//
// With the start option fixed-code (tests only) the image shows that code.
#pragma once

#include <string>
#include <string_view>

namespace tovi::accounts {

// The session key of the verification code, written by the code image.
inline constexpr char kCodeSessionKey[] = "GetCode";

// A PNG of `code` (digits), 60 by 20 pixels, with noise that does not hide
// the digits. Throws std::runtime_error when libgd cannot encode it.
[[nodiscard]] std::string drawCodeImage(std::string_view code);
// Four random digits, "0000" to "9999".
[[nodiscard]] std::string randomCode();

// Whether `typed` (blanks around it dropped) is the code the last image put
// into the session. The code is spent by this check, right or wrong, so every
// attempt needs a new image. With the start option fixed-code that code is
// accepted when the session holds none. Compared in constant time.
[[nodiscard]] bool codeAccepted(std::string_view typed);

}  // namespace tovi::accounts
