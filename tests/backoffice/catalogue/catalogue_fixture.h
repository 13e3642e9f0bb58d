// Dishes, news and guestbook messages in a fake site's database, and the
// operator's requests, for the catalogue back-office tests.
#pragma once

#include <optional>
#include <string>

#include "data/connection.h"
#include "data/recordset.h"
#include "data/value.h"
#include "support/fake_host.h"

namespace tovi::testing {

inline FakeRequest operatorRequest() {
  FakeRequest r;
  r.session["admin"] = "admin";
  r.session["flag"] = 1;
  r.now = data::DateTime{2024, 3, 9, 10, 0, 0};
  return r;
}

struct Dish {
  std::string name = "宫保鸡丁";
  std::string jiage = "12";
  std::string pic = "images/dishes/a.jpg";
  std::string content = "<p>香辣</p>";
  std::string lei = "新品推荐";
  int lei2 = 1;
  data::DateTime dates{2024, 1, 1, 8, 0, 0};
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
  long long id = rs("id").value().toInteger();
  rs.Close();
  return id;
}

// `n` dishes of category `lei2`, named "菜1".."菜n", the last one newest.
inline void addDishes(FakeSite& site, int n, int lei2 = 1) {
  for (int i = 1; i <= n; ++i)
    addDish(site, Dish{.name = "菜" + std::to_string(i), .lei2 = lei2,
                       .dates = data::DateTime{2024, 1, 1, 0, 0, 0}.addSeconds(i * 60)});
}

// The stored dish, nullopt when it is gone.
inline std::optional<Dish> storedDish(FakeSite& site, long long id) {
  data::Recordset rs;
  rs.Open(data::Sql("select * from cygl where id=?", {id}), site.db(), data::adOpenKeyset, data::adLockReadOnly);
  if (rs.Eof()) return std::nullopt;
  Dish d{.name = rs("name").text(), .jiage = rs("jiage").text(), .pic = rs("pic").text(),
         .content = rs("content").text(), .lei = rs("lei").text(),
         .lei2 = static_cast<int>(rs("lei2").value().toInteger()), .dates = *rs("dates").value().toDate()};
  return d;
}

inline long rowCount(FakeSite& site, const std::string& table) {
  data::Recordset rs;
  rs.Open("select * from " + table, site.db(), data::adOpenKeyset, data::adLockReadOnly);
  return rs.RecordCount();
}

// What a back-office page wrote after the guard's comment block and stylesheet link.
inline std::string afterGuard(const std::string& body) {
  const std::string mark = "style.css文件 -->";
  std::size_t p = body.find(mark);
  return p == std::string::npos ? body : body.substr(p + mark.size());
}

// Occurrences of `needle` in `text`.
inline int count(const std::string& text, const std::string& needle) {
  int n = 0;
  for (std::size_t p = text.find(needle); p != std::string::npos; p = text.find(needle, p + needle.size())) ++n;
  return n;
}

}  // namespace tovi::testing
