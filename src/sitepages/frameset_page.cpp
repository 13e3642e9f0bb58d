#include "sitepages/frameset_page.h"

#include "frame/module1.h"

namespace tovi::sitepages {

void adminframe::main() {
  using namespace frame::Module1;
  if (Session().Get("admin").blank()) Response().Redirect("login.asp");
  Response().Write(R"(<html>
<head>
<title>岚禾网络订餐系统1.0版</title>
<meta http-equiv='Content-Type' content='text/html; charset=gb2312'>
</head>
<frameset cols='180,*' frameborder='0' border='0' framespacing='0'>
  <frame src='menu.asp' name='left' scrolling='auto' noresize marginwidth='0' marginheight='0'>
  <frame src='admin.asp' name='right' scrolling='auto' marginwidth='8' marginheight='8'>
  <noframes><body>您的浏览器不支持框架，请直接打开 <a href='admin.asp'>admin.asp</a>。</body></noframes>
</frameset>
</html>
)");
}

}  // namespace tovi::sitepages
