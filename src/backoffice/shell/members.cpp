// The members of table reg in the back office: the list, one member's record
// and its save, and the delete.
//
// mabex.reg (admin/reg.asp): the registered members of table reg, twenty to a
// page in the database's own order, each with its approval state and links to
// view (reg1.asp?id=) and delete (reg3.asp?id=). The wanted page comes in
// CurrentPage (query or form): not a number gives page 1, below 1 page 1,
// beyond the last page the last page; it never fails. An empty table gives
// "暂无用户！！" and nothing more. Runs openAdminDb and checkAdmin first.
//
// mabex.reg1 (admin/reg1.asp?id=N): one member's record, read-only except a
// new password (twice) and the approval switch sh, in a form that posts to
// reg2.asp?id=N after the browser-side check(theform). Runs openAdminDb and
// checkAdmin first. An id that is missing, not a whole number or matches no
// member gets an alert and a step back; nothing else is written.
//
// tovi.reg2 (admin/reg2.asp?id=N), the target of that form: a same-site POST
// with sh (1 approved, 0 not) and, when a new password is wanted, password and
// password1. Stores sh and, when given, an argon2id hash of the password, then
// back to reg.asp. Refused with an alert and nothing changed: a GET or a post
// from elsewhere, a missing or non-numeric id, an unknown member, sh other
// than 0 or 1, a password that is not 5 to 15 of A-Z a-z 0-9 _ - . (blanks
// around it are dropped) or differs from password1.
//
// tovi.reg3 (admin/reg3.asp?id=N): a GET shows a confirmation page whose button
// posts the same address; that same-site POST deletes the member and goes
// back to reg.asp. Bad or unknown ids get an alert.
#include <optional>
#include <string>

#include "accounts/passwords.h"
#include "accounts/rules.h"
#include "frame/admin_page.h"
#include "frame/alerts.h"
#include "frame/component.h"
#include "frame/http_details.h"
#include "frame/module1.h"
#include "frame/page_selector.h"
#include "frame/request_guard.h"
#include "frame/text.h"

namespace tovi::backoffice::shell {
namespace {

class reg : public frame::Component {
 public:
  void main();
};

class reg1 : public frame::Component {
 public:
  void main();
};

class reg2 : public frame::Component {
 public:
  void main();
};

class reg3 : public frame::Component {
 public:
  void main();
};

const char kCheckScript[] = R"(<script language='javascript'>
function isNumberString(InString, RefString)
{
  if (InString.length == 0) return (false);
  for (var Count = 0; Count < InString.length; Count++) {
    var TempChar = InString.substring(Count, Count + 1);
    if (RefString.indexOf(TempChar, 0) == -1) return (false);
  }
  return (true);
}
function check(theform)
{
  if (theform.password.value != "" || theform.password1.value != "") {
    if (!/^\s*[.A-Za-z0-9_-]{5,15}\s*$/.test(theform.password.value)) {
      alert("密码填写不正确,请重新填写！可使用的字符为（A-Z a-z 0-9 _ - .)长度不小于5个字符，不超过15个字符，注意不要使用空格。");
      theform.password.focus();
      theform.password.select();
      return false;
    }
    if (theform.password.value != theform.password1.value) {
      alert("两次填写的密码不一致，请重新填写！");
      theform.password1.focus();
      theform.password1.select();
      return false;
    }
  }
  if (theform.question.value == "") {
    alert("请填写您的密码提示问题！");
    theform.question.focus();
    theform.question.select();
    return false;
  }
  if (theform.answer.value == "") {
    alert("请填写您的密码提示答案！");
    theform.answer.focus();
    theform.answer.select();
    return false;
  }
  if (theform.email.value == "") {
    alert("请输入您的电子邮件地址！");
    theform.email.focus();
    theform.email.select();
    return false;
  }
  if (!/^\s*([A-Za-z0-9_-]+(\.\w+)*@(\w+\.)+\w{2,3})\s*$/.test(theform.email.value)) {
    alert("邮件地址不正确,请重新填写！");
    theform.email.focus();
    theform.email.select();
    return false;
  }
  if (theform.tel.value.length < 7 || theform.tel.value.length > 12 || !isNumberString(theform.tel.value, "1234567890-")) {
    alert("\请输入可用联系电话 !!");
    theform.tel.focus();
    theform.tel.select();
    return false;
  }
  return true;
}
</script>
)";

std::string row(const char* label, const std::string& cell) {
  return std::string("  <tr>\n    <td width='123' height='20' align='center' class='STYLE1'>") + label +
         "</td>\n    <td>" + cell + "</td>\n  </tr>\n";
}

std::string readOnly(const char* name, const std::string& value) {
  return std::string("<input name='") + name + "' type='text' value='" + frame::htmlEncode(value) +
         "' size='50' readonly>";
}

[[noreturn]] void refuse(const char* message) {
  frame::Module1::Response().Write(std::string("<script language=javascript>alert('") + message +
                                   "');history.go(-1);</script>");
  frame::Module1::Response().End();
  throw frame::PageEnd{};  // End never returns; this tells the compiler
}

}  // namespace

