#include "backoffice/shell/login.h"

#include "frame/module1.h"

namespace tovi::backoffice::shell {

void login::main() {
  auto& r = frame::Module1::Response();
  r.Write(R"(<HTML>
<HEAD>
<TITLE>岚禾网络订餐系统1.0版</TITLE>
<meta http-equiv='Content-Type' content='text/html; charset=gb2312'>
<link rel='stylesheet' href='../css/css.css' type='text/css'>
</head>
)");
  r.Write(R"(<body text='#000000' leftmargin='0' topmargin='0' marginwidth='0' marginheight='0' background='../images/loginbg.gif'>
<table width='100%' height='100%' border='0' cellspacing='0' cellpadding='0' align='center' background='../images/loginbg.gif'>
  <tr>
    <td align='center' bgcolor='#D9DDF7'>
      <table border='0' cellspacing='0' cellpadding='0'>
        <tr>
          <td width='323' height='202' background='../Images/login1.gif'>　</td>
          <td width='323' height='202' background='../Images/login2.gif' valign='bottom' align='center'>
)");
  r.Write(R"( <form method='post' action='chkadmin.asp' name='adminlogin'>
            <table border='0' width='92%' cellspacing='1' cellpadding='2'>
              <tr>
                <td width='30%' align='right'>用户名：</td>
                <td><input type='text' name='admin' id='admin' size='16' maxlength='16' title='请填写用户名' style='border:0; font-size:9pt; height:16px'></td>
              </tr>
              <tr>
                <td align='right'>密　码：</td>
                <td><input type='password' name='password' size='16' maxlength='16' title='请填写密码' style='border:0; font-size:9pt; height:16px'></td>
              </tr>
              <tr>
                <td align='right'>验证码：</td>
                <td><input type='text' name='verifycode' id='verifycode' size='8' maxlength='50' title='请填写验证码' style='border:0; font-size:9pt; height:16px'>
  <img src=../GetCode.asp vspace='2' align='absbottom'> </td>
              </tr>
              <tr>
                <td height='32'>&nbsp;</td>
                <td height='32'><input type='submit' name='Submit2' value='提交' style='height:18; font-size:12px'>&nbsp;<input type='reset' name='Submit' value='重置' style='height:18; font-size:12px'></td>
              </tr>
            </table>
 </form>
)");
  r.Write(R"(          </td>
        </tr>
        <tr>
          <td width='323' height='202' background='../Images/login3.gif'></td>
          <td width='323' height='202' background='../Images/login4.gif'></td>
        </tr>
      </table>
    </td>
  </tr>
</table>
</body>
</HTML>
)");
}

}  // namespace tovi::backoffice::shell
