// The order detail ddgl1.asp: the fields, the status pre-selection, bad ids.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "management_fixture.h"
#include "support/fake_host.h"

using namespace tovi;
using namespace tovi::testing;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

PageResult detail(FakeSite& site, const std::string& id) {
  FakeRequest req = operatorRequest();
  req.query = {{"id", id}};
  return site.run("mabex.ddgl1", req, "admin");
}

std::string option(int code, const char* label, bool selected) {
  return "<option value='" + std::to_string(code) + "'" + (selected ? " selected='selected'" : "") + ">" + label +
         "</option>";
}

TEST(OrderDetail, StatusListPreselectsTheStoredStatus) {
  FakeSite site;
  struct Case {
    int dczt;
    int selected;
  };
  for (const Case& c : {Case{1, 1}, Case{2, 2}, Case{3, 3}, Case{4, 4}, Case{0, 1}, Case{7, 1}, Case{-2, 1}}) {
    SCOPED_TRACE(c.dczt);
    long long id = addOrder(site, Order{.dczt = c.dczt});
    PageResult page = detail(site, std::to_string(id));
    EXPECT_THAT(page.body, HasSubstr("<select name='select'>" + option(1, "等待中", c.selected == 1) +
                                     option(2, "制作当中", c.selected == 2) + option(3, "派送当中", c.selected == 3) +
                                     option(4, "已结帐", c.selected == 4) + "</select>"));
  }
}

TEST(OrderDetail, FieldsShowTheOrderAndPostToTheStatusPage) {
  FakeSite site;
  long long id = addOrder(site, Order{.yhm = "张三", .fromdate = {2010, 5, 17, 11, 42, 5}, .qtbz = "",
                                      .hours = "12", .minutes = "30"});
  PageResult page = detail(site, std::to_string(id));
  EXPECT_FALSE(page.ended);
  EXPECT_THAT(page.body, HasSubstr("<form name='theform' action='ddgl2.asp?id=" + std::to_string(id) +
                                   "' method='post'>"));
  auto field = [](const char* label, const char* name, const std::string& value) {
    return std::string(label) + "</span></td><td width='80%' bgcolor='#FFFFFF'><input name='" + name +
           "' type='text' size='50' readonly='readonly' value='" + value + "' />";
  };
  EXPECT_THAT(page.body, HasSubstr(field("联系人：", "yhm", "张三")));
  EXPECT_THAT(page.body, HasSubstr(field("联系电话：", "tel", "0591-12345678")));
  EXPECT_THAT(page.body, HasSubstr(field("送餐地址：", "address", "鼓楼区五四路1号")));
  EXPECT_THAT(page.body, HasSubstr(field("其他备注：", "qtbz", "")));
  EXPECT_THAT(page.body, HasSubstr(field("提单时间：", "fromdate", "2010-5-17 11:42:05")));
  EXPECT_THAT(page.body, HasSubstr(field("到达时间：", "todate", "12点30分")));
  EXPECT_THAT(page.body, HasSubstr(field("支付方式：", "zffs", "餐到付费")));
  EXPECT_THAT(page.body, HasSubstr("value=' 提 交 '"));
  EXPECT_THAT(page.body, HasSubstr("value=' 返 回 ' onclick='javascript:history.go(-1)'"));
  EXPECT_THAT(page.body, HasSubstr(".STYLE4 {font-size: 12px; color: #FF0000; }"));
}

TEST(OrderDetail, CustomerTypedValuesAreEscaped) {
  FakeSite site;
  long long id = addOrder(site, Order{.yhm = "x' onfocus='alert(1)", .telsss = "<script>1</script>",
                                      .addresss = "a\"b&c", .qtbz = "'><img src=x onerror=alert(2)>"});
  PageResult page = detail(site, std::to_string(id));
  EXPECT_THAT(page.body, HasSubstr("value='x&#39; onfocus=&#39;alert(1)'"));
  EXPECT_THAT(page.body, HasSubstr("value='&lt;script&gt;1&lt;/script&gt;'"));
  EXPECT_THAT(page.body, HasSubstr("value='a&quot;b&amp;c'"));
  EXPECT_THAT(page.body, Not(HasSubstr("<img src=x")));
}

TEST(OrderDetail, BadIdsGetAnAlert) {
  FakeSite site;
  long long id = addOrder(site, Order{});
  for (const std::string& bad : {std::string(""), std::string("abc"), std::string("1 or 1=1"), std::string("1.5"),
                                 std::string(" 1"), std::string("99999999999999999999999")}) {
    SCOPED_TRACE("id=" + bad);
    PageResult page = detail(site, bad);
    EXPECT_TRUE(page.ended);
    EXPECT_THAT(page.body, HasSubstr(alertOf("订单编号不正确！") + ";history.go(-1);"));
    EXPECT_THAT(page.body, Not(HasSubstr("theform")));
  }
  for (const std::string& unknown : {std::to_string(id + 1), std::string("0"), std::string("-3")}) {
    SCOPED_TRACE("id=" + unknown);
    PageResult page = detail(site, unknown);
    EXPECT_TRUE(page.ended);
    EXPECT_THAT(page.body, HasSubstr(alertOf("没有找到这个订单，它可能已被删除！")));
  }
}

TEST(OrderDetail, GuardStopsVisitorsBeforeTheOrderIsRead) {
  FakeSite site;
  long long id = addOrder(site, Order{.yhm = "秘密客户"});
  FakeRequest anonymous;
  anonymous.query = {{"id", std::to_string(id)}};
  PageResult page = site.run("mabex.ddgl1", anonymous, "admin");
  EXPECT_THAT(page.body, HasSubstr("网络超时或者您还没有登录请登录"));
  EXPECT_THAT(page.body, Not(HasSubstr("秘密客户")));
}

}  // namespace
