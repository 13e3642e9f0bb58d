// The stored dish and the bare output of a back-office page, for the catalogue tests.
#pragma once

#include <optional>
#include <string>

#include "support/site_rows.h"

namespace tovi::testing {

// The stored dish, nullopt when it is gone.
inline std::optional<Dish> storedDish(FakeSite& site, long long id) {
  data::Recordset rs;
  rs.Open(data::Sql("select * from cygl where id=?", {id}), site.db(), data::adOpenKeyset, data::adLockReadOnly);
  if (rs.Eof()) return std::nullopt;
  return Dish{.name = rs("name").text(), .jiage = rs("jiage").text(), .lei = rs("lei").text(),
              .lei2 = static_cast<int>(rs("lei2").value().toInteger()), .content = rs("content").text(),
              .pic = rs("pic").text(), .dates = *rs("dates").value().toDate()};
}

// A page's output after the guard's comment block and stylesheet link.
inline std::string afterGuard(const std::string& body) {
  const std::string mark = "style.css文件 -->";
  std::size_t p = body.find(mark);
  return p == std::string::npos ? body : body.substr(p + mark.size());
}

// An operator's request to page `id` with this query, and as a same-site post when `form` is given.
inline PageResult runAs(FakeSite& site, const std::string& id, std::vector<std::pair<std::string, std::string>> query,
                        std::vector<std::pair<std::string, std::string>> form = {}, bool post = false) {
  FakeRequest req = operatorOf();
  if (post || !form.empty()) req.sameSitePost();
  req.query = std::move(query);
  req.form = std::move(form);
  return site.run(id, req, "admin");
}

}  // namespace tovi::testing
