#include "backoffice/shell/reg1.h"

#include "frame/module1.h"
#include "frame/text.h"

namespace tovi::backoffice::shell {
namespace {

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

}  // namespace tovi::backoffice::shell
