#include "storefront/guestbook.h"

#include <memory>

#include "accounts/code_image.h"
#include "accounts/throttle.h"
#include "frame/alerts.h"
#include "frame/component.h"
#include "frame/http_details.h"
#include "frame/module1.h"
#include "frame/page_selector.h"
#include "frame/request_guard.h"
#include "frame/text.h"

namespace tovi::storefront {
namespace {

using accounts::codeAccepted;
using accounts::LoginThrottle;

using namespace frame::Module1;
using frame::alertBack;
using frame::htmlEncode;

constexpr long kPageSize = 10;

bool onlyOf(std::string_view text, std::string_view allowed) {
  return !text.empty() && text.find_first_not_of(allowed) == std::string_view::npos;
}

// name@host.domain: one @, the name of A-Z a-z 0-9 _ . + -, two or more host
// labels of A-Z a-z 0-9 -.
bool validMail(std::string_view mail) {
  constexpr std::string_view kLabel = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-";
  std::size_t at = mail.find('@');
  if (mail.size() > 50 || at == std::string_view::npos || !onlyOf(mail.substr(0, at), std::string(kLabel) + "_.+"))
    return false;
  std::string_view host = mail.substr(at + 1);
  int labels = 0;
  for (std::size_t start = 0;; ++labels) {
    std::size_t dot = host.find('.', start);
    if (!onlyOf(host.substr(start, dot == std::string_view::npos ? dot : dot - start), kLabel)) return false;
    if (dot == std::string_view::npos) return labels >= 1;
    start = dot + 1;
  }
}

bool validQq(std::string_view qq) { return qq.size() >= 5 && qq.size() <= 12 && onlyOf(qq, "0123456789"); }

// A one-line form value, blanks around it dropped; refused when empty (with
// `missing`) or longer than `most` characters.
std::string requiredLine(std::string_view field, std::size_t most, std::string_view missing, std::string_view what) {
  std::string value = frame::trim(Request().Form(field));
  if (value.empty()) alertBack(missing);
  if (frame::charCount(value) > most)
    alertBack(std::string(what) + "不能超过" + std::to_string(most) + "个字符！");
  return value;
}

// Whether new messages are shown at once: the review switch is off (view 1).
bool shownAtOnce() {
  data::Recordset& rs = newRs();
  rs.Open("select * from view2", *conn(), data::adOpenKeyset, data::adLockReadOnly);
  bool atOnce = !rs.Eof() && rs("view").value().text() == "1";
  rs.Close();
  return atOnce;
}

void writeMessage(data::Recordset& rs, std::string& out) {
  std::string title = frame::trim(rs("Title").text());
  out += "<div class=message><div class=head>";
  if (rs("top").value().text() == "1") out += "<span class=pinned>[置顶]</span> ";
  out += "<b>" + (title.empty() ? std::string("无标题") : htmlEncode(title)) + "</b><span class=who>" +
         htmlEncode(rs("UserName").text()) + " 留言于 " + htmlEncode(rs("PostDate").text()) +
         "</span></div>\n<div class=text>" + storedTextHtml(rs("Comments").text()) + "</div>\n";
  if (!rs("Replay").value().blank()) {
    out += "<div class=reply><b>店主回复：</b>" + storedTextHtml(rs("Replay").text());
    if (!rs("ReplayDate").value().blank()) out += "<span class=who>回复于 " + htmlEncode(rs("ReplayDate").text()) + "</span>";
    out += "</div>\n";
  }
  out += "</div>\n";
}

void writePostForm() {
  Response().Write(R"html(<div class=box><h2>发表留言</h2><div class=body>
<script>
function checkGuestbook(f) {
  var blank = /^\s*$/;
  if (blank.test(f.UserName.value)) { alert('请填写您的姓名！'); f.UserName.focus(); return false; }
  if (f.UserMail.value && !/^[\w.+-]+@[\w-]+(\.[\w-]+)+$/.test(f.UserMail.value)) { alert('电子邮件地址不正确，请重新填写！'); f.UserMail.focus(); return false; }
  if (f.qq.value && !/^\d{5,12}$/.test(f.qq.value)) { alert('QQ号码应为5到12位数字！'); f.qq.focus(); return false; }
  if (blank.test(f.Title.value)) { alert('请填写留言标题！'); f.Title.focus(); return false; }
  if (blank.test(f.Comments.value)) { alert('请填写留言内容！'); f.Comments.focus(); return false; }
  if (f.Comments.value.length > 2000) { alert('留言内容不能超过2000个字符！'); f.Comments.focus(); return false; }
  if (blank.test(f.verifycode.value)) { alert('请填写验证码！'); f.verifycode.focus(); return false; }
  return true;
}
</script>
<form name=guestbook method=post action='guestbook.asp?action=post' onsubmit='return checkGuestbook(this)'>
<table class=fields>
<tr><td class=label><label for=UserName>姓名：</label></td><td><input type=text name=UserName id=UserName size=20 maxlength=20> *</td></tr>
<tr><td class=label><label for=UserMail>电子邮件：</label></td><td><input type=text name=UserMail id=UserMail size=30 maxlength=50> 可不填，不会公开</td></tr>
<tr><td class=label><label for=qq>QQ：</label></td><td><input type=text name=qq id=qq size=14 maxlength=12> 可不填，不会公开</td></tr>
<tr><td class=label><label for=Title>标题：</label></td><td><input type=text name=Title id=Title size=40 maxlength=50> *</td></tr>
<tr><td class=label><label for=Comments>留言内容：</label></td><td><textarea name=Comments id=Comments cols=58 rows=8></textarea><br>最多2000个字符</td></tr>
<tr><td class=label><label for=verifycode>验证码：</label></td><td><input type=text name=verifycode id=verifycode size=6 maxlength=4> <img src='GetCode.asp' alt='验证码' align=absbottom onclick="this.src='GetCode.asp?'+Math.random()" title='看不清？点击换一张'></td></tr>
<tr><td></td><td><input type=submit value=' 提交留言 '></td></tr>
</table></form></div></div>
)html");
}

class guestbook : public frame::Component {
 public:
  // `posts` counts the messages of each address; shared by every request.
  explicit guestbook(std::shared_ptr<LoginThrottle> posts) : posts_(std::move(posts)) {}
  void main();

