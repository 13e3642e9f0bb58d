#include "sitepages/login_check.h"

#include <string>

#include "data/recordset.h"
#include "frame/http_details.h"
#include "frame/module1.h"
#include "frame/request_guard.h"
#include "frame/text.h"
#include "sitepages/code_image.h"
#include "sitepages/passwords.h"

namespace tovi::sitepages {
namespace {

using namespace frame::Module1;

[[noreturn]] void refuse(std::string_view message) {
  Response().Write("<script language=javascript>alert('" + frame::jsString(message) +
                   "');window.location.href='login.asp';</script>");
  Response().End();
  throw frame::PageEnd{};  // End never returns; this tells the compiler
}

}  // namespace

const std::string& LoginState::decoyHash() {
  std::call_once(once_, [this] { decoy_ = hashPassword(randomPassword(16)); });
  return decoy_;
}

void chkadmin::main() {
  if (!frame::postedFromSite()) {
    Response().Write("<script language=javascript>window.location.href='login.asp';</script>");
    Response().End();
  }
  frame::HttpDetails& http = Http();
  std::string name = frame::trim(Request().Form("admin"));
  std::string password = Request().Form("password");
  // The code serves one check only, whatever its outcome.
  bool codeOk = codeAccepted(Request().Form("verifycode"));

  std::string address = http.clientAddress();
  std::int64_t now = Now().serialSeconds();
  if (state_->throttle.refused(address, name, now)) refuse("登录失败次数过多，请十五分钟后再试！");

  if (!codeOk) {
    state_->throttle.failed(address, name, now);
    refuse("验证码错误，请重新登录！");
  }

  const char kWrong[] = "用户名或密码错误，请重新登录！";
  if (name.empty() || password.empty() || name.size() > 64 || password.size() > 64) {
    state_->throttle.failed(address, name, now);
    refuse(kWrong);
  }

  openAdminDb();
  data::Recordset& rs = newRs();
  rs.Open(data::Sql("select * from wq_admin where admin=?", {name}), *conn(), data::adOpenKeyset,
          data::adLockOptimistic);
  if (rs.Eof()) {
    (void)verifyPassword(state_->decoyHash(), password);
    rs.Close();
    state_->throttle.failed(address, name, now);
    refuse(kWrong);
  }
  PasswordMatch match = verifyPassword(rs("password").text(), password);
  if (match == PasswordMatch::No) {
    rs.Close();
    state_->throttle.failed(address, name, now);
    refuse(kWrong);
  }
  if (match == PasswordMatch::YesRehash) {
    rs("password") = hashPassword(password);
    rs.Update();
  }
  std::string account = frame::trim(rs("admin").text());
  data::Value flag = rs("flag").value();
  rs.Close();

  state_->throttle.succeeded(address, name);
  http.renewSession();
  Session().Set("admin", data::Value(account));
  Session().Set("flag", flag.isNull() ? data::Value("") : flag);
  Response().Write("<script language=javascript>top.location.href='index.asp';</script>");
  Response().End();
}

}  // namespace tovi::sitepages