void reg::main() {
  using namespace frame::Module1;
  openAdminDb();
  checkAdmin();
  auto& r = Response();
  r.Write("<link href='../css/Style.css' rel='stylesheet' type='text/css' />");
  r.Write(frame::pageSelectorScript("myForm"));

  data::Recordset& rs = newRs();
  rs.Open("select * from reg", *conn(), data::adOpenKeyset, data::adLockOptimistic);
  rs.PageSize(20);
  if (rs.Eof() && rs.Bof()) {
    r.Write("暂无用户！！");
    r.End();
  }
  const long pages = rs.PageCount();
  const long total = rs.RecordCount();
  const long page = frame::wantedPage(Request()("CurrentPage"), pages);
  rs.AbsolutePage(page);

  std::string table = R"(<table cellpadding='3' cellspacing='1' border='0' width='100%' class='tableBorder' align=center >
<tr><th class='tableHeaderText' colspan=5>前台用户管理</th></tr>
)";
  for (int i = 0; i < 20 && !rs.Eof(); ++i) {
    std::string id = std::to_string(rs("id").value().toInteger());
    bool approved = rs("sh").value().isNumber(1);
    table += R"(<tr>
  <td width='34%' align='left' class='forumRowHighlight'>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;用 户 名:&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;)" +
             frame::htmlEncode(rs("names").text()) + R"(</td>
  <td width='22%' align='center' class='forumRowHighlight'>)" +
             (approved ? "已 审 核" : "未 审 核") + R"(</td>
  <td width='22%' align='center' class='forumRowHighlight'><a href='reg1.asp?id=)" +
             id + R"('>查 看 资 料</a></td>
  <td width='22%' align='center' class='forumRowHighlight'><a href='reg3.asp?id=)" +
             id + R"('>删 除 用 户</a></td>
</tr>
)";
    rs.MoveNext();
  }
  table += "</table>\n";
  r.Write(table);

  std::string nav = "<form name='myForm' method='get' action='reg.asp'><p align='center'>";
  nav += frame::pageSelectorLinks(page, pages);
  nav += "第<select size=1 name=CurrentPage onchange=PageCurrent()>";
  for (long p = 1; p <= pages; ++p)
    nav += (p == page ? "<option selected>" : "<option>") + std::to_string(p) + "</option>";
  nav += "</select>页/共" + std::to_string(pages) + "页共" + std::to_string(total) + "条记录</font><p>";
  nav += "</form>";
  r.Write(nav);
  rs.Close();
}

