// The site owner's login and a look into the database of a real server, for
// the tests of the site's own pages over HTTP.
#pragma once

#include <gmock/gmock.h>

#include <string>
#include <utility>
#include <vector>

#include "data/connection.h"
#include "data/recordset.h"
#include "support/live_server.h"

namespace tovi::testing {

// Serve options of every test here: the code image always shows 1234.
inline const LiveServer::Options kFixedCode{.args = {"--fixed-code", "1234"}};

// The password `tovi init` printed for the site owner "admin".
inline std::string initPassword(const LiveServer& server) {
  const std::string& out = server.initOutput();
  auto at = out.rfind("password: ");
  if (at == std::string::npos) return "";
  return out.substr(at + 10, out.find('\n', at) - at - 10);
}

// Fetches a code image (as the login page does), then posts the login form
// from the site's own page; the server runs with --fixed-code 1234.
inline HttpResponse logIn(HttpClient& http, const std::string& name, const std::string& password,
                          const std::string& code = "1234") {
  EXPECT_EQ(http.get("/GetCode.asp").status, 200);
  return http.post("/admin/chkadmin.asp",
                   formBody({{"admin", toGbk(name)}, {"password", password}, {"verifycode", code}, {"Submit2", toGbk("提交")}}),
                   "application/x-www-form-urlencoded", {{"Origin", http.origin()}});
}

// A client logged in as the site owner.
inline HttpClient asOwner(const LiveServer& server) {
  HttpClient http(server.port());
  EXPECT_THAT(logIn(http, "admin", initPassword(server)).text(), ::testing::HasSubstr("index.asp"));
  return http;
}

// Form fields as UTF-8 text, in the order a browser sends them.
using Fields = std::vector<std::pair<std::string, std::string>>;

// The url-encoded body a gb2312 page posts for `fields`.
inline std::string gbkForm(const Fields& fields) {
  Fields gbk;
  for (const auto& [k, v] : fields) gbk.emplace_back(k, toGbk(v));
  return formBody(gbk);
}

// `fields` with the value of `field` replaced.
inline Fields withField(Fields fields, const std::string& field, const std::string& value) {
  for (auto& [k, v] : fields)
    if (k == field) v = value;
  return fields;
}

inline HttpResponse postForm(HttpClient& http, const std::string& target, const std::string& body,
                             const std::map<std::string, std::string>& headers) {
  return http.post(target, body, "application/x-www-form-urlencoded", headers);
}

// A form post from the site's own page, and one from another site.
inline HttpResponse postOwn(HttpClient& http, const std::string& target, const std::string& body) {
  return postForm(http, target, body, {{"Origin", http.origin()}});
}
inline HttpResponse postForeign(HttpClient& http, const std::string& target, const std::string& body) {
  return postForm(http, target, body, {{"Origin", "http://evil.example"}});
}

// Field `field` of the first row `sql` selects from the server's database
// ("<none>" without a row), or with an empty `field` the number of rows.
inline std::string liveValue(const LiveServer& server, const data::Sql& sql, const std::string& field = "") {
  data::Connection conn;
  conn.Open("Data Source=" + server.databasePath());
  data::Recordset rs;
  rs.Open(sql, conn, data::adOpenKeyset, data::adLockReadOnly);
  std::string v = field.empty() ? std::to_string(rs.RecordCount()) : rs.Eof() ? "<none>" : rs(field).text();
  rs.Close();
  conn.Close();
  return v;
}

// Runs one statement on the server's database file, as the operator's tools would.
inline void liveExec(const LiveServer& server, const data::Sql& sql) {
  data::Connection conn;
  conn.Open("Data Source=" + server.databasePath());
  conn.Execute(sql);
  conn.Close();
}

}  // namespace tovi::testing
