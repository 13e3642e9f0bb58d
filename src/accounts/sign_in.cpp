#include "accounts/sign_in.h"

#include "accounts/passwords.h"
#include "data/recordset.h"
#include "frame/http_details.h"
#include "frame/module1.h"

namespace tovi::accounts {

using namespace frame::Module1;

const std::string& SignInGate::decoyHash() {
  std::call_once(once_, [this] { decoy_ = hashPassword(randomPassword(16)); });
  return decoy_;
}

SignIn SignInGate::attempt(const AccountTable& accounts, const std::string& name, const std::string& password,
                           bool codeOk, void (*openDb)()) {
  const std::string address = Http().clientAddress();
  const std::int64_t now = Now().serialSeconds();
  if (throttle_->refused(address, name, now)) return {SignIn::Throttled};
  auto failed = [&](SignIn::Outcome why) {
    throttle_->failed(address, name, now);
    return SignIn{why};
  };
  if (!codeOk) return failed(SignIn::WrongCode);
  if (name.empty() || password.empty() || name.size() > 64 || password.size() > 64) return failed(SignIn::Wrong);

  openDb();
  data::Recordset& rs = newRs();
  rs.Open(data::Sql(std::string("select * from ") + accounts.table + " where " + accounts.nameColumn + "=?",
                    {data::Value(name)}),
          *conn(), data::adOpenKeyset, data::adLockOptimistic);
  PasswordMatch match = verifyPassword(rs.Eof() ? std::string_view(decoyHash()) : rs("password").text(), password);
  if (rs.Eof() || match == PasswordMatch::No) {
    rs.Close();
    return failed(SignIn::Wrong);
  }
  const bool second = accounts.secondFactorColumn && !rs(accounts.secondFactorColumn).text().empty();
  if (!second) throttle_->succeeded(address, name);
  return {SignIn::Right, match == PasswordMatch::YesRehash, second};
}

SignIn::Outcome SignInGate::confirm(const std::string& name, const std::function<bool()>& check) {
  const std::string address = Http().clientAddress();
  const std::int64_t now = Now().serialSeconds();
  if (throttle_->refused(address, name, now)) return SignIn::Throttled;
  if (!check()) {
    throttle_->failed(address, name, now);
    return SignIn::Wrong;
  }
  throttle_->succeeded(address, name);
  Http().renewSession();
  return SignIn::Right;
}

void SignIn::complete(std::string_view password) const {
  if (oldHash) {
    data::Recordset& row = *rs();
    row("password") = hashPassword(password);
    row.Update();
  }
  Http().renewSession();
}

}  // namespace tovi::accounts
