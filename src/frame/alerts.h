// The pages' short answers: an alert, then back to the form or on to a page,
// and the end of the page.
//
//   if (!id) alertBack("订单编号不正确！");
//   alertGo("更改成功！", "ddgl.asp");
#pragma once

#include <string_view>

namespace tovi::frame {

// Writes "<script language=javascript>alert('message');history.go(-1);</script>"
// and ends the page. The message is escaped for the script.
[[noreturn]] void alertBack(std::string_view message);
// Writes an alert with `message` that then goes to `url`, and ends the page.
[[noreturn]] void alertGo(std::string_view message, std::string_view url);

}  // namespace tovi::frame
