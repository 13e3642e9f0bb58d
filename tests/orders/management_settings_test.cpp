// The filter settings page order_pass.asp: show, save round trip, refusals.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "management_fixture.h"
#include "support/fake_host.h"

using namespace tovi;
using namespace tovi::testing;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

struct Settings {
  long long timeState, minutes, times, deleteState;
  std::string keys;
};

Settings stored(FakeSite& site) {
  data::Recordset rs;
  rs.Open("select * from set_tamloall", site.db(), data::adOpenKeyset, data::adLockReadOnly);
  return {rs("order_time_state").value().toInteger(), rs("order_time").value().toInteger(),
          rs("order_times").value().toInteger(), rs("order_delet_state").value().toInteger(),
          rs("order_deletkey").text()};
}

void store(FakeSite& site, const Settings& s) {
  data::Recordset rs;
  rs.Open("select * from set_tamloall", site.db(), data::adOpenKeyset, data::adLockOptimistic);
  rs("order_time_state") = s.timeState;
  rs("order_time") = s.minutes;
  rs("order_times") = s.times;
  rs("order_delet_state") = s.deleteState;
  rs("order_deletkey") = s.keys;
  rs.Update();
}

PageResult save(FakeSite& site, std::vector<std::pair<std::string, std::string>> form,
                bool sameSite = true) {
  FakeRequest req = operatorRequest();
  req.query = {{"action", "save"}};
  req.form = std::move(form);
  if (sameSite) {
    req.sameSitePost();
  } else {
    req.sameSitePost();
    req.headers["Origin"] = "http://evil.example";
  }
  return site.run("mabex.order_pass", req, "admin");
}

std::vector<std::pair<std::string, std::string>> form(std::string on, std::string minutes, std::string times,
                                                      std::string filter, std::string keys) {
  return {{"radiobutton", on}, {"order_time", minutes}, {"order_times", times},
          {"order_delet", filter}, {"order_deletkey", keys}};
}

TEST(OrderSettings, ShowingWritesNothing) {
  FakeSite site;
  store(site, {0, 5, 2, 1, "鼓楼|台江"});
  FakeRequest req = operatorRequest();
  PageResult page = site.run("mabex.order_pass", req, "admin");
  EXPECT_THAT(page.body, HasSubstr("<input type=\"radio\" name=\"radiobutton\" value=\"1\">开 "
                                   "<input type=\"radio\" name=\"radiobutton\" value=\"0\" checked=\"checked\">关"));
  EXPECT_THAT(page.body, HasSubstr("name=\"order_time\" style=\"width:50px\" value=\"5\">（单位：分钟）"));
  EXPECT_THAT(page.body, HasSubstr("name=\"order_times\" style=\"width:50px\" value=\"2\">（单位：次数）"));
  EXPECT_THAT(page.body, HasSubstr("<input type=\"radio\" name=\"order_delet\" value=\"1\" checked=\"checked\">开"));
  EXPECT_THAT(page.body, HasSubstr("cols=\"60\">\n鼓楼|台江</textarea><br>必需包含的字段用“|”隔开！"));
  EXPECT_THAT(page.body, HasSubstr("<form name=\"order_pass\" method=\"post\" action=\"order_pass.asp?action=save\">"));
  EXPECT_THAT(page.body, HasSubstr("value=\"确定更改\" onclick=\"return check();\""));
  EXPECT_THAT(page.body, HasSubstr("function check(){"));
  // A stored switch that is neither 0 nor 1 checks neither radio.
  store(site, {5, 5, 2, 1, "鼓楼|台江"});
  PageResult odd = site.run("mabex.order_pass", req, "admin");
  EXPECT_THAT(odd.body, HasSubstr("name=\"radiobutton\" value=\"1\">开 <input type=\"radio\" name=\"radiobutton\" value=\"0\">关"));
  Settings after = stored(site);
  EXPECT_EQ(after.minutes, 5);
  EXPECT_EQ(after.keys, "鼓楼|台江");
}

