#include "backoffice/shell/logout.h"

#include "frame/module1.h"

namespace tovi::backoffice::shell {

void logout::main() {
  using namespace frame::Module1;
  Session().Set("admin", data::Value(""));
  Session().Set("flag", data::Value(""));
  Response().Write("<script language='javascript'>alert('您已成功注销登陆')</script>");
  Response().Redirect("./Index.asp");
}

}  // namespace tovi::backoffice::shell
