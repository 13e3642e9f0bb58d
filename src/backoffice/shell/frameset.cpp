// tovi.adminframe (admin/index.asp): the back-office frameset, the menu
// (menu.asp) on the left and the frame `right` showing admin.asp. A visitor
// who is not logged in is sent to login.asp instead.
#include "frame/component.h"
#include "frame/module1.h"

namespace tovi::backoffice::shell {
namespace {

class adminframe : public frame::Component {
 public:
  void main();
};

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

const frame::PageRegistration pages([](frame::Registry& registry) {
  registry.addMain<adminframe>("tovi.adminframe");
});

}  // namespace
}  // namespace tovi::backoffice::shell
