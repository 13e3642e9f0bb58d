// The order detail ddgl1.asp, the delete's prompt (their guard: the back-office guard table) and the order key.
#include "orders/ddgl1.h"
#include "support/site_rows.h"
#include "support/testing.h"

// Plain decimal only, as every order page takes an id (and the status change its status).
TEST(OrderId, PlainDecimalOfAtMost18Digits) {
  for (auto [text, id] : {std::pair<const char*, std::optional<long long>>{"7", 7}, {"0", 0}, {"-3", -3},
                          {"999999999999999999", 999999999999999999}, {"9999999999999999999", {}}, {"", {}},
                          {" 7", {}}, {"7a", {}}, {"1.0", {}}, {"7,1", {}}, {"1 or 1=1", {}}})
    EXPECT_EQ(orders::orderId(text), id) << text;
}

TEST(OrderDetail, FieldsShowTheOrderEscapedAndPreselectTheStatus) {
  FakeSite site;
  const std::string id = std::to_string(addOrder(site, Order{.fromdate = {2010, 5, 17, 11, 42, 5}, .dczt = 3}));
  std::vector<std::string> has = {"action='ddgl2.asp?id=" + id + "'"};
  for (auto [name, value] : {std::pair{"yhm", "张三"}, {"tel", "0591-12345678"}, {"address", "鼓楼区五四路1号"},
                             {"qtbz", ""}, {"fromdate", "2010-5-17 11:42:05"}, {"todate", "12点30分"}, {"zffs", "餐到付费"}})
    has.push_back(std::string(name) + "' type='text' size='50' readonly='readonly' value='" + value + "'");
  expectPage(site, {.name = "fields", .page = "ddgl1", .query = {{"id", id}}, .has = has});
  // Stored codes outside 1..4 pre-select the first status.
  for (auto [dczt, selected] : {std::pair{1, "1"}, {2, "2"}, {3, "3"}, {4, "4"}, {0, "1"}, {7, "1"}, {-2, "1"}}) {
    const std::string body = runAs(site, "mabex.ddgl1", {{"id", std::to_string(addOrder(site, {.dczt = dczt}))}}).body;
    EXPECT_EQ(occurrences(body, " selected="), 1) << dczt;
    EXPECT_THAT(body, HasSubstr("<option value='" + std::string(selected) + "' selected")) << dczt;
  }
  // Escaped in the detail's fields and in the prompt the delete page shows on a GET.
  FakeRequest get = operatorOf();
  get.http = true;
  get.query = {{"id", std::to_string(addOrder(site, {.yhm = "x' onfocus='alert(1)", .telsss = "<script>1",
                                                     .addresss = "a\"b&c", .qtbz = "'><img src=x>"}))}};
  expectPage(site, {.name = "escaped", .page = "ddgl1", .query = get.query,
                    .has = {"value='x&#39; onfocus=&#39;alert(1)'", "value='&lt;script&gt;1'", "'a&quot;b&amp;c'"},
                    .hasNot = {"<img src=x"}});
  EXPECT_THAT(site.run("tovi.ddgl3", get, "admin").body,
              HasSubstr("联系人 <b>x&#39; onfocus=&#39;alert(1)</b> 于 2010-5-17 11:42:00 提交"));
  for (auto [given, message] : {std::pair{"abc", "订单编号不正确"}, {"-3", "没有找到这个订单"}})
    expectPage(site, {.name = given, .page = "ddgl1", .query = {{"id", given}}, .has = {message}, .hasNot = {"theform"},
                      .ended = true});
}
