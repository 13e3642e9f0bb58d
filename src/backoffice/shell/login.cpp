// The back-office login: the form, its check and the logout.
//
// mabex.login (admin/login.asp): the login form. It posts admin, password and
// verifycode to chkadmin.asp and shows the code image ../GetCode.asp. Reads
// nothing from the request or the session: every visitor gets the same page.
// No failure path.
//
// tovi.chkadmin (admin/chkadmin.asp): the login check (accounts/sign_in.h).
// Accepts a login when the verification code matches the one the code image
// put into the session (each code serves one check only, right or wrong), the
// name is an account of wq_admin and the password matches it. Then it stores
// the account's name and right in the session keys admin and flag, gives the
// visitor a new session id and opens the frameset index.asp in the whole window.
// A stored MD5 digest that matches is replaced by an argon2id hash. An account
// with one-time codes is not logged in yet: its login is held in the session
// and the visitor goes to chkcode.asp; an account without, when the site owner
// asks every account for them, goes to enrol on twofactor.asp first.
// Refusals: one alert and back to login.asp, the same answer for an unknown
// name and a wrong password; the session keys stay as they were. Too many
// failures from one address or for one name are refused for a while without
// being checked. A GET, or a post from another site, changes nothing and goes
// back to login.asp. With the start option fixed-code (tests only) that code
// is also accepted when the session holds none.
//
// tovi.chkcode (admin/chkcode.asp): the code step of a held login
// (accounts/one_time_codes.h). GET shows the form; a same-site POST of
// `otpcode` (six digits, or a recovery code) completes the login as chkadmin
// does. A wrong or reused code gets a wrong password's answer, counts with the
// same throttle and ends the held login. Without a held login it is an
// ordinary back-office page (checkAdmin) that opens index.asp.
//
// mabex.logout (admin/logout.asp): empties the session keys admin and flag
// and forgets a held login (the session itself stays), and sends the browser
// to ./Index.asp, whose guards then ask for a new login. Works the same for a
// visitor who never logged in. No failure path.
#include <memory>
#include <string>

#include "accounts/code_image.h"
#include "accounts/one_time_codes.h"
#include "accounts/sign_in.h"
#include "data/recordset.h"
#include "frame/admin_page.h"
#include "frame/component.h"
#include "frame/http_details.h"
#include "frame/module1.h"
#include "frame/request_guard.h"
#include "frame/text.h"

namespace tovi::backoffice::shell {
namespace {

using namespace frame::Module1;

class login : public frame::Component {
 public:
  void main();
};

class chkcode : public frame::Component {
 public:
  explicit chkcode(std::shared_ptr<accounts::SignInGate> gate) : gate_(std::move(gate)) {}
  void main();

 private:
  std::shared_ptr<accounts::SignInGate> gate_;
};

class logout : public frame::Component {
 public:
  void main();
};

class chkadmin : public frame::Component {
 public:
  explicit chkadmin(std::shared_ptr<accounts::SignInGate> gate) : gate_(std::move(gate)) {}
  void main();

