// The site in memory, for component tests: a host with the frame's objects and no HTTP (each run starts the component,
// calls its render operation and ends it, as the real host does; Response.End and Redirect end the run as they end a
// page), rows put straight into its database, the operator's requests, and small text helpers.
//
//   FakeSite site;                              // temporary web root with a fresh database
//   long long id = addOrder(site, Order{.yhm = "李四", .dczt = 3});
//   FakeRequest req;  req.query = {{"id", std::to_string(id)}};  req.session["admin"] = "boss";
//   PageResult page = site.run("mabex.ddgl1", req, "admin");   // or runAs(site, "mabex.ddgl1", req.query)
#pragma once

#include <gmock/gmock.h>

#include <functional>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "data/connection.h"
#include "data/recordset.h"
#include "data/value.h"
#include "frame/component.h"
#include "frame/host.h"
#include "frame/http_details.h"
#include "frame/text.h"

namespace tovi::testing {

struct ILess {  // case-insensitive order for session keys and header names
  bool operator()(const std::string& a, const std::string& b) const {
    return frame::asciiLower(a) < frame::asciiLower(b);
  }
};

using Fields = std::vector<std::pair<std::string, std::string>>;  // names and texts, in order

struct FakeRequest {
  Fields query, form;                                       // repeated names allowed
  std::map<std::string, std::string, ILess> cookies;        // name -> value as sent ("k1=v1&k2=v2", GBK escaped)
  std::map<std::string, tovi::data::Value, ILess> session;        // kept across runs when reused
  std::optional<tovi::data::DateTime> now;                        // the clock; real local time when empty
  // HTTP details for the site's own pages; without `http` the page sees none.
  bool http = false;
  std::string method = "GET", clientAddress = "127.0.0.1";
  std::map<std::string, std::string, ILess> headers;  // e.g. Host, Origin, Referer
  // A same-site post, as the site's own forms send it.
  FakeRequest& sameSitePost() {
    http = true, method = "POST", headers = {{"Host", "127.0.0.1:8080"}, {"Origin", "http://127.0.0.1:8080"}};
    return *this;
  }
};

struct PageResult {
  std::string body, redirect;  // what the page wrote (empty after a redirect); Response.Redirect's target
  bool ended = false, abandoned = false;  // Response.End or Redirect stopped the page; Session.Abandon was called
  std::map<std::string, tovi::frame::ResponseCookie> cookies;
  int status = 200;                // this and the rest through the HTTP details
  std::string binaryType, binary;  // sendBinary
  std::map<std::string, std::string> headers;
  bool sessionRenewed = false;
};

class FakeSite {
 public:
  // A temporary web root with an `admin` folder and a fresh database/tamlo.mdb
  // holding one account: the site owner "admin" (right 1, no password).
  FakeSite();
  ~FakeSite();

  const std::string& root() const { return root_; }
  std::string databasePath() const { return root_ + "/database/tamlo.mdb"; }
  // A connection of the test's own on the site database.
  tovi::data::Connection& db() { return *db_; }

  // Runs component `id`'s operation `operation` as the page `folder`/x.asp
  // ("" for the storefront root, "admin" for the back office). The request's
  // session is updated with what the page stored.
  PageResult run(const std::string& id, FakeRequest& request, const std::string& folder = "",
                 const std::string& operation = "");

  // Runs `body` as the render operation of a page in `folder` (shared procedures).
  PageResult runBody(const std::function<void()>& body, FakeRequest& request, const std::string& folder = "");

