// Rows put straight into a fake site's database, the operator's request, and
// small text helpers: what the storefront, back-office, order and site-page
// tests share.
#pragma once

#include <string>

#include "data/connection.h"
#include "data/recordset.h"
#include "data/value.h"
#include "support/fake_host.h"

namespace tovi::testing {

// Occurrences of `needle` in `text`.
inline int occurrences(const std::string& text, const std::string& needle) {
  int n = 0;
  for (std::size_t p = text.find(needle); p != std::string::npos; p = text.find(needle, p + needle.size())) ++n;
  return n;
}

inline long rowCount(FakeSite& site, const std::string& table) {
  data::Recordset rs;
  rs.Open("select * from " + table, site.db(), data::adOpenKeyset, data::adLockReadOnly);
  return rs.RecordCount();
}

// A field of row `id` (key column `key`), "" when the row is missing; `found` tells which.
inline data::Value fieldOf(FakeSite& site, const std::string& table, const std::string& key, long long id,
                           const std::string& field, bool* found = nullptr) {
  data::Recordset rs;
  rs.Open(data::Sql("select * from " + table + " where " + key + "=?", {data::Value(id)}), site.db(),
          data::adOpenKeyset, data::adLockReadOnly);
  if (found) *found = !rs.Eof();
  return rs.Eof() ? data::Value("") : data::Value(rs(field).value());
}

// A logged-in operator of right `flag`, on a fixed clock.
inline FakeRequest operatorOf(data::Value flag = 1, const std::string& name = "admin") {
  FakeRequest req;
  req.session["admin"] = data::Value(name);
  req.session["flag"] = flag;
  req.now = data::DateTime{2024, 3, 9, 10, 0, 0};
  return req;
}

struct Dish {
  std::string name = "菜";
  std::string jiage = "10";
  std::string lei = "招牌老菜";
  int lei2 = 1;
  std::string content = "<b>好吃</b>";
  std::string pic = "images/dishes/d01.jpg";
  data::DateTime dates{2024, 3, 1, 10, 0, 0};
};

inline long long addDish(FakeSite& site, const Dish& d) {
  data::Recordset rs;
  rs.Open("select * from cygl", site.db(), data::adOpenKeyset, data::adLockOptimistic);
  rs.AddNew();
  rs("name") = d.name;
  rs("jiage") = d.jiage;
  rs("pic") = d.pic;
  rs("content") = d.content;
  rs("lei") = d.lei;
  rs("lei2") = d.lei2;
  rs("dates") = d.dates;
  rs.Update();
  return rs("id").value().toInteger();
}

// `n` dishes named prefix1..prefixN, each a minute newer than the one before.
inline void addDishes(FakeSite& site, int n, int lei2 = 1, const std::string& prefix = "菜",
                      const std::string& lei = "招牌老菜") {
  for (int i = 1; i <= n; ++i)
    addDish(site, Dish{.name = prefix + std::to_string(i), .lei = lei, .lei2 = lei2,
                       .dates = data::DateTime{2024, 1, 1, 0, 0, 0}.addSeconds(i * 60)});
}

// A back-office account; returns its adminid.
inline long long addAccount(FakeSite& site, const std::string& name, data::Value flag,
                            const std::string& password = "") {
  data::Recordset rs;
  rs.Open("select * from wq_admin", site.db(), data::adOpenKeyset, data::adLockOptimistic);
  rs.AddNew();
  rs("admin") = data::Value(name);
  rs("password") = data::Value(password);
  rs("flag") = flag;
  rs.Update();
  return rs("adminid").value().toInteger();
}

struct Member {
  std::string names = "lisi";
  data::Value sh = 1;
  int sex = 1;
  std::string address = "鼓楼区五四路8号";
};

inline long long addMember(FakeSite& site, const Member& m) {
  data::Recordset rs;
  rs.Open("select * from reg", site.db(), data::adOpenKeyset, data::adLockOptimistic);
  rs.AddNew();
  const std::pair<const char*, data::Value> fields[] = {
      {"names", data::Value(m.names)}, {"sh", m.sh}, {"sex", data::Value(m.sex)}, {"tel", data::Value("0591-1234567")},
      {"address", data::Value(m.address)}, {"email", data::Value("lisi@example.com")},
      {"question", data::Value("我的小学？")}, {"answer", data::Value("实验小学")}, {"postcode", data::Value("350001")},
      {"vocation", data::Value("餐饮")}, {"profession", data::Value("厨师")}, {"education", data::Value("大专")},
      {"income", data::Value("3000-5000")}, {"yearss", data::Value(1990)}, {"monthss", data::Value(3)},
      {"dayss", data::Value(9)}, {"dates", data::Value(data::DateTime{2010, 5, 17, 11, 42, 0})}};
  for (const auto& [name, value] : fields) rs(name) = value;
  rs.Update();
  return rs("id").value().toInteger();
}

}  // namespace tovi::testing
