// The order detail ddgl1.asp (the guard in front of it: the back-office guard
// table) and the order key every order page reads.
#include "orders/ddgl1.h"
#include "support/site_rows.h"
#include "support/testing.h"

// Plain decimal only: the detail, status, delete, ticket and live-screen pages take an id (and the status
// page its status) so.
TEST(OrderId, PlainDecimalOfAtMost18Digits) {
  for (auto [text, id] : {std::pair<const char*, std::optional<long long>>{"7", 7}, {"0", 0}, {"-3", -3},
                          {"999999999999999999", 999999999999999999}, {"9999999999999999999", {}}, {"", {}},
                          {" 7", {}}, {"7a", {}}, {"1.0", {}}, {"7,1", {}}, {"1 or 1=1", {}}})
    EXPECT_EQ(orders::orderId(text), id) << text;
}

TEST(OrderDetail, FieldsShowTheOrderEscapedAndPreselectTheStatus) {
  FakeSite site;
  const std::string id = std::to_string(addOrder(site, Order{.fromdate = {2010, 5, 17, 11, 42, 5}, .dczt = 3}));
  std::vector<std::string> has = {"<form name='theform' action='ddgl2.asp?id=" + id + "' method='post'>"};
  for (auto [label, name, value] : {std::tuple{"联系人：", "yhm", "张三"}, {"联系电话：", "tel", "0591-12345678"},
                                    {"送餐地址：", "address", "鼓楼区五四路1号"}, {"其他备注：", "qtbz", ""},
                                    {"提单时间：", "fromdate", "2010-5-17 11:42:05"}, {"到达时间：", "todate", "12点30分"},
                                    {"支付方式：", "zffs", "餐到付费"}})
    has.push_back(std::string(label) + "</span></td><td width='80%' bgcolor='#FFFFFF'><input name='" + name +
                  "' type='text' size='50' readonly='readonly' value='" + value + "' />");
  expectPage(site, {.name = "fields", .page = "ddgl1", .query = {{"id", id}}, .has = has});
  // Stored codes outside 1..4 pre-select the first status.
  const char* labels[] = {"等待中", "制作当中", "派送当中", "已结帐"};
  for (auto [dczt, selected] : {std::pair{1, 1}, {2, 2}, {3, 3}, {4, 4}, {0, 1}, {7, 1}, {-2, 1}}) {
    std::string options;
    for (int code = 1; code <= 4; ++code)
      options += "<option value='" + std::to_string(code) + "'" + (code == selected ? " selected='selected'" : "") +
                 ">" + labels[code - 1] + "</option>";
    expectPage(site, {.name = "status " + std::to_string(dczt), .page = "ddgl1",
                      .query = {{"id", std::to_string(addOrder(site, Order{.dczt = dczt}))}},
                      .has = {"<select name='select'>" + options + "</select>"}});
  }
  long long hostile = addOrder(site, Order{.yhm = "x' onfocus='alert(1)", .telsss = "<script>1</script>",
                                           .addresss = "a\"b&c", .qtbz = "'><img src=x onerror=alert(2)>"});
  expectPage(site, {.name = "escaped", .page = "ddgl1", .query = {{"id", std::to_string(hostile)}},
                    .has = {"value='x&#39; onfocus=&#39;alert(1)'", "value='&lt;script&gt;1&lt;/script&gt;'",
                            "value='a&quot;b&amp;c'"},
                    .hasNot = {"<img src=x"}});
  for (auto [given, message] : {std::pair{"abc", "订单编号不正确！"}, {"-3", "没有找到这个订单，它可能已被删除！"}})
    expectPage(site, {.name = given, .page = "ddgl1", .query = {{"id", given}},
                      .has = {alertOf(message) + ";history.go(-1);"}, .hasNot = {"theform"}, .ended = true});
}
