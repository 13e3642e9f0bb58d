// Accounts and members in a fake site's database, and requests of logged-in
// operators, for the tests of the back-office shell and its save pages.
#pragma once

#include <string>

#include "data/connection.h"
#include "data/recordset.h"
#include "data/value.h"
#include "support/fake_host.h"

namespace tovi::testing {

// A request of a logged-in operator of right `flag`.
inline FakeRequest operatorOf(data::Value flag, const std::string& name = "boss") {
  FakeRequest req;
  req.session["admin"] = data::Value(name);
  req.session["flag"] = flag;
  return req;
}

// Adds a back-office account; returns its adminid.
inline long long addAccount(FakeSite& site, const std::string& name, data::Value flag,
                            const std::string& password = "") {
  data::Recordset rs;
  rs.Open("select * from wq_admin", site.db(), data::adOpenKeyset, data::adLockOptimistic);
  rs.AddNew();
  rs("admin") = data::Value(name);
  rs("password") = data::Value(password);
  rs("flag") = flag;
  rs.Update();
  long long id = rs("adminid").value().toInteger();
  rs.Close();
  return id;
}

struct Member {
  std::string names = "lisi";
  data::Value sh = 1;
  int sex = 1;
  std::string tel = "0591-1234567";
  std::string address = "鼓楼区五四路8号";
  std::string email = "lisi@example.com";
  std::string question = "我的小学？", answer = "实验小学";
  std::string postcode = "350001";
};

inline long long addMember(FakeSite& site, const Member& m) {
  data::Recordset rs;
  rs.Open("select * from reg", site.db(), data::adOpenKeyset, data::adLockOptimistic);
  rs.AddNew();
  rs("names") = data::Value(m.names);
  rs("sh") = m.sh;
  rs("sex") = data::Value(m.sex);
  rs("tel") = data::Value(m.tel);
  rs("address") = data::Value(m.address);
  rs("email") = data::Value(m.email);
  rs("question") = data::Value(m.question);
  rs("answer") = data::Value(m.answer);
  rs("postcode") = data::Value(m.postcode);
  rs("vocation") = data::Value("餐饮");
  rs("profession") = data::Value("厨师");
  rs("education") = data::Value("大专");
  rs("income") = data::Value("3000-5000");
  rs("yearss") = data::Value(1990);
  rs("monthss") = data::Value(3);
  rs("dayss") = data::Value(9);
  rs("dates") = data::Value(data::DateTime{2010, 5, 17, 11, 42, 0});
  rs.Update();
  long long id = rs("id").value().toInteger();
  rs.Close();
  return id;
}

// A field of one row, "" when the row is missing; `found` tells which.
inline data::Value fieldOf(FakeSite& site, const std::string& table, const std::string& key, long long id,
                           const std::string& field, bool* found = nullptr) {
  data::Recordset rs;
  rs.Open(data::Sql("select * from " + table + " where " + key + "=?", {data::Value(id)}), site.db(),
          data::adOpenKeyset, data::adLockReadOnly);
  if (found) *found = !rs.Eof();
  if (rs.Eof()) return data::Value("");
  data::Value v = rs(field).value();
  rs.Close();
  return v;
}

inline long rowCount(FakeSite& site, const std::string& table) {
  data::Recordset rs;
  rs.Open("select * from " + table, site.db(), data::adOpenKeyset, data::adLockReadOnly);
  long n = rs.RecordCount();
  rs.Close();
  return n;
}

// Number of times `needle` occurs in `text`.
inline int occurrences(const std::string& text, const std::string& needle) {
  int n = 0;
  for (std::size_t p = text.find(needle); p != std::string::npos; p = text.find(needle, p + needle.size())) ++n;
  return n;
}

}  // namespace tovi::testing
