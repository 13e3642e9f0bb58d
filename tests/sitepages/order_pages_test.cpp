// ddgl2.asp (status change) and ddgl3.asp (order delete): what they change,
// and that bad, foreign or unauthorised requests change nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "../orders/management_fixture.h"

using namespace tovi;
using namespace tovi::testing;
using ::testing::HasSubstr;

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
  for (const auto& [chosen, label] : std::vector<std::pair<std::string, std::string>>{
           {"2", "制作当中"}, {"3", "派送当中"}, {"4", "已结帐"}, {"1", "等待中"}}) {
    SCOPED_TRACE(chosen);
    FakeRequest req = post(std::to_string(id), {{"yhm", "ignored"}, {"select", chosen}, {"Submit", " 提 交 "}});
    PageResult page = site.run("tovi.ddgl2", req, "admin");
    EXPECT_EQ(statusOf(site, id), std::stoll(chosen));
    EXPECT_THAT(page.body, HasSubstr(alertOf("订单状态已改为“" + label + "”！") + ";window.location.href='ddgl.asp';"));
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

TEST(OrderPages, BadForeignOrUnauthorisedRequestsChangeNothing) {
  FakeSite site;
  const long long id = addOrder(site, Order{.dczt = 2});
  const long long other = addOrder(site, Order{.dczt = 2});
  const std::string idText = std::to_string(id);
  auto withId = [](std::string v) { return [v](FakeRequest& r) { r.query = {{"id", v}}; }; };
  auto withStatus = [](std::string v) { return [v](FakeRequest& r) { r.form = {{"select", v}}; }; };
  auto back = [](const std::string& message) { return alertOf(message) + ";history.go(-1);"; };
  const std::string badId = back("订单编号不正确！"), badStatus = back("请选择正确的订餐状态！"),
                    notFound = back("没有找到这个订单，它可能已被删除！"), refused = "操作被拒绝";
  struct Case {
    const char* name;
    std::function<void(FakeRequest&)> change;
    std::string answer;
    bool statusOnly = false;
  };
  const Case cases[] = {
      {"NoId", withId(""), badId},
      {"IdText", withId("abc"), badId},
      {"IdList", withId(idText + ",1"), badId},
      {"IdHostile", withId(idText + ") or (1=1"), badId},
      {"IdNegative", withId("-1"), notFound},
      {"UnknownId", withId(std::to_string(other + 10)), notFound},
      {"NoStatus", withStatus(""), badStatus, true},
      {"StatusZero", withStatus("0"), badStatus, true},
      {"StatusFive", withStatus("5"), badStatus, true},
      {"StatusText", withStatus("x"), badStatus, true},
      {"StatusDecimal", withStatus("2.5"), badStatus, true},
      {"FromAnotherSite", [](FakeRequest& r) { r.headers["Origin"] = "http://evil.example"; }, refused},
      {"ReferredByAnotherSite",
       [](FakeRequest& r) {
         r.headers.erase("Origin");
         r.headers["Referer"] = "http://evil.example/x.html";
       },
       refused},
      // A post without Origin or Referer cannot show where it came from.
      {"NoOriginNorReferer", [](FakeRequest& r) { r.headers.erase("Origin"); }, refused},
      {"Get", [](FakeRequest& r) { r.method = "GET"; r.query.emplace_back("select", "3"); r.form.clear(); }, refused, true},
      {"LoggedOut", [](FakeRequest& r) { r.session.clear(); }, "网络超时或者您还没有登录请登录"},
      {"NoRight", [](FakeRequest& r) { r.session["flag"] = 3; }, "您无此管理权限！"},
  };
  for (const char* page : {"tovi.ddgl2", "tovi.ddgl3"})
    for (const Case& c : cases) {
      if (c.statusOnly && page == std::string("tovi.ddgl3")) continue;
      SCOPED_TRACE(std::string(page) + " " + c.name);
      FakeRequest req = post(idText, {{"select", "3"}});
      c.change(req);
      PageResult result = site.run(page, req, "admin");
      EXPECT_TRUE(result.ended);
      EXPECT_THAT(result.body, HasSubstr(c.answer));
      EXPECT_EQ(statusOf(site, id), 2);
      EXPECT_EQ(statusOf(site, other), 2);
    }
}

}  // namespace
