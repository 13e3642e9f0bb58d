// The order detail ddgl1.asp (the fields, the status pre-selection, bad ids),
// and the back-office guard in front of every order page.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/site_rows.h"

using namespace tovi;
using namespace tovi::testing;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

PageResult detail(FakeSite& site, const std::string& id) { return runAs(site, "mabex.ddgl1", {{"id", id}}); }

TEST(OrderDetail, FieldsShowTheOrderEscapedAndPreselectTheStatus) {
  FakeSite site;
  long long id = addOrder(site, Order{.fromdate = {2010, 5, 17, 11, 42, 5}, .dczt = 3});
  std::string body = detail(site, std::to_string(id)).body;
  EXPECT_THAT(body, HasSubstr("<form name='theform' action='ddgl2.asp?id=" + std::to_string(id) + "' method='post'>"));
  for (auto [label, name, value] : {std::tuple{"联系人：", "yhm", "张三"}, {"联系电话：", "tel", "0591-12345678"},
                                    {"送餐地址：", "address", "鼓楼区五四路1号"}, {"其他备注：", "qtbz", ""},
                                    {"提单时间：", "fromdate", "2010-5-17 11:42:05"}, {"到达时间：", "todate", "12点30分"},
                                    {"支付方式：", "zffs", "餐到付费"}})
    EXPECT_THAT(body, HasSubstr(std::string(label) + "</span></td><td width='80%' bgcolor='#FFFFFF'><input name='" +
                                name + "' type='text' size='50' readonly='readonly' value='" + value + "' />"));
  // Stored codes outside 1..4 pre-select the first status.
  for (auto [dczt, selected] : {std::pair{1, 1}, {2, 2}, {3, 3}, {4, 4}, {0, 1}, {7, 1}, {-2, 1}}) {
    SCOPED_TRACE(dczt);
    std::string options;
    int code = 0;
    for (const char* label : {"等待中", "制作当中", "派送当中", "已结帐"}) {
      ++code;
      options += "<option value='" + std::to_string(code) + "'" + (code == selected ? " selected='selected'" : "") +
                 ">" + label + "</option>";
    }
    EXPECT_THAT(detail(site, std::to_string(addOrder(site, Order{.dczt = dczt}))).body,
                HasSubstr("<select name='select'>" + options + "</select>"));
  }
  id = addOrder(site, Order{.yhm = "x' onfocus='alert(1)", .telsss = "<script>1</script>", .addresss = "a\"b&c",
                            .qtbz = "'><img src=x onerror=alert(2)>"});
  body = detail(site, std::to_string(id)).body;
  EXPECT_THAT(body, HasSubstr("value='x&#39; onfocus=&#39;alert(1)'"));
  EXPECT_THAT(body, HasSubstr("value='&lt;script&gt;1&lt;/script&gt;'"));
  EXPECT_THAT(body, HasSubstr("value='a&quot;b&amp;c'"));
  EXPECT_THAT(body, Not(HasSubstr("<img src=x")));
}

TEST(OrderDetail, BadOrUnknownIdsGetAnAlert) {
  FakeSite site;
  long long id = addOrder(site, Order{});
  const std::string bad = "订单编号不正确！", unknown = "没有找到这个订单，它可能已被删除！";
  for (auto [given, message] : {std::pair{std::string(""), bad}, {"abc", bad}, {"1 or 1=1", bad}, {"1.5", bad},
                                {" 1", bad}, {"99999999999999999999999", bad}, {std::to_string(id + 1), unknown},
                                {"0", unknown}, {"-3", unknown}}) {
    SCOPED_TRACE("id=" + given);
    PageResult page = detail(site, given);
    EXPECT_TRUE(page.ended);
    EXPECT_THAT(page.body, HasSubstr(alertOf(message) + ";history.go(-1);"));
    EXPECT_THAT(page.body, Not(HasSubstr("theform")));
  }
}

TEST(OrderPages, GuardStopsVisitorsBeforeAnyOrderIsReadOrSettingStored) {
  FakeSite site;
  long long id = addOrder(site, Order{.yhm = "秘密客户"});
  setOrderFilters(site, {1, 10, 3, 1, "鼓楼"});
  const Fields save = {{"radiobutton", "0"}, {"order_time", "1"}, {"order_times", "1"}, {"order_delet", "0"},
                       {"order_deletkey", "x"}};
  for (const char* page : {"mabex.ddgl", "mabex.ddgl1", "mabex.order_pass"}) {
    for (FakeRequest req : {FakeRequest{}, operatorRequest(3)}) {
      const bool visitor = req.session.empty();
      SCOPED_TRACE(std::string(page) + (visitor ? " visitor" : " right 3"));
      req.sameSitePost();
      req.query = {{"id", std::to_string(id)}, {"action", "save"}};
      req.form = save;
      PageResult out = site.run(page, req, "admin");
      EXPECT_TRUE(out.ended);
      EXPECT_THAT(out.body, HasSubstr(visitor ? "网络超时或者您还没有登录请登录" : "您无此管理权限！"));
      EXPECT_THAT(out.body, Not(HasSubstr("秘密客户")));
      EXPECT_THAT(out.body, Not(HasSubstr("鼓楼")));
    }
  }
  EXPECT_EQ(orderFilters(site), (OrderFilters{1, 10, 3, 1, "鼓楼"}));
}

}  // namespace
