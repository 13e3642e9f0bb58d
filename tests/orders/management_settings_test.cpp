// The filter settings page order_pass.asp: what it shows, the save round trip,
// and refusals that store nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/site_rows.h"

using namespace tovi;
using namespace tovi::testing;
using ::testing::HasSubstr;

namespace {

Fields form(std::string on, std::string minutes, std::string times, std::string filter, std::string keys) {
  return {{"radiobutton", on}, {"order_time", minutes}, {"order_times", times},
          {"order_delet", filter}, {"order_deletkey", keys}};
}

PageResult save(FakeSite& site, Fields fields) { return runAs(site, "mabex.order_pass", {{"action", "save"}}, fields); }

// The browser walk (orders_settings) reads the saved values back from the form.
TEST(OrderSettings, ShowsTheStoredValuesAndSavesRoundTrip) {
  FakeSite site;
  setOrderFilters(site, {0, 5, 2, 1, "鼓楼|台江"});
  EXPECT_THAT(runAs(site, "mabex.order_pass", {}).body,
              HasSubstr("name=\"radiobutton\" value=\"0\" checked=\"checked\">关"));
  // A stored switch that is neither 0 nor 1 checks neither radio; showing writes nothing.
  setOrderFilters(site, {5, 5, 2, 1, "鼓楼|台江"});
  EXPECT_THAT(runAs(site, "mabex.order_pass", {}).body,
              HasSubstr("name=\"radiobutton\" value=\"1\">开 <input type=\"radio\" name=\"radiobutton\" value=\"0\">关"));
  EXPECT_EQ(orderFilters(site), (OrderFilters{5, 5, 2, 1, "鼓楼|台江"}));

  std::string body = save(site, form("1", "10", "3", "0", "A座|B座\r\n<台江>")).body;
  EXPECT_EQ(orderFilters(site), (OrderFilters{1, 10, 3, 0, "A座|B座\r\n<台江>"}));
  EXPECT_THAT(body, HasSubstr("name=\"order_delet\" value=\"0\" checked=\"checked\">关"));
  EXPECT_THAT(body, HasSubstr(">\nA座|B座\r\n&lt;台江&gt;</textarea>"));
  // Zero and an empty keyword text are settings too.
  save(site, form("0", "0", " 0 ", "1", ""));
  EXPECT_EQ(orderFilters(site), (OrderFilters{0, 0, 0, 1, ""}));
}

TEST(OrderSettings, BadValuesOrForeignRequestsStoreNothing) {
  FakeSite site;
  const OrderFilters before{1, 10, 3, 1, "鼓楼"};
  setOrderFilters(site, before);
  const std::string minutes = "限制时间必须是0或正整数！", times = "限制次数必须是0或正整数！",
                    sw = "请选择限时限次和送餐地址过虑的开或关！";
  struct Case {
    Fields form;
    std::string message;
  };
  for (const Case& c : {Case{form("1", "abc", "3", "1", "x"), minutes}, Case{form("1", "", "3", "1", "x"), minutes},
                        Case{form("1", "-1", "3", "1", "x"), minutes}, Case{form("1", "10", "2.5", "1", "x"), times},
                        Case{form("1", "10", "99999999999", "1", "x"), times},
                        Case{form("1", "10", "1; drop table tdgl", "1", "x"), times},
                        Case{form("", "10", "3", "1", "x"), sw}, Case{form("1", "10", "3", "2", "x"), sw}}) {
    SCOPED_TRACE(c.form[1].second + "/" + c.form[2].second);
    PageResult page = save(site, c.form);
    EXPECT_TRUE(page.ended);
    EXPECT_THAT(page.body, HasSubstr(alertOf(c.message) + ";history.go(-1);"));
  }
  FakeRequest crossSite = operatorOf();
  crossSite.sameSitePost().headers["Origin"] = "http://evil.example";
  crossSite.query = {{"action", "save"}};
  crossSite.form = form("0", "99", "9", "0", "evil");
  EXPECT_THAT(site.run("mabex.order_pass", crossSite, "admin").body, HasSubstr("操作被拒绝"));
  FakeRequest get = operatorOf();
  get.http = true;
  get.headers["Host"] = "127.0.0.1:8080";
  get.query = form("0", "99", "9", "0", "evil");
  get.query.emplace_back("action", "save");
  EXPECT_TRUE(site.run("mabex.order_pass", get, "admin").ended);
  EXPECT_EQ(orderFilters(site), before);
}

}  // namespace
