#include "sitepages/member_pages.h"

#include "frame/http_details.h"
#include "frame/module1.h"
#include "frame/request_guard.h"
#include "frame/text.h"
#include "sitepages/account_kit.h"
#include "sitepages/passwords.h"

namespace tovi::sitepages {
namespace {

using namespace frame::Module1;

// Blanks as the form's \s matches them at the ends.
std::string trimSpace(std::string_view s) {
  const char* ws = " \t\r\n\f\v";
  std::size_t b = s.find_first_not_of(ws);
  if (b == std::string_view::npos) return "";
  std::size_t e = s.find_last_not_of(ws);
  return std::string(s.substr(b, e - b + 1));
}

long requestedMember() {
  std::optional<long> id = kit::positiveId(Request().QueryString("id"));
  if (!id) kit::alertBack("参数错误：用户编号必须是整数！");
  return *id;
}

data::Recordset& openMember(long id) {
  data::Recordset& rs = newRs();
  rs.Open(data::Sql("select * from reg where id=?", {data::Value(id)}), *conn(), data::adOpenKeyset,
          data::adLockOptimistic);
  if (rs.Eof()) kit::alertBack("该用户不存在或已被删除！");
  return rs;
}

}  // namespace

bool validMemberPassword(std::string_view password) {
  std::string p = trimSpace(password);
  if (p.size() < 5 || p.size() > 15) return false;
  for (char c : p) {
    bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
              c == '.';
    if (!ok) return false;
  }
  return true;
}

void reg2::main() {
  openAdminDb();
  checkAdmin();
  frame::requirePostFromSite();
  long id = requestedMember();
  std::string sh = frame::trim(Request().Form("sh"));
  if (sh != "0" && sh != "1") kit::alertBack("请选择审核与否！");
  std::string password = Request().Form("password");
  std::string password1 = Request().Form("password1");
  bool newPassword = !password.empty() || !password1.empty();
  if (newPassword) {
    if (!validMemberPassword(password))
      kit::alertBack(
          "密码填写不正确,请重新填写！可使用的字符为（A-Z a-z 0-9 _ - .)长度不小于5个字符，不超过15个字符，注意不要使用空格。");
    if (password != password1) kit::alertBack("两次填写的密码不一致，请重新填写！");
  }
  data::Recordset& rs = openMember(id);
  rs("sh") = data::Value(sh == "1" ? 1 : 0);
  if (newPassword) rs("password") = data::Value(hashPassword(trimSpace(password)));
  rs.Update();
  rs.Close();
  kit::alertGo("保存成功！", "reg.asp");
}

void reg3::main() {
  openAdminDb();
  checkAdmin();
  long id = requestedMember();
  if (!frame::iequals(Http().method(), "POST")) {
    data::Recordset& rs = openMember(id);
    std::string name = frame::htmlEncode(rs("names").text());
    rs.Close();
    Response().Write(kit::confirmDeletePage("删除前台用户", "确定要删除前台用户“<b>" + name + "</b>”吗？删除后不能恢复。",
                                            "reg3.asp?id=" + std::to_string(id), "window.location.href='reg.asp'"));
    return;
  }
  frame::requirePostFromSite();
  openMember(id).Close();
  conn()->Execute(data::Sql("delete from reg where id=?", {data::Value(id)}));
  kit::alertGo("删除成功！", "reg.asp");
}

}  // namespace tovi::sitepages
