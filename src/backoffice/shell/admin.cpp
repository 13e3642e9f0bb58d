// mabex.admin (admin/admin.asp): the back-office home page shown in the frame
// `right`: a welcome text on the right levels, the version and the makers.
// Runs checkAdmin first; a visitor it refuses sees only its answer.
#include "frame/component.h"
#include "frame/module1.h"

namespace tovi::backoffice::shell {
namespace {

class admin : public frame::Component {
 public:
  void main();
};

}  // namespace

void admin::main() {
  using namespace frame::Module1;
  checkAdmin();
  auto& r = Response();
  r.Write(R"(<HTML>
<title>岚禾网络订餐系统1.0版</title>
<link rel='stylesheet' href='../css/Style.css' type='text/css'>
<style type='text/css'>
<!--
.STYLE1 {color: #666666}
-->
</style>
<BODY>
)");
  r.Write(R"(<table cellpadding='3' cellspacing='1' border='0' width='100%' class='tableBorder' align='center'>
  <tr><th class='tableHeaderText' colspan='2' height='25'>岚禾统一后台</th></tr>
  <tr>
    <td width='20%' class='forumRowHighlight' height='23'>使用设置</td>
    <td width='80%' class='forumRow' style='line-height:150%'>　第一次使用本系统，请点击左边管理导航菜单中的“常规设置”对你的网站信息和一些网站配置参数进行配置。</td>
  </tr>
  <tr>
    <td class='forumRowHighlight' height='23'>站　　长</td>
    <td class='forumRow' style='line-height:150%'>　拥有所有权限。第一次使用时请修改密码后重新登陆。请到“用户管理”－“系统用户管理”设置系统用户！</td>
  </tr>
  <tr>
    <td class='forumRowHighlight' height='23'>管 理 员</td>
    <td class='forumRow' style='line-height:150%'>　需要站长给予权限。其权限为：除网站基本信息外的所有管理。</td>
  </tr>
</table>
<br>
)");
  r.Write(R"(<table cellpadding='3' cellspacing='1' border='0' width='100%' class='tableBorder' align='center'>
  <tr><th class='tableHeaderText' colspan='2' height='25'>版本信息</th></tr>
  <tr>
    <td width='20%' class='forumRowHighlight' height='23'>目前版本</td>
    <td width='80%' class='forumRow' style='line-height:150%'>　岚禾统一后台</td>
  </tr>
  <tr>
    <td class='forumRowHighlight' height='23'>版权声明</td>
    <td class='forumRow' style='line-height:150%'>　本订餐系统供本店网上订餐使用。后台账号只发给本店工作人员，请勿把密码告诉他人；顾客的姓名、电话和地址只用于送餐，不得外传。<span class='STYLE1'>（Tovi 订餐系统）</span></td>
  </tr>
</table>
<br>
)");
  r.Write(R"(<table cellpadding='3' cellspacing='1' border='0' width='100%' class='tableBorder' align='center'>
  <tr><th class='tableHeaderText' colspan='2' height='25'>开发信息</th></tr>
  <tr>
    <td width='20%' class='forumRowHighlight' height='23'>程序制作</td>
    <td width='80%' class='forumRow' style='line-height:150%'>　Tovi 订餐系统开发组</td>
  </tr>
  <tr>
    <td class='forumRowHighlight' height='23'>联系方式</td>
    <td class='forumRow' style='line-height:150%'>　电话：0591-8700 0000　电子邮件：support@tovi.example</td>
  </tr>
  <tr>
    <td class='forumRowHighlight' height='23'>官方网站</td>
    <td class='forumRow' style='line-height:150%'>　<a href='https://tovi.example/' target='_blank'>https://tovi.example/</a></td>
  </tr>
</table>
</BODY>
</HTML>
)");
}

namespace {

const frame::PageRegistration pages([](frame::Registry& registry) {
  registry.addMain<admin>("mabex.admin");
});

}  // namespace
}  // namespace tovi::backoffice::shell
