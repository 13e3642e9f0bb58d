#include "accounts/operators.h"

#include <stdexcept>

#include "data/connection.h"
#include "data/recordset.h"
#include "accounts/passwords.h"
#include "accounts/rules.h"

namespace tovi::accounts {
namespace {

std::string connectionText(const std::string& path) {
  return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path;
}

}  // namespace

void createFirstSiteOwner(const std::string& databasePath, std::ostream& out) {
  data::Connection conn;
  conn.Open(connectionText(databasePath));
  data::Recordset rs;
  rs.Open("select * from wq_admin", conn, data::adOpenKeyset, data::adLockOptimistic);
  if (!rs.Eof()) {
    rs.Close();
    conn.Close();
    return;
  }
  std::string password = randomPassword(12);
  rs.AddNew();
  rs("admin") = data::Value("admin");
  rs("password") = data::Value(hashPassword(password));
  rs("flag") = data::Value(1);
  rs.Update();
  rs.Close();
  conn.Close();
  out << "tovi: created the site owner \"admin\" (shown once), password: " << password << "\n";
}

bool setAccountPassword(const std::string& databasePath, const std::string& name, const std::string& password) {
  if (!accountPasswordProblem(password).empty())
    throw std::invalid_argument("a password has 6 to 16 characters: letters, digits and ASCII signs, no blanks");
  data::Connection conn;
  conn.Open(connectionText(databasePath));
  data::Recordset rs;
  rs.Open(data::Sql("select * from wq_admin where admin=?", {data::Value(name)}), conn, data::adOpenKeyset,
          data::adLockOptimistic);
  bool found = !rs.Eof();
  if (found) {
    rs("password") = data::Value(hashPassword(password));
    rs.Update();
  }
  rs.Close();
  conn.Close();
  return found;
}

bool resetSecondFactor(const std::string& databasePath, const std::string& name) {
  data::Connection conn;
  conn.Open(connectionText(databasePath));
  // The secret first: recovery codes left by a cut-short reset open nothing without one.
  bool found = conn.Execute(data::Sql("update wq_admin set otp_secret='', otp_step=null where admin=?",
                                      {data::Value(name)})) > 0;
  conn.Execute(data::Sql("delete from wq_admin_recovery where adminid in (select adminid from wq_admin where admin=?)",
                         {data::Value(name)}));
  conn.Close();
  return found;
}

}  // namespace tovi::accounts
