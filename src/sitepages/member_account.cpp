#include "sitepages/member_account.h"

#include <mutex>
#include <vector>

#include "frame/alerts.h"
#include "frame/http_details.h"
#include "frame/module1.h"
#include "frame/request_guard.h"
#include "frame/text.h"
#include "sitepages/code_image.h"
#include "sitepages/login_check.h"
#include "sitepages/member_pages.h"
#include "sitepages/passwords.h"

namespace tovi::sitepages {

// Sign-ups take the name check and the insert together, so two visitors
// asking for one name at the same moment cannot both get it.
struct SignupState {
  std::mutex mutex;
};

namespace {

using namespace frame::Module1;
using frame::alertBack;
using frame::alertGo;

constexpr char kNamesCookie[] = "names";

// Chinese characters (the unified ideographs and their extension A).
bool isHan(char32_t c) { return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF); }

bool onlyOf(std::string_view text, std::string_view allowed) {
  return !text.empty() && text.find_first_not_of(allowed) == std::string_view::npos;
}

// The back office's member form rule, so the operator can save the record:
// [A-Za-z0-9_-]+(\.\w+)*@(\w+\.)+\w{2,3}
bool validEmail(std::string_view email) {
  constexpr std::string_view word = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_";
  std::size_t at = email.find('@');
  if (email.size() > 50 || at == std::string_view::npos) return false;
  auto parts = [](std::string_view text) {
    std::vector<std::string_view> out;
    for (std::size_t dot; (dot = text.find('.')) != std::string_view::npos; text.remove_prefix(dot + 1))
      out.push_back(text.substr(0, dot));
    out.push_back(text);
    return out;
  };
  std::vector<std::string_view> local = parts(email.substr(0, at)), host = parts(email.substr(at + 1));
  if (!onlyOf(local[0], std::string(word) + "-")) return false;
  for (std::size_t i = 1; i < local.size(); ++i)
    if (!onlyOf(local[i], word)) return false;
  if (host.size() < 2 || host.back().size() < 2 || host.back().size() > 3) return false;
  for (std::string_view part : host)
    if (!onlyOf(part, word)) return false;
  return true;
}

// What the order form takes as a phone, so the member's own fills it: 7, 8 or 11 digits.
bool validTel(std::string_view tel) {
  return (tel.size() == 7 || tel.size() == 8 || tel.size() == 11) && onlyOf(tel, "0123456789");
}

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

// Signs `name` in on this request: a new session id first, so an id chosen
// before the sign-in is worth nothing after it.
void signIn(const std::string& name) {
  Http().renewSession();
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
<tr><td class=label>用户名：</td><td><input type=text name=names size=20 maxlength=5> 两个到五个汉字，订餐时作为联系人</td></tr>
<tr><td class=label>密码：</td><td><input type=password name=password size=20 maxlength=15> 6到15个字符</td></tr>
<tr><td class=label>密码确认：</td><td><input type=password name=password1 size=20 maxlength=15></td></tr>
<tr><td class=label>密码提示问题：</td><td><input type=text name=question size=30 maxlength=50></td></tr>
<tr><td class=label>密码提示答案：</td><td><input type=text name=answer size=30 maxlength=50></td></tr>
<tr><td class=label>性别：</td><td><label><input type=radio name=sex value=1 checked>男</label> <label><input type=radio name=sex value=0>女</label></td></tr>
<tr><td class=label>联系电话：</td><td><input type=text name=tel size=20 maxlength=11> 7位、8位或11位数字</td></tr>
<tr><td class=label>送餐地址：</td><td><input type=text name=address size=50 maxlength=100></td></tr>
<tr><td class=label>电子邮件：</td><td><input type=text name=email size=30 maxlength=50></td></tr>
<tr><td class=label>邮编：</td><td><input type=text name=postcode size=10 maxlength=6></td></tr>
<tr><td class=label>出生日期：</td><td><input type=text name=yearss size=4 maxlength=4>年 <input type=text name=monthss size=2 maxlength=2>月 <input type=text name=dayss size=2 maxlength=2>日 （可不填）</td></tr>
<tr><td class=label>行业：</td><td><input type=text name=vocation size=20 maxlength=20></td></tr>
<tr><td class=label>职业：</td><td><input type=text name=profession size=20 maxlength=20></td></tr>
<tr><td class=label>教育程度：</td><td><select name=education><option value=''>请选择</option><option>初中及以下</option><option>高中</option><option>大专</option><option>本科</option><option>研究生及以上</option></select></td></tr>
<tr><td class=label>收入：</td><td><select name=income><option value=''>请选择</option><option>2000元以下</option><option>2000-5000元</option><option>5000-10000元</option><option>10000元以上</option></select></td></tr>
<tr><td class=label>验证码：</td><td><input type=text name=verifycode size=6 maxlength=4> <img src='GetCode.asp' alt='验证码' align=absbottom onclick="this.src='GetCode.asp?'+Math.random()" title='看不清？点击换一张'></td></tr>
<tr><td></td><td><input type=submit value=' 注 册 '> 已是会员？<a href='signin.asp'>会员登录</a></td></tr>
</table></form></div></div>
)html");
}

