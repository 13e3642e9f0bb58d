#include "backoffice/shell/manageadmin.h"

#include "frame/module1.h"
#include "frame/text.h"

namespace tovi::backoffice::shell {
namespace {

const char kHeadings[] = R"(  <tr>
    <td width='23%' align='center' class='forumRowHighlight'>后台用户名</td>
    <td width='21%' align='center' class='forumRowHighlight'>密 码</td>
    <td width='31%' align='center' class='forumRowHighlight'>权 限</td>
    <td width='25%' align='center' class='forumRowHighlight'>操 作</td>
  </tr>
)";

std::string rightButtons(const data::Value& flag) {
  if (flag.isNumber(1))
    return "<input type=radio name=flag value=1 checked>站长　<input name=flag type=radio value=2 >管理员";
  if (flag.isNumber(2))
    return "<input type=radio name=flag value=1>站长　<input name=flag type=radio value=2 checked>管理员";
  return "";
}

}  // namespace

void manageadmin::main() {
  using namespace frame::Module1;
  openAdminDb();
  checkTopAdmin();
  auto& r = Response();
  r.Write(R"(<html>
<head>
<title>岚禾网络订餐系统1.0版</title>
<meta http-equiv='Content-Type' content='text/html; charset=gb2312'>
<link href='../css/style.css' rel='stylesheet' type='text/css'>
</head>
<body>
)");
  r.Write(std::string(R"(<table cellpadding='3' cellspacing='1' border='0' width='100%' class='tableBorder' align=center>
  <tr><th class='tableHeaderText' colspan=5 height=25>后台用户管理</th></tr>
)") + kHeadings);

  data::Recordset& rs = newRs();
  rs.Open("select * from wq_admin order by flag", *conn(), data::adOpenKeyset, data::adLockReadOnly);
  while (!rs.Eof()) {
    std::string id = std::to_string(rs("adminid").value().toInteger());
    r.Write("<form name='form1' method='post' action='saveadmin.asp?action=edit&id=" + id + R"('>
  <tr>
    <td align='center' class='forumRow'><input type='text' name='admin' size='12' value=')" +
            frame::htmlEncode(frame::trim(rs("admin").text())) + R"('></td>
    <td align='center' class='forumRow'><input type='text' name='password' size='12' value=''></td>
    <td align='center' class='forumRow'>)" +
            rightButtons(rs("flag").value()) + R"(</td>
    <td align='center' class='forumRow'><input class='button' type='submit' name='Submit' value='修 改'>&nbsp;<a href='saveadmin.asp?id=)" +
            id + R"(&action=del' onclick="return confirm('您确定要删除此用户吗？');">删除</a></td>
  </tr>
</form>
)");
    rs.MoveNext();
  }
  rs.Close();
  frame::Module1::rs().reset();
  r.Write("</table>\n<br>\n");

  r.Write(std::string(R"(<table cellpadding='3' cellspacing='1' border='0' width='100%' class='tableBorder' align=center>
  <tr><th class='tableHeaderText' colspan=5 height=25>添加系统用户</th></tr>
)") + kHeadings + R"(<form name='form1' method='post' action='saveadmin.asp?action=add'>
  <tr>
    <td align='center' class='forumRow'><input type='text' name='admin2' size='12'></td>
    <td align='center' class='forumRow'><input type='text' name='password2' size='12'></td>
    <td align='center' class='forumRow'><input type=radio name=flag2 value=1>站长　<input type=radio name=flag2 value=2 checked>管理员</td>
    <td align='center' class='forumRow'><input class=button type='submit' name='Submit2' value='添 加'></td>
  </tr>
</form>
</table>
<br>
)");
  r.Write(R"(<table cellpadding='3' cellspacing='1' border='0' width='100%' class='tableBorder' align=center>
  <tr><th class='tableHeaderText' colspan=3 height=25>用户管理说明</th></tr>
  <tr>
    <td width='20%' class='forumRow'></td>
    <td width='60%' class='forumRow' style='line-height:150%'>
 ·站长拥有所有管理权限！<br>
 ·管理员需要站长给予权限。<font color='#666666'>其权限为：除网站系统用户管理。</font><br>
 <font color='#FF9999'>·登陆密码采用MD5不可逆转方式加密，如不修改密码，请留空。 </font></td>
    <td width='20%' class='forumRow'></td>
  </tr>
</table>
</body>
</html>
)");
}

}  // namespace tovi::backoffice::shell
