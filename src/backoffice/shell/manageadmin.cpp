// The back-office accounts of wq_admin: the list with its edit forms, their
// save page, and every operator's own password.
//
// mabex.manageadmin (admin/manageadmin.asp): site owners first, each as a
// small edit form posting to saveadmin.asp?action=edit&id=<adminid> with a
// delete link, then the form to add an account and a note on the right
// levels, and the site owner's choice to ask every account for one-time
// codes. Right 1 only (checkTopAdmin); a refused visitor sees only the
// guard's answer. Reads only.
//
// tovi.saveadmin (admin/saveadmin.asp), right 1 only (checkTopAdmin):
//   POST ?action=edit&id=N  admin, password (empty: unchanged), flag (absent: unchanged)
//   POST ?action=add        admin2, password2, flag2
//   GET  ?id=N&action=del   a confirmation page whose button posts the same address
//   POST ?id=N&action=del   deletes the account
//   POST ?action=otp        required (1: every account signs in with one-time codes too)
// Every change must be a same-site post. Refused, with an alert and nothing
// changed: a missing or non-numeric id, an unknown account, a bad name or
// password (accounts/rules.h), a right other than 1 or 2, a name another
// account has, deleting or demoting the last site owner, deleting one's own
// account. Success: an alert and back to manageadmin.asp. Editing one's own
// account updates the session's admin and flag.
//
// tovi.renpassword (admin/renpassword.asp), any logged-in right (checkAdmin):
// GET shows the form (old password, new twice); POST ?action=save checks the
// old password and stores the new one as argon2id.
//
// tovi.twofactor (admin/twofactor.asp): one's own one-time codes
// (accounts/one_time_codes.h), for any logged-in right (checkAdmin) and for a
// login held until its enrolment (the site owner asks for the codes).
//   GET                 without codes: a new secret (kept in the session until
//                       confirmed) as a QR code and as text, and the form to confirm;
//                       with codes: the form to turn them off
//   POST ?action=on     otpcode: a current code of the new secret turns the codes
//                       on and shows ten recovery codes once; a held login is then
//                       logged in. Before that nothing is stored.
//   POST ?action=off    otpcode: a current code turns them off, unless the site
//                       owner asks for them
#include <optional>

#include "accounts/one_time_codes.h"
#include "accounts/passwords.h"
#include "accounts/rules.h"
#include "frame/admin_page.h"
#include "frame/alerts.h"
#include "frame/component.h"
#include "frame/http_details.h"
#include "frame/module1.h"
#include "frame/request_guard.h"
#include "frame/text.h"

namespace tovi::backoffice::shell {
namespace {

class manageadmin : public frame::Component {
 public:
  void main();
};

class saveadmin : public frame::Component {
 public:
  void main();

 private:
  void edit(long id);
  void add();
  void confirmDelete(long id);
  void remove(long id);
};

class renpassword : public frame::Component {
 public:
  void main();
};

class twofactor : public frame::Component {
 public:
  void main();