void writeSigninForm() {
  writeFormHead("会员登录");
  Response().Write(R"(<form name=signin method=post action='signin.asp'>
<table class=fields>
<tr><td class=label>用户名：</td><td><input type=text name=names size=20 maxlength=5></td></tr>
<tr><td class=label>密码：</td><td><input type=password name=password size=20 maxlength=15></td></tr>
<tr><td></td><td><input type=submit value=' 登 录 '> 还不是会员？<a href='register.asp'>免费注册</a></td></tr>
</table></form></div></div>
)");
}

// A whole number of at most four digits in [low, high]; empty otherwise.
std::optional<int> smallNumber(std::string_view text, int low, int high) {
  if (text.empty() || text.size() > 4 || !onlyOf(text, "0123456789")) return std::nullopt;
  int n = std::stoi(std::string(text));
  if (n < low || n > high) return std::nullopt;
  return n;
}

struct Birth {
  data::Value year, month, day;  // all null when not given
};

Birth readBirth(int thisYear) {
  std::string y = field("yearss"), m = field("monthss"), d = field("dayss");
  if (y.empty() && m.empty() && d.empty()) return {data::Value(), data::Value(), data::Value()};
  std::optional<int> year = smallNumber(y, 1900, thisYear), month = smallNumber(m, 1, 12), day = smallNumber(d, 1, 31);
  if (!year || !month || !day || !data::DateTime{*year, *month, *day, 0, 0, 0}.valid())
    alertBack("出生日期不正确，请重新填写！");
  return {data::Value(*year), data::Value(*month), data::Value(*day)};
}

}  // namespace

std::string memberNameProblem(std::string_view name) {
  if (name.empty()) return "请填写用户名！";
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < name.size(); ++count)
    if (!isHan(frame::nextChar(name, pos))) count = 99;
  if (count < 2 || count > 5) return "用户名即订餐时的联系人，须为两个到五个汉字！";
  return "";
}

std::string jsonAscii(std::string_view text) {
  std::string out = "\"";
  auto unit = [&](unsigned u) {
    static const char hex[] = "0123456789abcdef";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += hex[(u >> shift) & 0xF];
  };
  for (std::size_t pos = 0; pos < text.size();) {
    char32_t c = frame::nextChar(text, pos);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F && c != '<' && c != '>' && c != '&') {
      out += static_cast<char>(c);
    } else if (c < 0x10000) {
      unit(static_cast<unsigned>(c));
    } else {
      char32_t v = c - 0x10000;
      unit(0xD800 + static_cast<unsigned>(v >> 10));
      unit(0xDC00 + static_cast<unsigned>(v & 0x3FF));
    }
  }
  return out + "\"";
}

