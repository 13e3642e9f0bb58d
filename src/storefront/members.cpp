// The storefront's members: sign-up, sign-in, sign-out, and what the
// navigation bar learns of the signed-in member. Members are rows of `reg`;
// the signed-in member's user name is the session key `names`, which the
// order submission compares with the order's contact name.
//
// tovi.register (register.asp): a GET shows the sign-up form (with a code
// image); a same-site POST stores a new approved member with an argon2id
// password and signs them in. Refused with an alert, nothing stored: a wrong
// code, a name that is not 2 to 5 Chinese characters or is already taken, a
// password that is not 6 to 15 of A-Z a-z 0-9 _ - . (the back office's rule),
// passwords that differ, a missing question, answer, address or e-mail, a bad
// e-mail, phone, postcode or birth date (accounts/rules.h), a field over its length.
//
// tovi.signin (signin.asp): a GET shows the sign-in form; a same-site POST
// with names and password signs the member in (accounts/sign_in.h): a new
// session id, session key `names`, and a cookie `names` (path /) so that
// ckdd.asp lists their orders without a name typed. Every failure gets the
// same answer, and too many failures from one address or for one name are
// refused for a while, as at the back-office login. A member whose approval
// the operator withdrew (sh not 1) is told so, only after the right password.
//
// tovi.signout (signout.asp): a same-site POST abandons the session, expires
// the `names` cookie and goes home.
//
// tovi.memberinfo (member.asp): JSON for js/front.js, never cached:
// {"name":..,"tel":..,"address":..} for a signed-in member, {} otherwise
// (also when the member has been deleted since, which signs them out).
#include <memory>
#include <mutex>

#include "accounts/code_image.h"
#include "accounts/passwords.h"
#include "accounts/rules.h"
#include "accounts/sign_in.h"
#include "frame/alerts.h"
#include "frame/component.h"
#include "frame/http_details.h"
#include "frame/module1.h"
#include "frame/request_guard.h"
#include "frame/text.h"