 private:
  void show(const std::string& account, const std::string& secret);
  void turnOn(long id, bool held);
  void turnOff(long id, const std::string& secret);
};


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
  r.Write(std::string(R"(<form name='otpform' method='post' action='saveadmin.asp?action=otp'>
<table cellpadding='3' cellspacing='1' border='0' width='100%' class='tableBorder' align=center>
  <tr><th class='tableHeaderText' colspan=2 height=25>两步验证</th></tr>
  <tr>
    <td width='80%' class='forumRow'><input type='checkbox' name='required' value='1')") +
          (accounts::otpRequired() ? " checked" : "") +
          R"(> 所有后台用户登录时还须输入手机验证器上的动态验证码（尚未设置的用户登录后先设置）</td>
    <td width='20%' align='center' class='forumRow'><input class=button type='submit' name='Submit3' value='保 存'></td>
  </tr>
</table>
</form>
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
  std::string problem = accounts::accountNameProblem(name);
  if (!problem.empty()) frame::alertBack(problem);
}

void checkPassword(const std::string& password) {
  std::string problem = accounts::accountPasswordProblem(password);
  if (!problem.empty()) frame::alertBack(problem);
}

// Opens the account `id` for writing into the shared rs; alert when there is none.
data::Recordset& openAccount(long id) {
  data::Recordset& rs = newRs();
  rs.Open(data::Sql("select * from wq_admin where adminid=?", {data::Value(id)}), *conn(), data::adOpenKeyset,
          data::adLockOptimistic);
  if (rs.Eof()) frame::alertBack("该用户不存在或已被删除！");
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
  if (action != "edit" && action != "add" && action != "del" && action != "otp") frame::alertBack("未知的操作！");
  if (action == "otp") {
    frame::requirePostFromSite();
    conn()->Execute(
        data::Sql("update set_tamloall set otp_required=?", {data::Value(Request().Form("required") == "1" ? 1 : 0)}));
    frame::alertGo("设置成功！", kBackToList);
  }

  std::optional<long> id;
  if (action != "add") {
    id = frame::positiveId(Request().QueryString("id"));
    if (!id) frame::alertBack("参数错误：用户编号必须是整数！");
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
  if (right < 0) frame::alertBack("权限只能是站长或管理员！");

  data::Recordset& rs = openAccount(id);
  if (nameTaken(name, id)) frame::alertBack("该用户名已被其他用户使用！");
  bool self = isSelf(rs);
  if (right == 2 &&
      conn()->Execute(data::Sql(std::string("update wq_admin set flag=2 where adminid=? and ") + kNotLastOwner,
                                {data::Value(id)})) == 0)
    frame::alertBack("这是最后一个站长，不能改为管理员！");
  rs("admin") = data::Value(name);
  if (!password.empty()) rs("password") = data::Value(accounts::hashPassword(password));
  if (right > 0) rs("flag") = data::Value(right);
  rs.Update();
  data::Value flag = rs("flag").value();
  rs.Close();
  if (self) {
    Session().Set("admin", data::Value(name));
    Session().Set("flag", flag);
  }
  frame::alertGo("修改成功！", kBackToList);
}

void saveadmin::add() {
  std::string name = frame::trim(Request().Form("admin2"));
  std::string password = Request().Form("password2");
  int right = postedRight("flag2");
  checkName(name);
  if (password.empty()) frame::alertBack("请填写新用户的密码！");
  checkPassword(password);
  if (right <= 0) frame::alertBack("请选择权限：站长或管理员！");
  if (nameTaken(name, 0)) frame::alertBack("该用户名已存在！");

  data::Recordset& rs = newRs();
  rs.Open("select * from wq_admin", *conn(), data::adOpenKeyset, data::adLockOptimistic);
  rs.AddNew();
  rs("admin") = data::Value(name);
  rs("password") = data::Value(accounts::hashPassword(password));
  rs("flag") = data::Value(right);
  rs.Update();
  rs.Close();
  frame::alertGo("添加成功！", kBackToList);
}

void saveadmin::confirmDelete(long id) {
  data::Recordset& rs = openAccount(id);
  std::string name = frame::htmlEncode(frame::trim(rs("admin").text()));
  rs.Close();
  std::string sid = std::to_string(id);
  Response().Write(frame::confirmDeletePage("删除后台用户", "确定要删除后台用户“<b>" + name + "</b>”吗？删除后不能恢复。",
                                          "saveadmin.asp?id=" + sid + "&action=del",
                                          "window.location.href='manageadmin.asp'"));
  Response().End();
  throw frame::PageEnd{};
}

void saveadmin::remove(long id) {
  data::Recordset& rs = openAccount(id);
  if (isSelf(rs)) frame::alertBack("不能删除当前登录的用户！");
  rs.Close();
  if (conn()->Execute(data::Sql(std::string("delete from wq_admin where adminid=? and ") + kNotLastOwner,
                                {data::Value(id)})) == 0)
    frame::alertBack("这是最后一个站长，不能删除！");
  frame::alertGo("删除成功！", kBackToList);
}

void renpassword::main() {
  openAdminDb();
  checkAdmin();
  std::string account = frame::trim(Session().Get("admin").text());
  if (frame::asciiLower(Request().QueryString("action")) != "save") {
    Response().Write(frame::pageHead("修改密码") + frame::tableStart("修改密码") +
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
  <tr>
    <td align='right' class='forumRowHighlight'>两步验证：</td>
    <td class='forumRow'><a href='twofactor.asp'>登录时再输入手机验证器上的动态验证码</a></td>
  </tr>
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
  if (old.empty()) frame::alertBack("请填写原密码！");
  if (fresh != again) frame::alertBack("两次输入的新密码不一致！");
  checkPassword(fresh);

  data::Recordset& rs = newRs();
  rs.Open(data::Sql("select * from wq_admin where admin=?", {data::Value(account)}), *conn(), data::adOpenKeyset,
          data::adLockOptimistic);
  if (rs.Eof()) frame::alertGo("您的用户已不存在，请重新登录！", "login.asp");
  if (accounts::verifyPassword(rs("password").text(), old) == accounts::PasswordMatch::No) frame::alertBack("原密码错误！");
  rs("password") = data::Value(accounts::hashPassword(fresh));
  rs.Update();
  rs.Close();
  frame::alertGo("密码修改成功，下次登录请使用新密码！", "admin.asp");
}

void twofactor::main() {
  openAdminDb();
  std::optional<accounts::HeldLogin> held = accounts::heldLogin();
  if (!held || !held->enrol) checkAdmin();
  long id = held && held->enrol ? held->adminid : 0;
  data::Recordset& rs = newRs();
  if (id)
    rs.Open(data::Sql("select * from wq_admin where adminid=?", {data::Value(id)}), *conn(), data::adOpenKeyset,
            data::adLockReadOnly);
  else
    rs.Open(data::Sql("select * from wq_admin where admin=?", {Session().Get("admin")}), *conn(), data::adOpenKeyset,
            data::adLockReadOnly);
  if (rs.Eof()) frame::alertGo("您的用户已不存在，请重新登录！", "login.asp");
  id = static_cast<long>(rs("adminid").value().toInteger());
  const std::string account = frame::trim(rs("admin").text()), secret = rs("otp_secret").text();
  rs.Close();
  const std::string action = frame::asciiLower(Request().QueryString("action"));
  if (action == "on" || action == "off") {
    frame::requirePostFromSite();
    if (action == "on") turnOn(id, held && held->enrol);
    turnOff(id, secret);
  }
  show(account, secret);
}

void twofactor::show(const std::string& account, const std::string& secret) {
  std::string page = frame::pageHead("两步验证") + frame::tableStart("两步验证");
  auto form = [](const char* action, const char* button) {
    return std::string("  <form name='otpform' method='post' action='twofactor.asp?action=") + action + R"('>
  <tr>
    <td width='35%' align='right' class='forumRowHighlight'>动态验证码：</td>
    <td width='65%' class='forumRow'><input type='text' name='otpcode' size='12' maxlength='6' autocomplete='one-time-code'> <input class='button' type='submit' name='Submit' value=')" +
           button + R"('></td>
  </tr>
  </form>
)";
  };
  if (!secret.empty()) {
    page +=
        R"(  <tr><td colspan=2 class='forumRow'>两步验证已开启：登录时输入密码后，还须输入手机验证器上的六位动态验证码。</td></tr>
)";
    if (!accounts::otpRequired()) page += form("off", "关闭两步验证");
  } else {
    // One secret until it is confirmed: a reload shows the QR code the phone may have read already.
    std::string fresh = Session().Get("otp_new_secret").text();
    if (fresh.empty()) Session().Set("otp_new_secret", data::Value(fresh = accounts::newOtpSecret()));
    std::string grouped;
    for (std::size_t i = 0; i < fresh.size(); i += 4) grouped += fresh.substr(i, 4) + " ";
    page +=
        R"(  <tr><td colspan=2 class='forumRow' align='center'>用手机验证器（如 FreeOTP、Google Authenticator）扫描下面的二维码，或手动输入密钥，然后填写它显示的六位数字：<br>
)" + accounts::qrSvg(accounts::otpauthUri("岚禾订餐", account, fresh)) +
        "<br>密钥：<code>" + grouped + "</code></td></tr>\n" + form("on", "开启两步验证");
  }
  Response().Write(page + "</table>\n</body>\n</html>\n");
}

void twofactor::turnOn(long id, bool held) {
  const std::string fresh = Session().Get("otp_new_secret").text();
  std::optional<std::int64_t> step =
      fresh.empty() ? std::nullopt
                    : accounts::acceptedStep(fresh, frame::trim(Request().Form("otpcode")), accounts::otpClock());
  if (!step) frame::alertBack("动态验证码不正确，请重新输入！");
  std::vector<std::string> codes = accounts::enrolSecondFactor(id, fresh, *step);
  Session().Set("otp_new_secret", data::Value(""));
  if (codes.empty()) frame::alertGo("两步验证已经开启了。", "twofactor.asp");
  if (held) {
    if (!accounts::releaseLogin(id)) frame::alertGo("您的用户已不存在，请重新登录！", "login.asp");
    Http().renewSession();
  }
  std::string list;
  for (const std::string& code : codes) list += "<code>" + code + "</code><br>\n";
  Response().Write(
      frame::pageHead("两步验证") + frame::tableStart("两步验证已开启") +
      R"(  <tr><td class='forumRow'>下面十个恢复码只显示这一次，请抄下来妥善保存。手机不在身边时，每个恢复码可代替动态验证码登录一次。</td></tr>
  <tr><td class='forumRow' align='center'>)" +
      list + "</td></tr>\n  <tr><td class='forumRow' align='center'>" +
      (held ? "<a href='index.asp' target='_top'>进入后台</a>" : "<a href='twofactor.asp'>返回</a>") +
      "</td></tr>\n</table>\n</body>\n</html>\n");
  Response().End();
  throw frame::PageEnd{};
}

void twofactor::turnOff(long id, const std::string& secret) {
  if (secret.empty()) frame::alertGo("两步验证没有开启。", "twofactor.asp");
  if (accounts::otpRequired()) frame::alertBack("站长要求所有后台用户使用两步验证，不能关闭！");
  if (!accounts::useSecondFactor(id, frame::trim(Request().Form("otpcode")), false))
    frame::alertBack("动态验证码不正确，请重新输入！");
  accounts::clearSecondFactor(id);
  frame::alertGo("两步验证已关闭。", "twofactor.asp");
}

namespace {

const frame::PageRegistration pages([](frame::Registry& registry) {
  registry.addMain<manageadmin>("mabex.manageadmin");
  registry.addMain<saveadmin>("tovi.saveadmin");
  registry.addMain<renpassword>("tovi.renpassword");
  registry.addMain<twofactor>("tovi.twofactor");
});

}  // namespace
}  // namespace tovi::backoffice::shell
