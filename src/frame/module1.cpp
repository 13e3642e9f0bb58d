#include "frame/module1.h"

#include <optional>
#include <string>

#include "frame/admission.h"
#include "frame/component.h"
#include "frame/http_details.h"

namespace tovi::frame {

PageContext& pageContext() {
  thread_local PageContext context;
  return context;
}

namespace Module1 {
namespace {

template <class T>
T& present(T* p) {
  if (!p) throw NoPageContext();
  return *p;
}

const char kProvider[] = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=";

// The site's database on a server, when the host was started with one (the
// start option "database"); empty for the file under the web root.
std::string serverDatabase() {
  Context* c = pageContext().mys;
  HttpDetails* http = c ? c->http() : nullptr;
  return http ? http->option("database") : std::string();
}

void openDb(std::string_view above) {
  std::string path = std::string(above) + kDatabaseFolder + "/" + kDatabaseFile;
  std::string server = serverDatabase();
  conn() = Server().CreateObject("ADODB.Connection").connection();
  conn()->Open(kProvider + (server.empty() ? Server().MapPath(path) : server), "", "");
}

}  // namespace

ResponseObject& Response() { return present(pageContext().response); }
RequestObject& Request() { return present(pageContext().request); }
ServerObject& Server() { return present(pageContext().server); }
ApplicationObject& Application() { return present(pageContext().application); }
SessionObject& Session() { return present(pageContext().session); }
data::DateTime Now() { return present(pageContext().mys).now(); }
HttpDetails& Http() { return present(present(pageContext().mys).http()); }

std::shared_ptr<data::Connection>& conn() { return pageContext().conn; }
std::shared_ptr<data::Recordset>& rs() { return pageContext().rs; }
data::Value& sql() { return pageContext().sql; }

data::Recordset& newRs(std::string_view progid) {
  rs() = Server().CreateObject(progid).recordset();
  return *rs();
}

namespace {

// The right in wq_admin of the account logged in on this session (see currentRight).
data::Value lookUpRight() {
  SessionObject& session = Session();
  data::Value name = session.Get("admin");
  if (name.blank()) return data::Value();
  data::Connection c;
  c.Open(kProvider + databasePath());
  data::Recordset rs;
  rs.Open(data::Sql("select * from wq_admin where admin=?", {data::Value(name.text())}), c, data::adOpenKeyset,
          data::adLockReadOnly);
  if (rs.Eof()) {
    rs.Close();
    session.Set("admin", data::Value(""));
    session.Set("flag", data::Value(""));
    return data::Value();
  }
  data::Value held = rs("flag").value();
  rs.Close();
  data::Value granted = session.Get("flag");
  data::Value right = presentRight(granted, held);
  if (!(right == granted)) session.Set("flag", right);  // the menu shows what is left
  return right;
}

}  // namespace

data::Value currentRight() {
  std::optional<data::Value>* kept = present(pageContext().mys).checkedRight();
  if (kept && *kept) return **kept;
  data::Value right = lookUpRight();
  if (kept) *kept = right;
  return right;
}

namespace {

// The alert the guards write for a visitor who is not (or no longer) logged in.
[[noreturn]] void notLoggedIn(const char* alert) {
  Response().Write(std::string("<script LANGUAGE='javascript'>alert('") + alert +
                   "');window.location.href='login.asp';</script>");
  Response().End();
  throw PageEnd{};
}

}  // namespace

void openAdminDb() { openDb("../"); }
void openFrontDb() { openDb("./"); }
std::string databasePath() {
  std::string server = serverDatabase();
  return server.empty() ? Server().MapPath(std::string("/") + kDatabaseFolder + "/" + kDatabaseFile) : server;
}

void checkAdmin() {
  ResponseObject& r = Response();
  r.Write("<!--1、数据库字段说明：");
  r.Write("   admin表示登陆后台时使用的用户名");
  r.Write("   flag表示登陆后台时使用的权限名");
  r.Write("2 ?有关页面说明:");
  r.Write("   login.asp 代表后台登陆页面");
  r.Write("  -->");
  r.Write("<link href='../css/style.css' rel='stylesheet' type='text/css'>     <!--引用inc目录下的style.css文件 -->");
  data::Value flag = currentRight();
  if (Session().Get("admin").blank()) notLoggedIn("网络超时或者您还没有登录请登录");
  if (!admitsBackOffice(flag)) {
    r.Write(
        "<br><br><br><br><br><br><br><br><br><br><div align=center><font size=90 color=red><b>您无此管理权限！</b>"
        "</font></div>");
    r.End();
  }
}

void checkTopAdmin() {
  ResponseObject& r = Response();
  r.Write("<link href='../css/style.css' rel='stylesheet' type='text/css'>");
  data::Value flag = currentRight();
  if (Session().Get("admin").blank()) notLoggedIn("网络超时或者您还没有登录请登录!!");
  if (!admitsOwner(flag)) {
    r.Write("<script LANGUAGE='javascript'>alert('您没有管理权限!!');window.location.href='admin.asp';</script>");
    r.End();
  }
}

bool backOfficeAdmitted() {
  data::Value right = currentRight();
  return !Session().Get("admin").blank() && admitsBackOffice(right);
}

void showFooter() {
  ResponseObject& r = Response();
  r.Write("<div align='center'>");
  r.Write("<p><font color='#000000'><br>");
  r.Write("技术支持：Tovi 订餐系统开发组　电话：0591-8700 0000<br>");
  r.Write(" <br>");
  r.Write("</font>程序制作：<a href='https://tovi.example/' target='_blank'>Tovi 订餐系统</a><br>");
  r.Write(" </p>");
  r.Write("  </p>");
  r.Write("</div>");
}

void showBanner() {
  ResponseObject& r = Response();
  r.Write("  <TR>");
  r.Write("   <TD>");
  r.Write("   <DIV align=right>");
  r.Write(R"(<object classid='clsid:D27CDB6E-AE6D-11cf-96B8-444553540000' codebase='https://download.macromedia.com/pub/shockwave/cabs/flash/swflash.cab#version=7,0,19,0' width='565' height='160'>)");
  r.Write(" <param name='movie' value='./flash/in_21.swf' />");
  r.Write("<param name='quality' value='high' />");
  r.Write(R"(<embed src='./flash/in_21.swf' quality='high' pluginspage='https://www.macromedia.com/go/getflashplayer' type='application/x-shockwave-flash' width='565' height='160'></embed>)");
  // Without a Flash player (every current browser) the object falls back to
  // its content: the banner picture, once the script drops the embed.
  r.Write(R"(<img id='bannerImage' src='./images/banner.jpg' width='565' height='160' border='0' alt='岚禾在线订餐'>)"
          R"(<script type='text/javascript'>(function () {
  var img = document.getElementById('bannerImage');
  var flash = navigator.mimeTypes && navigator.mimeTypes['application/x-shockwave-flash'];
  if (flash && flash.enabledPlugin) { img.parentNode.removeChild(img); return; }
  var embeds = img.parentNode.getElementsByTagName('embed');
  if (embeds.length) embeds[0].parentNode.removeChild(embeds[0]);
})();</script>)");
  r.Write("</object>");
  r.Write("</DIV></TD></TR>");
  r.Write(" <TR>");
  r.Write(" <TD height=17>&nbsp;</TD></TR>");
  r.Write("<TR>");
  r.Write("  <TD><IMG height=7");
  r.Write("  src = './images/jb1.gif'");
  r.Write(" width=560 alt=''></TD></TR>");
}

}  // namespace Module1
}  // namespace tovi::frame
