// The status change and the order delete through the real server: the
// operator's own pages change orders; another site's forms change nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "over_http.h"

using namespace tovi;
using namespace tovi::testing;
using ::testing::HasSubstr;

namespace {

long long statusOf(const LiveServer& server, long long id) {
  std::string v = liveValue(server, data::Sql("select * from tdgl where id=?", {id}), "dczt");
  return v == "<none>" ? -1 : std::stoll(v);
}

class OrderPagesOverHttp : public ::testing::Test {
 protected:
  OrderPagesOverHttp() : server({.args = {"--fixed-code", "1234"}}), http(server.port()) {}

  void SetUp() override {
    ASSERT_THAT(logIn(http, "admin", initPassword(server)).text(), HasSubstr("index.asp"));

    HttpClient customer(server.port());
    HttpResponse placed = customer.post(
        "/dctj.asp", formBody({{"list", toGbk("宫保鸡丁 12元 X 1份=12元")}, {"list1", "12"}, {"yhm", toGbk("张三")},
                               {"telsss", "87001234"}, {"zffs", toGbk("餐到付费")}, {"addresss", toGbk("鼓楼区")},
                               {"qtbz", ""}, {"hours", "12"}, {"minutes", "30"}}));
    ASSERT_THAT(placed.text(), HasSubstr("订餐成功"));
    HttpResponse list = http.get("/admin/ddgl.asp");
    auto link = list.text().find("ddgl1.asp?id=");
    ASSERT_NE(link, std::string::npos);
    id = std::stoll(list.text().substr(link + 13));
  }

  std::map<std::string, std::string> fromSite(const std::string& page) {
    return {{"Origin", http.origin()}, {"Referer", http.origin() + "/admin/" + page}};
  }

  LiveServer server;
  HttpClient http;
  long long id = 0;
};

TEST_F(OrderPagesOverHttp, StatusChangesOnlyFromTheSitesOwnForm) {
  const std::string target = "/admin/ddgl2.asp?id=" + std::to_string(id);
  for (const std::map<std::string, std::string>& foreign :
       {std::map<std::string, std::string>{{"Origin", "http://evil.example"}}, {{"Referer", "http://evil.example/x.html"}}})
    EXPECT_THAT(postForm(http, target, "select=3", foreign).text(), HasSubstr("操作被拒绝"));
  EXPECT_THAT(http.get(target + "&select=3").text(), HasSubstr("操作被拒绝"));
  EXPECT_EQ(statusOf(server, id), 1);

  EXPECT_THAT(postForm(http, target, "select=3", fromSite("ddgl1.asp")).text(), HasSubstr("订单状态已改为“派送当中”！"));
  EXPECT_EQ(statusOf(server, id), 3);
  EXPECT_THAT(http.get("/admin/ddgl.asp").text(), HasSubstr("<td>派送当中</td>"));
  EXPECT_THAT(http.get("/ckdd.asp?names=" + urlEncode(toGbk("张三"))).text(), HasSubstr("派送当中"));

  HttpClient stranger(server.port());
  HttpResponse loggedOut = postForm(stranger, target, "select=4", {{"Origin", stranger.origin()}});
  EXPECT_THAT(loggedOut.text(), HasSubstr("网络超时或者您还没有登录请登录"));
  EXPECT_EQ(statusOf(server, id), 3);
}

TEST_F(OrderPagesOverHttp, DeleteAsksFirstAndOnlyTheSiteCanConfirm) {
  const std::string target = "/admin/ddgl3.asp?id=" + std::to_string(id);
  HttpResponse ask = http.get(target);
  EXPECT_THAT(ask.text(), HasSubstr("确定要删除联系人 <b>张三</b>"));
  EXPECT_THAT(ask.text(), HasSubstr("method='post' action='ddgl3.asp?id=" + std::to_string(id) + "'"));
  EXPECT_EQ(statusOf(server, id), 1);

  HttpResponse foreign = postForm(http, target, "Submit=1", {{"Origin", "http://evil.example"}});
  EXPECT_THAT(foreign.text(), HasSubstr("操作被拒绝"));
  EXPECT_EQ(statusOf(server, id), 1);

  HttpResponse own = postForm(http, target, "Submit=1", fromSite("ddgl3.asp"));
  EXPECT_THAT(own.text(), HasSubstr("订单已删除！"));
  EXPECT_EQ(statusOf(server, id), -1);
  EXPECT_THAT(http.get("/admin/ddgl.asp").text(), HasSubstr("暂无用户！！"));
}

}  // namespace