void register_::main() {
  if (!frame::iequals(Http().method(), "POST")) {
    writeSignupForm();
    return;
  }
  frame::requirePostFromSite();
  if (!codeAccepted(Request().Form("verifycode"))) alertBack("验证码错误，请重新填写！");

  std::string name = field("names");
  if (std::string problem = memberNameProblem(name); !problem.empty()) alertBack(problem);
  std::string password = Request().Form("password");
  if (password.size() < 6 || !validMemberPassword(password) || frame::trim(password) != password)
    alertBack("密码应为6到15个字符，可使用的字符为（A-Z a-z 0-9 _ - .）！");
  if (password != Request().Form("password1")) alertBack("两次填写的密码不一致，请重新填写！");

  std::string question = field("question"), answer = field("answer");
  if (question.empty()) alertBack("请填写您的密码提示问题！");
  if (answer.empty()) alertBack("请填写您的密码提示答案！");
  requireLength(question, 50, "密码提示问题");
  requireLength(answer, 50, "密码提示答案");
  std::string tel = field("tel");
  if (!validTel(tel)) alertBack("请输入可用联系电话（7位、8位或11位数字）！");
  std::string address = field("address");
  if (address.empty()) alertBack("请填写送餐地址！");
  requireLength(address, 100, "送餐地址");
  std::string email = field("email");
  if (email.empty()) alertBack("请输入您的电子邮件地址！");
  if (!validEmail(email)) alertBack("邮件地址不正确,请重新填写！");
  std::string postcode = field("postcode");
  if (!postcode.empty() && (postcode.size() != 6 || !onlyOf(postcode, "0123456789")))
    alertBack("邮编应为6位数字！");
  data::DateTime now = Now();
  Birth birth = readBirth(now.year);
  std::string sex = field("sex");
  std::string vocation = field("vocation"), profession = field("profession"), education = field("education"),
              income = field("income");
  for (const auto& [value, what] : {std::pair{&vocation, "行业"}, std::pair{&profession, "职业"},
                                    std::pair{&education, "教育程度"}, std::pair{&income, "收入"}})
    requireLength(*value, 20, what);

  std::string hash = hashPassword(password);
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
    rs("yearss") = birth.year;
    rs("monthss") = birth.month;
    rs("dayss") = birth.day;
    rs("dates") = now;
    rs.Update();
    rs.Close();
  }
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
  std::string address = Http().clientAddress();
  std::int64_t clock = Now().serialSeconds();
  if (state_->throttle.refused(address, name, clock)) alertBack("登录失败次数过多，请十五分钟后再试！");

  const char kWrong[] = "用户名或密码错误，请重新登录！";
  if (name.empty() || password.empty() || name.size() > 64 || password.size() > 64) {
    state_->throttle.failed(address, name, clock);
    alertBack(kWrong);
  }
  openFrontDb();
  data::Recordset& rs = newRs();
  rs.Open(data::Sql("select * from reg where names=?", {data::Value(name)}), *conn(), data::adOpenKeyset,
          data::adLockOptimistic);
  PasswordMatch match =
      verifyPassword(rs.Eof() ? std::string_view(state_->decoyHash()) : rs("password").text(), password);
  if (rs.Eof() || match == PasswordMatch::No) {
    rs.Close();
    state_->throttle.failed(address, name, clock);
    alertBack(kWrong);
  }
  state_->throttle.succeeded(address, name);
  if (rs("sh").value().text() != "1") {
    rs.Close();
    alertBack("您的会员资格正在审核中或已被暂停，请与本店联系！");
  }
  if (match == PasswordMatch::YesRehash) {
    rs("password") = hashPassword(password);
    rs.Update();
  }
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
  Response().Write("{\"name\":" + jsonAscii(rs("names").text()) + ",\"tel\":" + jsonAscii(rs("tel").text()) +
                   ",\"address\":" + jsonAscii(rs("address").text()) + "}");
  rs.Close();
  Response().End();
}

void registerMemberPages(frame::Registry& registry) {
  auto signup = std::make_shared<SignupState>();
  registry.add("tovi.register", [signup] { return std::make_unique<register_>(signup); },
               {frame::op("main", &register_::main)});
  // Member sign-ins keep their own failure counts, apart from the back office's.
  auto login = std::make_shared<LoginState>();
  registry.add("tovi.signin", [login] { return std::make_unique<signin>(login); }, {frame::op("main", &signin::main)});
  registry.addMain<signout>("tovi.signout");
  registry.addMain<memberinfo>("tovi.memberinfo");
}

}  // namespace tovi::sitepages
