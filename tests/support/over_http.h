// The site's own pages over HTTP: logins, form posts, a look into the real
// server's database, and a site with its staff logged in whose refusals are
// checked row by row against a snapshot of everything they must not change.
//
//   struct Accounts : StaffedSite, ::testing::Test {};
//   TEST_F(Accounts, ...) { expectRefused({{&clerk, "/admin/saveadmin.asp?action=add", "admin2=x", {"没有"}}}); }
#pragma once

#include <filesystem>

#include "data/connection.h"
#include "data/recordset.h"
#include "accounts/passwords.h"
#include "support/live_server.h"
#include "support/site_rows.h"
#include "support/testing.h"

namespace tovi::testing {

// The site owner's password as `tovi init` (or serve, adding the owner) printed it in `output`; "" when none.
inline std::string printedPassword(const std::string& output) {
  auto at = output.rfind("password: ");
  return at == std::string::npos ? "" : output.substr(at + 10, output.find('\n', at) - at - 10);
}

// A form post from the site's own page.
inline HttpResponse postOwn(HttpClient& http, const std::string& target, const std::string& body) {
  return http.post(target, body, "application/x-www-form-urlencoded", {{"Origin", http.origin()}});
}

// The url-encoded body a gb2312 page posts for `fields` (UTF-8 text).
inline std::string gbkForm(Fields fields) {
  for (auto& [k, v] : fields) v = toGbk(v);
  return formBody(fields);
}
inline Fields withField(Fields fields, const std::string& field, const std::string& value) {
  for (auto& [k, v] : fields) v = k == field ? value : v;
  return fields;
}

// Fetches a code image, as the login page does, then posts the login form.
inline HttpResponse logIn(HttpClient& http, const std::string& name, const std::string& password) {
  EXPECT_EQ(http.get("/GetCode.asp").status, 200);
  return postOwn(http, "/admin/chkadmin.asp",
                 gbkForm({{"admin", name}, {"password", password}, {"verifycode", "1234"}, {"Submit2", "提交"}}));
}
// Field `field` of the first row `sql` selects from the server's database
// ("<none>" without a row), or with an empty `field` the number of rows.
inline std::string liveValue(const LiveServer& server, const data::Sql& sql, const std::string& field = "") {
  data::Connection conn;
  conn.Open("Data Source=" + server.databasePath());
  data::Recordset rs;
  rs.Open(sql, conn, data::adOpenKeyset, data::adLockReadOnly);
  return field.empty() ? std::to_string(rs.RecordCount()) : rs.Eof() ? "<none>" : rs(field).text();
}

// Runs one statement on the server's database file, as the operator's tools would.
inline void liveExec(const LiveServer& server, const data::Sql& sql) {
  data::Connection conn;
  conn.Open("Data Source=" + server.databasePath());
  conn.Execute(sql);
}

// A demo site with its staff logged in: the site owner "admin" (right 1),
// "clerk" (right 2) and "cook" (right 3), and a visitor who is nobody.
struct StaffedSite {
  LiveServer server{{.demo = true, .args = {"--fixed-code", "1234"}}};
  HttpClient owner = staff("admin", 1), clerk = staff("clerk", 2), cook = staff("cook", 3), visitor{server.port()};

  // A client logged in as `name` (the site owner "admin" with the password init printed).
  HttpClient staff(const std::string& name, int flag) {
    std::string password = name == "admin" ? printedPassword(server.initOutput()) : name + "-pass";
    if (name != "admin")
      liveExec(server, data::Sql("insert into wq_admin (admin, password, flag) values (?, ?, ?)",
                                 {name, accounts::hashPassword(password), flag}));
    HttpClient http(server.port());
    EXPECT_THAT(logIn(http, name, password).text(), HasSubstr("index.asp"));
    return http;
  }
  std::string id(const std::string& table, const std::string& key, const std::string& where) {
    return liveValue(server, "select * from " + table + " where " + where, key);
  }

  // Everything a refused request must leave as it was: accounts, members,
  // orders, messages, dishes, the bulletin, backups and uploaded pictures.
  std::string snapshot() {
    std::string out;
    for (const std::string& row : sqliteColumn(
             server.databasePath(),
             "select printf('%s|%s|%s|%s', adminid, admin, flag, password) from wq_admin; "
             "select printf('%s|%s|%s|%s', id, names, sh, password) from reg; "
             "select printf('%s|%s', id, dczt) from tdgl; select printf('%s|%s', id, jiage) from cygl; "
             "select printf('%s|%s|%s', ID, Comments, Replay) from Feedback; select content from bulletin"))
      out += row + "\n";
    std::error_code none;  // a folder not there holds nothing
    for (const char* folder : {"/database/backup", "/uploadpic"})
      for (const auto& e : std::filesystem::directory_iterator(server.root() + folder, none))
        out += e.path().filename().string() + "\n";
    return out;
  }

  // A request that must be refused: who sends it, where from, and the texts the answer holds.
  enum From { Site, OtherSite, OtherReferer, Nowhere };
  struct Ask {
    HttpClient* who;
    std::string target, body;
    std::vector<std::string> answer;
    From from = Site;
    bool get = false;
    std::string type = "application/x-www-form-urlencoded";
  };
  // Sends each (after a code image, for the forms that want one) and checks that nothing changed.
  void expectRefused(const std::vector<Ask>& asks) {
    const std::string before = snapshot();
    for (const Ask& a : asks) {
      SCOPED_TRACE(a.target + " " + a.body.substr(0, 100));
      const std::map<std::string, std::string> from[] = {
          {{"Origin", a.who->origin()}}, {{"Origin", "http://evil.example"}}, {{"Referer", "http://evil.example"}}, {}};
      a.who->get("/GetCode.asp");
      std::string text =
          (a.get ? a.who->get(a.target, from[a.from]) : a.who->post(a.target, a.body, a.type, from[a.from])).text();
      for (const std::string& want : a.answer) EXPECT_THAT(text, HasSubstr(want));
      EXPECT_EQ(snapshot(), before);
    }
  }
};

}  // namespace tovi::testing
