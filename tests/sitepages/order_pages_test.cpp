// ddgl2.asp (status change) and ddgl3.asp (order delete): what they change,
// and that bad requests change nothing (foreign posts: order_http_test.cpp).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "../orders/management_fixture.h"

using namespace tovi;
using namespace tovi::testing;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

FakeRequest post(const std::string& id, std::vector<std::pair<std::string, std::string>> form = {}) {
  FakeRequest req = operatorRequest(2);
  req.sameSitePost();
  req.query = {{"id", id}};
  req.form = std::move(form);
  return req;
}

TEST(OrderStatusPage, SetsEachStatusAndGoesBackToTheList) {
  FakeSite site;
  long long id = addOrder(site, Order{.dczt = 1});
  struct Case {
    std::string chosen;
    const char* label;
  };
  for (const Case& c : {Case{"2", "制作当中"}, Case{"3", "派送当中"}, Case{"4", "已结帐"}, Case{"1", "等待中"}}) {
    SCOPED_TRACE(c.chosen);
    FakeRequest req = post(std::to_string(id), {{"yhm", "ignored"}, {"select", c.chosen}, {"Submit", " 提 交 "}});
    PageResult page = site.run("tovi.ddgl2", req, "admin");
    EXPECT_EQ(statusOf(site, id), std::stoll(c.chosen));
    EXPECT_THAT(page.body, HasSubstr(alertOf(std::string("订单状态已改为“") + c.label + "”！") +
                                     ";window.location.href='ddgl.asp';"));
  }
}

TEST(OrderStatusPage, BadInputChangesNothing) {
  FakeSite site;
  long long id = addOrder(site, Order{.dczt = 2});
  long long other = addOrder(site, Order{.dczt = 2});
  const std::string idText = std::to_string(id);
  struct Case {
    const char* name;
    std::string id, chosen, message;
  };
  for (const Case& c : {
           Case{"NoId", "", "3", "订单编号不正确！"},
           Case{"IdText", "abc", "3", "订单编号不正确！"},
           Case{"IdHostile", idText + " or 1=1", "3", "订单编号不正确！"},
           Case{"UnknownId", std::to_string(other + 10), "3", "没有找到这个订单，它可能已被删除！"},
           Case{"NoStatus", idText, "", "请选择正确的订餐状态！"},
           Case{"StatusZero", idText, "0", "请选择正确的订餐状态！"},
           Case{"StatusFive", idText, "5", "请选择正确的订餐状态！"},
           Case{"StatusText", idText, "x", "请选择正确的订餐状态！"},
           Case{"StatusDecimal", idText, "2.5", "请选择正确的订餐状态！"},
       }) {
    SCOPED_TRACE(c.name);
    FakeRequest req = post(c.id, {{"select", c.chosen}});
    PageResult page = site.run("tovi.ddgl2", req, "admin");
    EXPECT_TRUE(page.ended);
    EXPECT_THAT(page.body, HasSubstr(alertOf(c.message) + ";history.go(-1);"));
    EXPECT_EQ(statusOf(site, id), 2);
    EXPECT_EQ(statusOf(site, other), 2);
  }
}

TEST(OrderDeletePage, LinkAsksFirstAndThePostDeletesOnlyThatOrder) {
  FakeSite site;
  long long id = addOrder(site, Order{.yhm = "<i>王</i>", .fromdate = {2010, 5, 17, 11, 42, 0}});
  long long kept = addOrder(site, Order{});
  FakeRequest get = operatorRequest();
  get.http = true;
  get.headers["Host"] = "127.0.0.1:8080";
  get.query = {{"id", std::to_string(id)}};
  PageResult page = site.run("tovi.ddgl3", get, "admin");
  EXPECT_THAT(page.body, HasSubstr("<form method='post' action='ddgl3.asp?id=" + std::to_string(id) + "'>"));
  EXPECT_THAT(page.body, HasSubstr("确定要删除联系人 <b>&lt;i&gt;王&lt;/i&gt;</b> 于 2010-5-17 11:42:00 提交的订单吗？"));
  EXPECT_EQ(orderCount(site), 2);

  FakeRequest req = post(std::to_string(id));
  EXPECT_THAT(site.run("tovi.ddgl3", req, "admin").body,
              HasSubstr(alertOf("订单已删除！") + ";window.location.href='ddgl.asp';"));
  EXPECT_EQ(statusOf(site, id), -1);
  EXPECT_EQ(statusOf(site, kept), 1);
  // The same post again finds nothing left to delete.
  FakeRequest again = post(std::to_string(id));
  EXPECT_THAT(site.run("tovi.ddgl3", again, "admin").body, HasSubstr(alertOf("没有找到这个订单，它可能已被删除！")));
}

TEST(OrderDeletePage, BadOrForeignRequestsDeleteNothing) {
  FakeSite site;
  long long id = addOrder(site, Order{});
  const std::string idText = std::to_string(id);
  for (const std::string& bad : {std::string(""), std::string("x"), idText + ",1", idText + ") or (1=1",
                                 std::string("-1")}) {
    SCOPED_TRACE("id=" + bad);
    FakeRequest req = post(bad);
    PageResult page = site.run("tovi.ddgl3", req, "admin");
    EXPECT_TRUE(page.ended);
    EXPECT_THAT(page.body, HasSubstr("alert('"));
  }
  // A post without Origin or Referer cannot show where it came from.
  FakeRequest noHeaders = post(idText);
  noHeaders.headers.erase("Origin");
  EXPECT_THAT(site.run("tovi.ddgl3", noHeaders, "admin").body, HasSubstr("操作被拒绝"));

  FakeRequest noRight = post(idText);
  noRight.session["flag"] = 3;
  EXPECT_THAT(site.run("tovi.ddgl3", noRight, "admin").body, HasSubstr("您无此管理权限！"));

  EXPECT_EQ(orderCount(site), 1);
}

}  // namespace