 private:
  PageResult drive(tovi::frame::Component& component, FakeRequest& request, const std::string& folder,
                   const std::function<void()>& body);
  std::string root_;
  tovi::frame::Registry registry_;
  std::unique_ptr<tovi::data::Connection> db_ = std::make_unique<tovi::data::Connection>();
};


inline int occurrences(const std::string& text, const std::string& needle) {
  int n = 0;
  for (std::size_t p = text.find(needle); p != std::string::npos; p = text.find(needle, p + needle.size())) ++n;
  return n;
}

using Row = std::vector<std::pair<std::string, data::Value>>;

// Inserts one row into `table` through AddNew/Update; returns its key column `key`.
inline long long insertRow(data::Connection& db, const std::string& table, const Row& fields, const char* key = "id") {
  data::Recordset rs;
  rs.Open("select * from " + table, db, data::adOpenKeyset, data::adLockOptimistic);
  rs.AddNew();
  for (const auto& [name, value] : fields) rs(name) = value;
  rs.Update();
  return rs(key).value().toInteger();
}

// Every value of `field` in the rows `sql` selects, walking with MoveNext.
inline std::vector<std::string> valuesOf(data::Connection& db, const data::Sql& sql, const std::string& field) {
  data::Recordset rs;
  rs.Open(sql, db, data::adOpenKeyset, data::adLockReadOnly);
  std::vector<std::string> out;
  for (; !rs.Eof(); rs.MoveNext()) out.push_back(rs(field).text());
  return out;
}
inline long rowCount(FakeSite& site, const std::string& table) {
  return std::stol(valuesOf(site.db(), "select count(*) as n from " + table, "n").at(0));
}
// A field of row `id` (key column `key`) as text, "" when the row is missing.
inline std::string fieldOf(FakeSite& site, const std::string& table, const std::string& key, long long id,
                           const std::string& field) {
  auto v = valuesOf(site.db(), data::Sql("select * from " + table + " where " + key + "=?", {id}), field);
  return v.empty() ? "" : v[0];
}

// A logged-in operator of right `flag`, on a fixed clock.
inline FakeRequest operatorOf(data::Value flag = 1, const std::string& name = "admin") {
  FakeRequest req;
  req.session = {{"admin", data::Value(name)}, {"flag", flag}};
  req.now = data::DateTime{2024, 3, 9, 10, 0, 0};
  return req;
}

// Back-office page `id` run by operatorOf() with this query, as a same-site post when `form` is given.
inline PageResult runAs(FakeSite& site, const std::string& id, Fields query, Fields form = {}) {
  FakeRequest req = operatorOf();
  if (!form.empty()) req.sameSitePost();
  req.query = std::move(query);
  req.form = std::move(form);
  return site.run(id, req, "admin");
}

// Every text of `has` is in `body`, none of `hasNot`.
inline void expectTexts(const std::string& body, const std::vector<std::string>& has,
                        const std::vector<std::string>& hasNot = {}) {
  for (const std::string& t : has) EXPECT_THAT(body, ::testing::HasSubstr(t));
  for (const std::string& t : hasNot) EXPECT_THAT(body, ::testing::Not(::testing::HasSubstr(t)));
}

// One back-office request as the operator (runAs) and what must come back.
struct PageCase {
  std::string name, page;  // page: the component id after "mabex."
  Fields query = {}, form = {};
  std::vector<std::string> has = {}, hasNot = {};
  bool ended = false;  // the page must have stopped (an alert, a guard)
};

inline PageResult expectPage(FakeSite& site, const PageCase& c) {
  SCOPED_TRACE(c.name);
  PageResult out = runAs(site, "mabex." + c.page, c.query, c.form);
  EXPECT_TRUE(out.ended || !c.ended);
  expectTexts(out.body, c.has, c.hasNot);
  return out;
}

struct Dish {
  std::string name = "菜", jiage = "10", lei = "招牌老菜";
  int lei2 = 1;
  std::string content = "<b>好吃</b>", pic = "images/dishes/d01.jpg";
  data::DateTime dates{2024, 3, 1, 10, 0, 0};
};

inline long long addDish(FakeSite& site, const Dish& d) {
  return insertRow(site.db(), "cygl", {{"name", d.name}, {"jiage", d.jiage}, {"pic", d.pic}, {"content", d.content},
                                       {"lei", d.lei}, {"lei2", d.lei2}, {"dates", d.dates}});
}

// `n` dishes named prefix1..prefixN, each a minute newer than the one before.
inline void addDishes(FakeSite& site, int n, int lei2 = 1, const std::string& prefix = "菜",
                      const std::string& lei = "招牌老菜") {
  for (int i = 1; i <= n; ++i)
    addDish(site, Dish{.name = prefix + std::to_string(i), .lei = lei, .lei2 = lei2,
                       .dates = data::DateTime{2024, 1, 1, 0, 0, 0}.addSeconds(i * 60)});
}

// The stored dish, nullopt when it is gone.
inline std::optional<Dish> storedDish(FakeSite& site, long long id) {
  data::Recordset rs;
  rs.Open(data::Sql("select * from cygl where id=?", {id}), site.db(), data::adOpenKeyset, data::adLockReadOnly);
  if (rs.Eof()) return std::nullopt;
  return Dish{.name = rs("name").text(), .jiage = rs("jiage").text(), .lei = rs("lei").text(),
              .lei2 = static_cast<int>(rs("lei2").value().toInteger()), .content = rs("content").text(),
              .pic = rs("pic").text(), .dates = *rs("dates").value().toDate()};
}

// A back-office account; returns its adminid.
inline long long addAccount(FakeSite& site, const std::string& name, data::Value flag,
                            const std::string& password = "") {
  return insertRow(site.db(), "wq_admin", {{"admin", name}, {"password", password}, {"flag", flag}}, "adminid");
}

struct Member {
  std::string names = "lisi";
  data::Value sh = 1;
  int sex = 1;
  std::string address = "鼓楼区五四路8号";
};

inline long long addMember(FakeSite& site, const Member& m) {
  return insertRow(site.db(), "reg", {{"names", m.names}, {"sh", m.sh}, {"sex", m.sex}, {"tel", "0591-1234567"},
                                      {"address", m.address}, {"email", "lisi@example.com"}, {"question", "我的小学？"},
                                      {"answer", "实验小学"}, {"postcode", "350001"}, {"vocation", "餐饮"},
                                      {"profession", "厨师"}, {"education", "大专"}, {"income", "3000-5000"},
                                      {"yearss", 1990}, {"monthss", 3}, {"dayss", 9},
                                      {"dates", data::DateTime{2010, 5, 17, 11, 42, 0}}});
}

struct Order {
  std::string yhm = "张三";
  data::DateTime fromdate{2010, 5, 17, 11, 42, 0};
  int dczt = 1;
  std::string telsss = "0591-12345678", addresss = "鼓楼区五四路1号", qtbz = "", hours = "12", minutes = "30";
  std::string dcqk = "宫保鸡丁 1份 12元", dczj = "12";
};

// Stores the order as the order submission page does; returns its id.
inline long long addOrder(FakeSite& site, const Order& o) {
  const data::DateTime& t = o.fromdate;
  return insertRow(site.db(), "tdgl", {{"dcqk", o.dcqk}, {"dczj", o.dczj}, {"yhm", o.yhm}, {"telsss", o.telsss},
                                       {"zffs", "餐到付费"}, {"addresss", o.addresss}, {"qtbz", o.qtbz},
                                       {"years", t.year}, {"months", t.month}, {"days", t.day}, {"fromdate", t},
                                       {"minutess", t.minute}, {"hourss", t.hour}, {"minutes", o.minutes},
                                       {"hours", o.hours}, {"dczt", o.dczt}});
}

// The order ids the order list links to, in the order of the rows.
inline std::vector<long long> listedIds(const std::string& body) {
  std::vector<long long> ids;
  static const std::regex link("ddgl1\\.asp\\?id=(\\d+)'>查看订单");
  for (std::sregex_iterator it(body.begin(), body.end(), link), end; it != end; ++it)
    ids.push_back(std::stoll((*it)[1]));
  return ids;
}

// The order filters of set_tamloall: the limit switch, its window in minutes
// and orders per window, the address filter switch and its keywords.
struct OrderFilters {
  long long limitOn = 0, window = 0, times = 0, addressOn = 0;
  std::string keywords = "";
  bool operator==(const OrderFilters&) const = default;
};

inline void setOrderFilters(FakeSite& site, const OrderFilters& f) {
  site.db().Execute({"update set_tamloall set order_time_state=?, order_time=?, order_times=?, order_delet_state=?, "
                     "order_deletkey=?",
                     {f.limitOn, f.window, f.times, f.addressOn, f.keywords}});
}

inline OrderFilters orderFilters(FakeSite& site) {
  data::Recordset rs;
  rs.Open("select * from set_tamloall", site.db(), data::adOpenKeyset, data::adLockReadOnly);
  auto n = [&](const char* f) { return rs(f).value().toInteger(); };
  return {n("order_time_state"), n("order_time"), n("order_times"), n("order_delet_state"),
          rs("order_deletkey").text()};
}

}  // namespace tovi::testing