 private:
  std::shared_ptr<accounts::SignInGate> gate_;
};

[[noreturn]] void refuse(std::string_view message) {
  Response().Write("<script language=javascript>alert('" + frame::jsString(message) +
                   "');window.location.href='login.asp';</script>");
  Response().End();
  throw frame::PageEnd{};  // End never returns; this tells the compiler
}

// A wrong or reused one-time code gets a wrong password's answer.
const char kWrong[] = "用户名或密码错误，请重新登录！";

[[noreturn]] void enter() {
  Response().Write("<script language=javascript>top.location.href='index.asp';</script>");
  Response().End();
  throw frame::PageEnd{};
}

}  // namespace

void login::main() {
  auto& r = Response();
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

void chkadmin::main() {
  if (!frame::postedFromSite()) {
    Response().Write("<script language=javascript>window.location.href='login.asp';</script>");
    Response().End();
  }
  std::string name = frame::trim(Request().Form("admin"));
  std::string password = Request().Form("password");
  // The code serves one check only, whatever its outcome.
  bool codeOk = accounts::codeAccepted(Request().Form("verifycode"));
  accounts::SignIn in = gate_->attempt(accounts::kOperators, name, password, codeOk, &openAdminDb);
  switch (in.outcome) {
    case accounts::SignIn::Throttled: refuse("登录失败次数过多，请十五分钟后再试！");
    case accounts::SignIn::WrongCode: refuse("验证码错误，请重新登录！");
    case accounts::SignIn::Wrong: refuse("用户名或密码错误，请重新登录！");
    case accounts::SignIn::Right: break;
  }
  in.complete(password);
  data::Recordset& rs = *frame::Module1::rs();
  std::string account = frame::trim(rs("admin").text());
  data::Value flag = rs("flag").value();
  const long id = static_cast<long>(rs("adminid").value().toInteger());
  rs.Close();
  if (in.secondFactor || accounts::otpRequired()) {
    accounts::holdLogin(id, !in.secondFactor);
    Response().Write(std::string("<script language=javascript>top.location.href='") +
                     (in.secondFactor ? "chkcode.asp" : "twofactor.asp") + "';</script>");
    Response().End();
  }
  accounts::dropHeldLogin();  // one of another account, from an earlier try
  Session().Set("admin", data::Value(account));
  Session().Set("flag", flag.isNull() ? data::Value("") : flag);
  enter();
}

void chkcode::main() {
  std::optional<accounts::HeldLogin> held = accounts::heldLogin();
  openAdminDb();
  if (!held || held->enrol) {
    checkAdmin();
    enter();
  }
  if (!frame::iequals(Http().method(), "POST")) {
    Response().Write(frame::pageHead("登录验证") + frame::tableStart("两步验证") +
                     R"(  <form name='codeform' method='post' action='chkcode.asp'>
  <tr>
    <td width='35%' align='right' class='forumRowHighlight'>动态验证码：</td>
    <td width='65%' class='forumRow'><input type='text' name='otpcode' size='12' maxlength='16' autocomplete='one-time-code' autofocus> <span class='note'>手机验证器上的六位数字，或一个恢复码</span></td>
  </tr>
  <tr>
    <td class='forumRowHighlight'>&nbsp;</td>
    <td class='forumRow'><input class='button' type='submit' name='Submit' value='登 录'></td>
  </tr>
  </form>
</table>
</body>
</html>
)");
    return;
  }
  frame::requirePostFromSite();
  const std::string code = frame::trim(Request().Form("otpcode"));
  data::Recordset& rs = newRs();
  rs.Open(data::Sql("select * from wq_admin where adminid=?", {data::Value(held->adminid)}), *conn(),
          data::adOpenKeyset, data::adLockReadOnly);
  const std::string name = rs.Eof() ? "" : frame::trim(rs("admin").text());
  rs.Close();
  accounts::SignIn::Outcome outcome =
      gate_->confirm(name, [&] { return !name.empty() && accounts::useSecondFactor(held->adminid, code); });
  if (outcome != accounts::SignIn::Right) {
    accounts::dropHeldLogin();  // a wrong code starts over from the password, as a wrong password does
    refuse(outcome == accounts::SignIn::Throttled ? "登录失败次数过多，请十五分钟后再试！" : kWrong);
  }
  if (!accounts::releaseLogin(held->adminid)) refuse(kWrong);
  enter();
}

void logout::main() {
  accounts::dropHeldLogin();
  Session().Set("admin", data::Value(""));
  Session().Set("flag", data::Value(""));
  Response().Write("<script language='javascript'>alert('您已成功注销登陆')</script>");
  Response().Redirect("./Index.asp");
}

namespace {

const frame::PageRegistration pages([](frame::Registry& registry) {
  registry.addMain<login>("mabex.login");
  registry.addMain<logout>("mabex.logout");
  // One gate for the server's lifetime: the failure counts and the decoy hash.
  auto gate = std::make_shared<accounts::SignInGate>(accounts::makeLoginThrottle(registry.sharedState(), "operators"));
  registry.add("tovi.chkadmin", [gate] { return std::make_unique<chkadmin>(gate); },
               {frame::op("main", &chkadmin::main)});
  registry.add("tovi.chkcode", [gate] { return std::make_unique<chkcode>(gate); }, {frame::op("main", &chkcode::main)});
});

}  // namespace
}  // namespace tovi::backoffice::shell