TEST(OrderSettings, SaveRoundTrip) {
  FakeSite site;
  PageResult page = save(site, form("1", "10", "3", "0", "A座|B座\r\n<台江>"));
  Settings s = stored(site);
  EXPECT_EQ(s.timeState, 1);
  EXPECT_EQ(s.minutes, 10);
  EXPECT_EQ(s.times, 3);
  EXPECT_EQ(s.deleteState, 0);
  EXPECT_EQ(s.keys, "A座|B座\r\n<台江>");
  EXPECT_THAT(page.body, HasSubstr("name=\"radiobutton\" value=\"1\" checked=\"checked\">开"));
  EXPECT_THAT(page.body, HasSubstr("value=\"10\">（单位：分钟）"));
  EXPECT_THAT(page.body, HasSubstr("value=\"3\">（单位：次数）"));
  EXPECT_THAT(page.body, HasSubstr("name=\"order_delet\" value=\"0\" checked=\"checked\">关"));
  EXPECT_THAT(page.body, HasSubstr(">\nA座|B座\r\n&lt;台江&gt;</textarea>"));

  // Zero and an empty keyword text are settings too.
  save(site, form("0", "0", " 0 ", "1", ""));
  s = stored(site);
  EXPECT_EQ(s.timeState, 0);
  EXPECT_EQ(s.minutes, 0);
  EXPECT_EQ(s.times, 0);
  EXPECT_EQ(s.deleteState, 1);
  EXPECT_EQ(s.keys, "");
}

TEST(OrderSettings, BadValuesAreRefusedAndNothingIsStored) {
  FakeSite site;
  const Settings before{1, 10, 3, 1, "鼓楼"};
  store(site, before);
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> form;
    std::string message;
  };
  for (const Case& c : {
           Case{"LettersInMinutes", form("1", "abc", "3", "1", "x"), "限制时间必须是0或正整数！"},
           Case{"EmptyMinutes", form("1", "", "3", "1", "x"), "限制时间必须是0或正整数！"},
           Case{"NegativeMinutes", form("1", "-1", "3", "1", "x"), "限制时间必须是0或正整数！"},
           Case{"DecimalCount", form("1", "10", "2.5", "1", "x"), "限制次数必须是0或正整数！"},
           Case{"HugeCount", form("1", "10", "99999999999", "1", "x"), "限制次数必须是0或正整数！"},
           Case{"HostileCount", form("1", "10", "1; drop table tdgl", "1", "x"), "限制次数必须是0或正整数！"},
           Case{"SwitchMissing", form("", "10", "3", "1", "x"), "请选择限时限次和送餐地址过虑的开或关！"},
           Case{"SwitchTwo", form("1", "10", "3", "2", "x"), "请选择限时限次和送餐地址过虑的开或关！"},
       }) {
    SCOPED_TRACE(c.name);
    PageResult page = save(site, c.form);
    EXPECT_TRUE(page.ended);
    EXPECT_THAT(page.body, HasSubstr(alertOf(c.message) + ";history.go(-1);"));
    Settings s = stored(site);
    EXPECT_EQ(s.minutes, before.minutes);
    EXPECT_EQ(s.times, before.times);
    EXPECT_EQ(s.keys, before.keys);
  }
}

TEST(OrderSettings, SavingOnlyByPostFromTheSite) {
  FakeSite site;
  store(site, {1, 10, 3, 1, "鼓楼"});
  PageResult crossSite = save(site, form("0", "99", "9", "0", "evil"), false);
  EXPECT_TRUE(crossSite.ended);
  EXPECT_THAT(crossSite.body, HasSubstr("操作被拒绝"));

  FakeRequest get = operatorRequest();
  get.http = true;
  get.headers["Host"] = "127.0.0.1:8080";
  get.query = {{"action", "save"}, {"order_time", "99"}, {"order_times", "9"}, {"radiobutton", "0"},
               {"order_delet", "0"}, {"order_deletkey", "evil"}};
  EXPECT_TRUE(site.run("mabex.order_pass", get, "admin").ended);
  Settings s = stored(site);
  EXPECT_EQ(s.minutes, 10);
  EXPECT_EQ(s.keys, "鼓楼");
}

TEST(OrderSettings, GuardStopsVisitors) {
  FakeSite site;
  store(site, {1, 10, 3, 1, "鼓楼"});
  FakeRequest anonymous;
  anonymous.query = {{"action", "save"}};
  anonymous.form = form("0", "1", "1", "0", "x");
  PageResult page = site.run("mabex.order_pass", anonymous, "admin");
  EXPECT_THAT(page.body, HasSubstr("网络超时或者您还没有登录请登录"));
  EXPECT_THAT(page.body, Not(HasSubstr("鼓楼")));
  EXPECT_EQ(stored(site).keys, "鼓楼");
}

}  // namespace