namespace tovi::storefront {
namespace {

using namespace frame::Module1;
using frame::alertBack;
using frame::alertGo;

constexpr char kNamesCookie[] = "names";

// A form value, blanks around it dropped.
std::string field(std::string_view name) { return frame::trim(Request().Form(name)); }

void requireLength(std::string_view value, std::size_t most, std::string_view what) {
  if (frame::charCount(value) > most)
    alertBack(std::string(what) + "不能超过" + std::to_string(most) + "个字符！");
}

void expireNamesCookie() {
  frame::ResponseCookie& cookie = Response().Cookies(kNamesCookie);
  cookie.value = "";
  cookie.path = "/";
  cookie.expires = data::DateTime{2000, 1, 1, 0, 0, 0};
}

// Signs `name` in on this request, whose session id is already a new one.
void signIn(const std::string& name) {
  Session().Set("names", data::Value(name));
  frame::ResponseCookie& cookie = Response().Cookies(kNamesCookie);
  cookie.value = name;
  cookie.path = "/";
}

void writeFormHead(std::string_view heading) {
  Response().Write("<div class=box><h2>" + std::string(heading) + "</h2><div class=body>");
}

void writeSignupForm() {
  writeFormHead("会员注册");
  Response().Write(R"html(<script>
function checkSignup(f) {
  var need = [['names', '请填写用户名！'], ['password', '请填写密码！'], ['question', '请填写您的密码提示问题！'],
              ['answer', '请填写您的密码提示答案！'], ['tel', '请输入可用联系电话！'], ['address', '请填写送餐地址！'],
              ['email', '请输入您的电子邮件地址！'], ['verifycode', '请填写验证码！']];
  for (var i = 0; i < need.length; i++) {
    var e = f.elements[need[i][0]];
    if (!e.value.replace(/^\s+|\s+$/g, '')) { alert(need[i][1]); e.focus(); return false; }
  }
  if (!/^[.A-Za-z0-9_-]{6,15}$/.test(f.password.value)) {
    alert('密码应为6到15个字符，可使用的字符为（A-Z a-z 0-9 _ - .）！'); f.password.focus(); return false;
  }
  if (f.password.value != f.password1.value) { alert('两次填写的密码不一致，请重新填写！'); f.password1.focus(); return false; }
  return true;
}
</script>
<form name=signup method=post action='register.asp' onsubmit='return checkSignup(this)'>
<table class=fields>
<tr><td class=label><label for=names>用户名：</label></td><td><input type=text name=names id=names size=20 maxlength=5> 两个到五个汉字，订餐时作为联系人</td></tr>
<tr><td class=label><label for=password>密码：</label></td><td><input type=password name=password id=password size=20 maxlength=15> 6到15个字符</td></tr>
<tr><td class=label><label for=password1>密码确认：</label></td><td><input type=password name=password1 id=password1 size=20 maxlength=15></td></tr>
<tr><td class=label><label for=question>密码提示问题：</label></td><td><input type=text name=question id=question size=30 maxlength=50></td></tr>
<tr><td class=label><label for=answer>密码提示答案：</label></td><td><input type=text name=answer id=answer size=30 maxlength=50></td></tr>
<tr><td class=label>性别：</td><td><label><input type=radio name=sex value=1 checked>男</label> <label><input type=radio name=sex value=0>女</label></td></tr>
<tr><td class=label><label for=tel>联系电话：</label></td><td><input type=text name=tel id=tel size=20 maxlength=11> 7位、8位或11位数字</td></tr>
<tr><td class=label><label for=address>送餐地址：</label></td><td><input type=text name=address id=address size=50 maxlength=100></td></tr>
<tr><td class=label><label for=email>电子邮件：</label></td><td><input type=text name=email id=email size=30 maxlength=50></td></tr>
<tr><td class=label><label for=postcode>邮编：</label></td><td><input type=text name=postcode id=postcode size=10 maxlength=6></td></tr>
<tr><td class=label><label for=yearss>出生日期：</label></td><td><input type=text name=yearss id=yearss size=4 maxlength=4>年 <input type=text name=monthss size=2 maxlength=2 aria-label='出生日期 月'>月 <input type=text name=dayss size=2 maxlength=2 aria-label='出生日期 日'>日 （可不填）</td></tr>
<tr><td class=label><label for=vocation>行业：</label></td><td><input type=text name=vocation id=vocation size=20 maxlength=20></td></tr>
<tr><td class=label><label for=profession>职业：</label></td><td><input type=text name=profession id=profession size=20 maxlength=20></td></tr>
<tr><td class=label><label for=education>教育程度：</label></td><td><select name=education id=education><option value=''>请选择</option><option>初中及以下</option><option>高中</option><option>大专</option><option>本科</option><option>研究生及以上</option></select></td></tr>
<tr><td class=label><label for=income>收入：</label></td><td><select name=income id=income><option value=''>请选择</option><option>2000元以下</option><option>2000-5000元</option><option>5000-10000元</option><option>10000元以上</option></select></td></tr>
<tr><td class=label><label for=verifycode>验证码：</label></td><td><input type=text name=verifycode id=verifycode size=6 maxlength=4> <img src='GetCode.asp' alt='验证码' align=absbottom onclick="this.src='GetCode.asp?'+Math.random()" title='看不清？点击换一张'></td></tr>
<tr><td></td><td><input type=submit value=' 注 册 '> 已是会员？<a href='signin.asp'>会员登录</a></td></tr>
</table></form></div></div>
)html");
}

void writeSigninForm() {
  writeFormHead("会员登录");
  Response().Write(R"(<form name=signin method=post action='signin.asp'>
<table class=fields>
<tr><td class=label><label for=names>用户名：</label></td><td><input type=text name=names id=names size=20 maxlength=5></td></tr>
<tr><td class=label><label for=password>密码：</label></td><td><input type=password name=password id=password size=20 maxlength=15></td></tr>
<tr><td></td><td><input type=submit value=' 登 录 '> 还不是会员？<a href='register.asp'>免费注册</a></td></tr>
</table></form></div></div>
)");
}

// Sign-ups take the name check and the insert together, so two visitors
// asking for one name at the same moment cannot both get it.
struct SignupState {
  std::mutex mutex;
};

class register_ : public frame::Component {
 public:
  explicit register_(std::shared_ptr<SignupState> state) : state_(std::move(state)) {}
  void main();