void reg1::main() {
  using namespace frame::Module1;
  openAdminDb();
  checkAdmin();
  auto& r = Response();
  r.Write("<link href='../css/Style.css' rel='stylesheet' type='text/css' />");
  r.Write(kCheckScript);

  std::string id = frame::trim(Request()("id"));
  if (!data::isWholeNumber(id) || id.size() > 9) refuse("参数错误：用户编号必须是整数！");
  data::Recordset& rs = newRs();
  rs.Open(data::Sql("select * from reg where id=?", {data::Value(std::stol(id))}), *conn(), data::adOpenKeyset,
          data::adLockOptimistic);
  if (rs.Eof()) refuse("该用户不存在或已被删除！");

  r.Write(R"(<style type='text/css'>
<!--
.STYLE1 {font-size: 12px}
.STYLE2 {font-size: 12}
.STYLE5 {color: #FF0000}
.STYLE6 {color: #000000}
-->
</style>
)");
  auto text = [&](const char* field) { return rs(field).text(); };
  bool male = rs("sex").value().isNumber(1);
  bool approved = rs("sh").value().isNumber(1);
  std::string form = "<form name='theform' action='./reg2.asp?id=" + std::to_string(std::stol(id)) +
                     "' method='post' onSubmit='return check(this)'>\n"
                     "<table width='100%' border='1' cellpadding='0' cellspacing='0' bordercolor='#FFFFFF' "
                     "bgcolor='#DADAE9' class='tableBorder'><tr>\n";
  form += row("用户名：", readOnly("yhm", text("names")));
  form += row("密码：", "<input name='password' type='password' size='50'>");
  form += row("密码确认：", "<input name='password1' type='password' size='50'>");
  form += row("密码提示问题：", readOnly("question", text("question")));
  form += row("密码提示答案：", readOnly("answer", text("answer")));
  form += row("性别：", male ? "男" : "女");
  form += row("联系电话：", readOnly("tel", text("tel")));
  form += row("详细地址：", readOnly("address", text("address")));
  form += row("电子邮件：", readOnly("email", text("email")));
  form += row("邮编：", readOnly("qtbz", text("postcode")));
  form += row("注册时间：", readOnly("dates", text("dates")));
  form += row("出生年月：", readOnly("zffs", text("yearss") + "年" + text("monthss") + "月" + text("dayss") + "日"));
  form += row("行业：", readOnly("verify", text("vocation")));
  form += row("职业：", readOnly("verify", text("profession")));
  form += row("教育程度：", readOnly("verify", text("education")));
  form += row("工资：", readOnly("verify", text("income")));
  form += row("审核与否：", approved ? "<input type='radio' name='sh' value='1' checked>审核 "
                                       "<input type='radio' name='sh' value='0'>不审核"
                                     : "<input type='radio' name='sh' value='1'>审核 "
                                       "<input type='radio' name='sh' value='0' checked>不审核");
  form += R"(  <tr><td height='20' colspan='2'>&nbsp;</td></tr>
  <tr>
    <td height='30' colspan='2' align='center'><input type='submit' name='Submit' value=' 提 交 ' /> <input type='reset' name='Submit2' value=' 重 置 ' /> <input type='button' name='back' value=' 返 回 ' onclick='history.go(-1)' /></td>
  </tr>
</table>
</form>
)";
  r.Write(form);
  rs.Close();
}

namespace {

using namespace frame::Module1;

long requestedMember() {
  std::optional<long> id = frame::positiveId(Request().QueryString("id"));
  if (!id) frame::alertBack("参数错误：用户编号必须是整数！");
  return *id;
}

data::Recordset& openMember(long id) {
  data::Recordset& rs = newRs();
  rs.Open(data::Sql("select * from reg where id=?", {data::Value(id)}), *conn(), data::adOpenKeyset,
          data::adLockOptimistic);
  if (rs.Eof()) frame::alertBack("该用户不存在或已被删除！");
  return rs;
}

}  // namespace

void reg2::main() {
  openAdminDb();
  checkAdmin();
  frame::requirePostFromSite();
  long id = requestedMember();
  std::string sh = frame::trim(Request().Form("sh"));
  if (sh != "0" && sh != "1") frame::alertBack("请选择审核与否！");
  std::string password = Request().Form("password");
  std::string password1 = Request().Form("password1");
  bool newPassword = !password.empty() || !password1.empty();
  if (newPassword) {
    if (!accounts::validMemberPassword(password))
      frame::alertBack(
          "密码填写不正确,请重新填写！可使用的字符为（A-Z a-z 0-9 _ - .)长度不小于5个字符，不超过15个字符，注意不要使用空格。");
    if (password != password1) frame::alertBack("两次填写的密码不一致，请重新填写！");
  }
  data::Recordset& rs = openMember(id);
  rs("sh") = data::Value(sh == "1" ? 1 : 0);
  if (newPassword) rs("password") = data::Value(accounts::hashPassword(accounts::storedMemberPassword(password)));
  rs.Update();
  rs.Close();
  frame::alertGo("保存成功！", "reg.asp");
}

void reg3::main() {
  openAdminDb();
  checkAdmin();
  long id = requestedMember();
  if (!frame::iequals(Http().method(), "POST")) {
    data::Recordset& rs = openMember(id);
    std::string name = frame::htmlEncode(rs("names").text());
    rs.Close();
    Response().Write(frame::confirmDeletePage("删除前台用户", "确定要删除前台用户“<b>" + name + "</b>”吗？删除后不能恢复。",
                                            "reg3.asp?id=" + std::to_string(id), "window.location.href='reg.asp'"));
    return;
  }
  frame::requirePostFromSite();
  openMember(id).Close();
  conn()->Execute(data::Sql("delete from reg where id=?", {data::Value(id)}));
  frame::alertGo("删除成功！", "reg.asp");
}

namespace {

const frame::PageRegistration pages([](frame::Registry& registry) {
  registry.addMain<reg>("mabex.reg");
  registry.addMain<reg1>("mabex.reg1");
  registry.addMain<reg2>("tovi.reg2");
  registry.addMain<reg3>("tovi.reg3");
});

}  // namespace
}  // namespace tovi::backoffice::shell