 private:
  void post();
  void list();
  std::shared_ptr<LoginThrottle> posts_;
};

}  // namespace

std::string storedTextHtml(std::string_view stored) {
  std::string encoded = htmlEncode(stored), lower = frame::asciiLower(encoded), out;
  constexpr std::string_view kBr = "&lt;br&gt;";
  std::size_t pos = 0;
  for (std::size_t hit; (hit = lower.find(kBr, pos)) != std::string::npos; pos = hit + kBr.size())
    out.append(encoded, pos, hit - pos).append("<br>");
  return out.append(encoded, pos);
}

std::string storedBreaks(std::string_view typed) {
  return frame::replaceAll(frame::replaceAll(frame::replaceAll(typed, "\r\n", "\n"), "\r", "\n"), "\n", "<BR>");
}

namespace {

void guestbook::main() {
  if (Request().QueryString("action") == "post") post();
  list();
}

void guestbook::list() {
  openFrontDb();
  data::Recordset& rs = newRs();
  rs.PageSize(kPageSize);
  rs.Open("select * from Feedback where Online=1 and del=false order by top desc, PostDate desc, ID desc", *conn(),
          data::adOpenKeyset, data::adLockReadOnly);
  std::string out = "<div class=box><h2>留言本</h2><div class=body>\n";
  long total = rs.RecordCount();
  if (total == 0) {
    out += "<p>暂时没有留言，欢迎您第一个留言！</p>\n";
  } else {
    long pages = rs.PageCount();
    long page = frame::wantedPage(Request().QueryString("page"), pages);
    rs.AbsolutePage(page);
    for (long n = 0; n < kPageSize && !rs.Eof(); ++n, rs.MoveNext()) writeMessage(rs, out);
    out += frame::listPageLinks("guestbook.asp", page, pages, total, "条留言");
  }
  rs.Close();
  Response().Write(out + "</div></div>\n");
  writePostForm();
}

void guestbook::post() {
  frame::requirePostFromSite();
  std::string address = Http().clientAddress();
  data::DateTime now = Now();
  if (posts_->refused(address, "", now.serialSeconds())) alertBack("您留言太频繁了，请十分钟后再来！");
  if (!codeAccepted(Request().Form("verifycode"))) alertBack("验证码错误，请重新填写！");

  std::string name = requiredLine("UserName", 20, "请填写您的姓名！", "姓名");
  std::string mail = frame::trim(Request().Form("UserMail"));
  if (!mail.empty() && !validMail(mail)) alertBack("电子邮件地址不正确，请重新填写！");
  std::string qq = frame::trim(Request().Form("qq"));
  if (!qq.empty() && !validQq(qq)) alertBack("QQ号码应为5到12位数字！");
  std::string title = requiredLine("Title", 50, "请填写留言标题！", "留言标题");
  std::string comments = Request().Form("Comments");
  if (comments.find_first_not_of(" \t\r\n") == std::string::npos) alertBack("请填写留言内容！");
  // A line break counts as one character, as the browser counts it.
  if (frame::charCount(frame::replaceAll(comments, "\r\n", "\n")) > 2000) alertBack("留言内容不能超过2000个字符！");

  openFrontDb();
  bool atOnce = shownAtOnce();
  data::Recordset& rs = newRs();
  rs.Open("select * from Feedback", *conn(), data::adOpenKeyset, data::adLockOptimistic);
  rs.AddNew();
  rs("UserName") = name;
  rs("UserMail") = mail;
  rs("qq") = qq;
  rs("Title") = title;
  // Escaped where it is shown; stored with the back office's line breaks.
  rs("Comments") = storedBreaks(comments);
  rs("PostDate") = now;
  rs("Dates") = now;
  rs("top") = 0;
  rs("Online") = atOnce ? 1 : 0;
  rs("del") = false;
  rs.Update();
  rs.Close();
  // Only stored messages count towards the limit: refusals cost nothing.
  posts_->failed(address, "", now.serialSeconds());
  frame::alertGo(atOnce ? "留言成功！您的留言已经显示在留言本中。" : "留言成功！您的留言需要经过管理员审核后才会显示。",
                 "guestbook.asp");
}

const frame::PageRegistration pages([](frame::Registry& registry) {
  // The login's throttle counts any event per address; here each stored
  // message is one. Three per address in ten minutes; the fourth waits.
  auto posts = accounts::makeLoginThrottle(
      registry.sharedState(), "guestbook",
      LoginThrottle::Limits{.perAddress = 3, .perName = 3, .window = 10 * 60, .lockout = 10 * 60});
  // Without a query string the list shows the database alone.
  registry.add("tovi.guestbook", [posts] { return std::make_unique<guestbook>(posts); },
               {frame::op("main", &guestbook::main)}, frame::Output::DatabaseOnly);
});

}  // namespace
}  // namespace tovi::storefront
