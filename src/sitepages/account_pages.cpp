#include "sitepages/account_pages.h"

#include "frame/http_details.h"
#include "frame/module1.h"
#include "frame/request_guard.h"
#include "frame/text.h"
#include "sitepages/account_kit.h"
#include "sitepages/passwords.h"

namespace tovi::sitepages {
namespace {

using namespace frame::Module1;

const char kBackToList[] = "manageadmin.asp";

// The condition under which account `adminid=?` may stop being a site owner:
// it is none, or another one stays. Checked in the same statement as the
// change: writes to the database file run one at a time, each statement
// whole, so two owners demoting (or deleting) each other at once cannot both
// still count the other.
const char kNotLastOwner[] =
    "(flag is null or flag<>1 or (select count(*) from wq_admin where flag=1) > 1)";

// Whether another account than `except` (0: none) is called `name`.
bool nameTaken(const std::string& name, long except) {
  data::Recordset rs;
  rs.Open(data::Sql("select * from wq_admin where admin=? and adminid<>?", {data::Value(name), data::Value(except)}),
          *conn(), data::adOpenKeyset, data::adLockReadOnly);
  bool taken = !rs.Eof();
  rs.Close();
  return taken;
}

// The right posted in `field`: 1 or 2; 0 when the field is absent; -1 for anything else.
int postedRight(const char* field) {
  std::string v = frame::trim(Request().Form(field));
  if (v.empty()) return 0;
  if (v == "1") return 1;
  if (v == "2") return 2;
  return -1;
}

void checkName(const std::string& name) {
  std::string problem = accountNameProblem(name);
  if (!problem.empty()) kit::alertBack(problem);
}

void checkPassword(const std::string& password) {
  std::string problem = accountPasswordProblem(password);
  if (!problem.empty()) kit::alertBack(problem);
}

// Opens the account `id` for writing into the shared rs; alert when there is none.
data::Recordset& openAccount(long id) {
  data::Recordset& rs = newRs();
  rs.Open(data::Sql("select * from wq_admin where adminid=?", {data::Value(id)}), *conn(), data::adOpenKeyset,
          data::adLockOptimistic);
  if (rs.Eof()) kit::alertBack("该用户不存在或已被删除！");
  return rs;
}

bool isSelf(data::Recordset& rs) {
  return frame::trim(rs("admin").text()) == frame::trim(Session().Get("admin").text());
}

}  // namespace

void saveadmin::main() {
  openAdminDb();
  checkTopAdmin();
  std::string action = frame::asciiLower(frame::trim(Request().QueryString("action")));
  if (action != "edit" && action != "add" && action != "del") kit::alertBack("未知的操作！");

  std::optional<long> id;
  if (action != "add") {
    id = kit::positiveId(Request().QueryString("id"));
    if (!id) kit::alertBack("参数错误：用户编号必须是整数！");
  }
  if (action == "del" && !frame::iequals(Http().method(), "POST")) confirmDelete(*id);
  frame::requirePostFromSite();
  if (action == "edit") edit(*id);
  if (action == "add") add();
  remove(*id);
}

void saveadmin::edit(long id) {
  std::string name = frame::trim(Request().Form("admin"));
  std::string password = Request().Form("password");
  int right = postedRight("flag");
  checkName(name);
  if (!password.empty()) checkPassword(password);
  if (right < 0) kit::alertBack("权限只能是站长或管理员！");

  data::Recordset& rs = openAccount(id);
  if (nameTaken(name, id)) kit::alertBack("该用户名已被其他用户使用！");
  bool self = isSelf(rs);
  if (right == 2 &&
      conn()->Execute(data::Sql(std::string("update wq_admin set flag=2 where adminid=? and ") + kNotLastOwner,
                                {data::Value(id)})) == 0)
    kit::alertBack("这是最后一个站长，不能改为管理员！");
  rs("admin") = data::Value(name);
  if (!password.empty()) rs("password") = data::Value(hashPassword(password));
  if (right > 0) rs("flag") = data::Value(right);
  rs.Update();
  data::Value flag = rs("flag").value();
  rs.Close();
  if (self) {
    Session().Set("admin", data::Value(name));
    Session().Set("flag", flag);
  }
  kit::alertGo("修改成功！", kBackToList);
}

void saveadmin::add() {
  std::string name = frame::trim(Request().Form("admin2"));
  std::string password = Request().Form("password2");
  int right = postedRight("flag2");
  checkName(name);
  if (password.empty()) kit::alertBack("请填写新用户的密码！");
  checkPassword(password);
  if (right <= 0) kit::alertBack("请选择权限：站长或管理员！");
  if (nameTaken(name, 0)) kit::alertBack("该用户名已存在！");

  data::Recordset& rs = newRs();
  rs.Open("select * from wq_admin", *conn(), data::adOpenKeyset, data::adLockOptimistic);
  rs.AddNew();
  rs("admin") = data::Value(name);
  rs("password") = data::Value(hashPassword(password));
  rs("flag") = data::Value(right);
  rs.Update();
  rs.Close();
  kit::alertGo("添加成功！", kBackToList);
}

void saveadmin::confirmDelete(long id) {
  data::Recordset& rs = openAccount(id);
  std::string name = frame::htmlEncode(frame::trim(rs("admin").text()));
  rs.Close();
  std::string sid = std::to_string(id);
  Response().Write(kit::confirmDeletePage("删除后台用户", "确定要删除后台用户“<b>" + name + "</b>”吗？删除后不能恢复。",
                                          "saveadmin.asp?id=" + sid + "&action=del",
                                          "window.location.href='manageadmin.asp'"));
  Response().End();
  throw frame::PageEnd{};
}

void saveadmin::remove(long id) {
  data::Recordset& rs = openAccount(id);
  if (isSelf(rs)) kit::alertBack("不能删除当前登录的用户！");
  rs.Close();
  if (conn()->Execute(data::Sql(std::string("delete from wq_admin where adminid=? and ") + kNotLastOwner,
                                {data::Value(id)})) == 0)
    kit::alertBack("这是最后一个站长，不能删除！");
  kit::alertGo("删除成功！", kBackToList);
}

void renpassword::main() {
  openAdminDb();
  checkAdmin();
  std::string account = frame::trim(Session().Get("admin").text());
  if (frame::asciiLower(Request().QueryString("action")) != "save") {
    Response().Write(kit::pageHead("修改密码") + kit::tableStart("修改密码") +
                     R"(  <form name='renform' method='post' action='renpassword.asp?action=save'>
  <tr>
    <td width='35%' align='right' class='forumRowHighlight'>用户名：</td>
    <td width='65%' class='forumRow'>)" + frame::htmlEncode(account) + R"(</td>
  </tr>
  <tr>
    <td align='right' class='forumRowHighlight'>原密码：</td>
    <td class='forumRow'><input type='password' name='oldpassword' size='20' maxlength='64'></td>
  </tr>
  <tr>
    <td align='right' class='forumRowHighlight'>新密码：</td>
    <td class='forumRow'><input type='password' name='newpassword' size='20' maxlength='16'> <span class='note'>6到16个字符，不能有空格</span></td>
  </tr>
  <tr>
    <td align='right' class='forumRowHighlight'>再输一次新密码：</td>
    <td class='forumRow'><input type='password' name='newpassword2' size='20' maxlength='16'></td>
  </tr>
  <tr>
    <td class='forumRowHighlight'>&nbsp;</td>
    <td class='forumRow'><input class='button' type='submit' name='Submit' value='修 改'></td>
  </tr>
  </form>
</table>
</body>
</html>
)");
    return;
  }
  frame::requirePostFromSite();
  std::string old = Request().Form("oldpassword");
  std::string fresh = Request().Form("newpassword");
  std::string again = Request().Form("newpassword2");
  if (old.empty()) kit::alertBack("请填写原密码！");
  if (fresh != again) kit::alertBack("两次输入的新密码不一致！");
  checkPassword(fresh);

  data::Recordset& rs = newRs();
  rs.Open(data::Sql("select * from wq_admin where admin=?", {data::Value(account)}), *conn(), data::adOpenKeyset,
          data::adLockOptimistic);
  if (rs.Eof()) kit::alertGo("您的用户已不存在，请重新登录！", "login.asp");
  if (verifyPassword(rs("password").text(), old) == PasswordMatch::No) kit::alertBack("原密码错误！");
  rs("password") = data::Value(hashPassword(fresh));
  rs.Update();
  rs.Close();
  kit::alertGo("密码修改成功，下次登录请使用新密码！", "admin.asp");
}

}  // namespace tovi::sitepages
