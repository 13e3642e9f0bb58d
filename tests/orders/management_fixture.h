// Orders in a fake site's database and what the order pages wrote, for the
// tests of the operator's side of an order.
#pragma once

#include <regex>
#include <string>
#include <vector>

#include "data/connection.h"
#include "data/recordset.h"
#include "data/value.h"
#include "support/fake_host.h"

namespace tovi::testing {

struct Order {
  std::string yhm = "张三";
  data::DateTime fromdate{2010, 5, 17, 11, 42, 0};
  int dczt = 1;
  std::string telsss = "0591-12345678";
  std::string addresss = "鼓楼区五四路1号";
  std::string qtbz = "";
  std::string hours = "12", minutes = "30";
};

// Stores the order as the order submission page does; returns its id.
inline long long addOrder(FakeSite& site, const Order& o) {
  data::Recordset rs;
  rs.Open("select * from tdgl", site.db(), data::adOpenKeyset, data::adLockOptimistic);
  rs.AddNew();
  const data::DateTime& t = o.fromdate;
  for (const auto& [f, v] : std::vector<std::pair<std::string, data::Value>>{
           {"dcqk", "宫保鸡丁 1份 12元"}, {"dczj", "12"}, {"yhm", o.yhm}, {"telsss", o.telsss}, {"zffs", "餐到付费"},
           {"addresss", o.addresss}, {"qtbz", o.qtbz}, {"years", t.year}, {"months", t.month}, {"days", t.day},
           {"fromdate", t}, {"minutess", t.minute}, {"hourss", t.hour}, {"minutes", o.minutes}, {"hours", o.hours},
           {"dczt", o.dczt}})
    rs(f) = v;
  rs.Update();
  long long id = rs("id").value().toInteger();
  rs.Close();
  return id;
}

// The status of order `id`; -1 when the order is gone.
inline long long statusOf(FakeSite& site, long long id) {
  data::Recordset rs;
  rs.Open(data::Sql("select dczt from tdgl where id=?", {id}), site.db(), data::adOpenKeyset, data::adLockReadOnly);
  return rs.Eof() ? -1 : rs("dczt").value().toInteger();
}

inline long orderCount(FakeSite& site) {
  data::Recordset rs;
  rs.Open("select * from tdgl", site.db(), data::adOpenKeyset, data::adLockReadOnly);
  return rs.RecordCount();
}

// A logged-in operator of right `flag`.
inline FakeRequest operatorRequest(int flag = 1) {
  FakeRequest req;
  req.session["admin"] = "admin";
  req.session["flag"] = flag;
  req.now = data::DateTime{2010, 6, 1, 9, 15, 0};
  return req;
}

// The order ids the list links to, in the order of the rows.
inline std::vector<long long> listedIds(const std::string& body) {
  std::vector<long long> ids;
  static const std::regex link("ddgl1\\.asp\\?id=(\\d+)'>查看订单");
  for (std::sregex_iterator it(body.begin(), body.end(), link), end; it != end; ++it)
    ids.push_back(std::stoll((*it)[1]));
  return ids;
}

inline std::string alertOf(const std::string& message) {
  return "alert('" + message + "')";
}

}  // namespace tovi::testing