 private:
  std::shared_ptr<SignupState> state_;
};

class signin : public frame::Component {
 public:
  explicit signin(std::shared_ptr<accounts::SignInGate> gate) : gate_(std::move(gate)) {}
  void main();

 private:
  std::shared_ptr<accounts::SignInGate> gate_;
};

class signout : public frame::Component {
 public:
  void main();
};

class memberinfo : public frame::Component {
 public:
  void main();
};

void register_::main() {
  if (!frame::iequals(Http().method(), "POST")) {
    writeSignupForm();
    return;
  }
  frame::requirePostFromSite();
  if (!accounts::codeAccepted(Request().Form("verifycode"))) alertBack("验证码错误，请重新填写！");

  std::string name = field("names");
  if (std::string problem = accounts::memberNameProblem(name); !problem.empty()) alertBack(problem);
  std::string password = Request().Form("password");
  if (password.size() < 6 || !accounts::validMemberPassword(password) || frame::trim(password) != password)
    alertBack("密码应为6到15个字符，可使用的字符为（A-Z a-z 0-9 _ - .）！");
  if (password != Request().Form("password1")) alertBack("两次填写的密码不一致，请重新填写！");

  std::string question = field("question"), answer = field("answer");
  if (question.empty()) alertBack("请填写您的密码提示问题！");
  if (answer.empty()) alertBack("请填写您的密码提示答案！");
  requireLength(question, 50, "密码提示问题");
  requireLength(answer, 50, "密码提示答案");
  std::string tel = field("tel");
  if (!accounts::validMemberTel(tel)) alertBack("请输入可用联系电话（7位、8位或11位数字）！");
  std::string address = field("address");
  if (address.empty()) alertBack("请填写送餐地址！");
  requireLength(address, 100, "送餐地址");
  std::string email = field("email");
  if (email.empty()) alertBack("请输入您的电子邮件地址！");
  if (!accounts::validMemberEmail(email)) alertBack("邮件地址不正确,请重新填写！");
  std::string postcode = field("postcode");
  if (!accounts::validPostcode(postcode)) alertBack("邮编应为6位数字！");
  data::DateTime now = Now();
  std::optional<accounts::BirthDate> birth =
      accounts::memberBirthDate(field("yearss"), field("monthss"), field("dayss"), now.year);
  if (!birth) alertBack("出生日期不正确，请重新填写！");
  auto part = [&birth](int v) { return birth->year ? data::Value(v) : data::Value(); };
  std::string sex = field("sex");
  std::string vocation = field("vocation"), profession = field("profession"), education = field("education"),
              income = field("income");
  for (const auto& [value, what] : {std::pair{&vocation, "行业"}, std::pair{&profession, "职业"},
                                    std::pair{&education, "教育程度"}, std::pair{&income, "收入"}})
    requireLength(*value, 20, what);

  std::string hash = accounts::hashPassword(password);
  openFrontDb();
  {
    std::lock_guard lock(state_->mutex);
    data::Recordset& taken = newRs();
    taken.Open(data::Sql("select id from reg where names=?", {data::Value(name)}), *conn(), data::adOpenKeyset,
               data::adLockReadOnly);
    bool exists = !taken.Eof();
    taken.Close();
    if (exists) alertBack("该用户名已被注册，请换一个用户名！");

    data::Recordset& rs = newRs();
    rs.Open("select * from reg", *conn(), data::adOpenKeyset, data::adLockOptimistic);
    rs.AddNew();
    rs("names") = name;
    rs("password") = hash;
    rs("sh") = 1;
    rs("question") = question;
    rs("answer") = answer;
    rs("sex") = sex == "0" ? 0 : 1;
    rs("tel") = tel;
    rs("address") = address;
    rs("email") = email;
    rs("postcode") = postcode;
    rs("vocation") = vocation;
    rs("profession") = profession;
    rs("education") = education;
    rs("income") = income;
    rs("yearss") = part(birth->year);
    rs("monthss") = part(birth->month);
    rs("dayss") = part(birth->day);
    rs("dates") = now;
    rs.Update();
    rs.Close();
  }
  Http().renewSession();
  signIn(name);
  alertGo("注册成功！欢迎您成为本站会员。", "index.asp");
}

void signin::main() {
  if (!frame::iequals(Http().method(), "POST")) {
    writeSigninForm();
    return;
  }
  frame::requirePostFromSite();
  std::string name = field("names");
  std::string password = Request().Form("password");
  accounts::SignIn in = gate_->attempt(accounts::kMembers, name, password, true, &openFrontDb);
  if (in.outcome == accounts::SignIn::Throttled) alertBack("登录失败次数过多，请十五分钟后再试！");
  if (in.outcome != accounts::SignIn::Right) alertBack("用户名或密码错误，请重新登录！");
  data::Recordset& rs = *frame::Module1::rs();
  if (rs("sh").value().text() != "1") {
    rs.Close();
    alertBack("您的会员资格正在审核中或已被暂停，请与本店联系！");
  }
  in.complete(password);
  std::string member = rs("names").text();
  rs.Close();
  signIn(member);
  alertGo("登录成功！", "index.asp");
}

void signout::main() {
  frame::requirePostFromSite();
  Session().Abandon();
  expireNamesCookie();
  alertGo("您已退出登录。", "index.asp");
}

// The answer is the JSON alone: End() keeps the page file's text out of it.
void memberinfo::main() {
  frame::HttpDetails& http = Http();
  http.setHeader("Content-Type", "application/json");
  http.setHeader("Cache-Control", "no-store");
  std::string name = Session().Get("names").text();
  if (name.empty()) {
    Response().Write("{}");
    Response().End();
  }
  openFrontDb();
  data::Recordset& rs = newRs();
  rs.Open(data::Sql("select names, tel, address from reg where names=?", {data::Value(name)}), *conn(),
          data::adOpenKeyset, data::adLockReadOnly);
  if (rs.Eof()) {
    // Deleted by the operator since the sign-in: signed out from now on.
    rs.Close();
    Session().Set("names", data::Value(""));
    expireNamesCookie();
    Response().Write("{}");
    Response().End();
  }
  Response().Write("{\"name\":" + frame::jsonString(rs("names").text()) + ",\"tel\":" + frame::jsonString(rs("tel").text()) +
                   ",\"address\":" + frame::jsonString(rs("address").text()) + "}");
  rs.Close();
  Response().End();
}

const frame::PageRegistration pages([](frame::Registry& registry) {
  auto signup = std::make_shared<SignupState>();
  registry.add("tovi.register", [signup] { return std::make_unique<register_>(signup); },
               {frame::op("main", &register_::main)});
  // Member sign-ins keep their own failure counts, apart from the back office's.
  auto gate = std::make_shared<accounts::SignInGate>(accounts::makeLoginThrottle(registry.sharedState(), "members"));
  registry.add("tovi.signin", [gate] { return std::make_unique<signin>(gate); }, {frame::op("main", &signin::main)});
  registry.addMain<signout>("tovi.signout");
  registry.addMain<memberinfo>("tovi.memberinfo");
});

}  // namespace
}  // namespace tovi::storefront
