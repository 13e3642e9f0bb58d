#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/site_rows.h"

namespace tovi::testing {
namespace {

using data::DateTime;
using ::testing::HasSubstr;

constexpr const char* kSuccess =
    R"(<script>alert('订餐成功！！我们会准时送到您的手中！！谢谢光临！！');location.href="index.asp";</script>)";
constexpr const char* kAddressRefused =
    "<script>alert('对不起！您填写的送餐地址不在我们的服务区内或是送餐地址输入有误！');javascript:history.go(-1);</script>";
constexpr const char* kNameRefused = "<script>alert('请输入和你的用户名一样的名称！');javascript:history.go(-1);</script>";

std::string waitMessage(int minutes) {
  return "<script>alert('对不起！为了避免提交的垃圾信息过多而影响正常用户，请在" + std::to_string(minutes) +
         "分钟后再订餐。');javascript:history.go(-1);</script>";
}

struct Filters {
  int limitOn = 0, window = 0, times = 0, addressOn = 0;
  std::string keywords = "";
};

void setFilters(FakeSite& site, const Filters& f) {
  site.db().Execute({"update set_tamloall set order_time_state=?, order_time=?, order_times=?, order_delet_state=?, "
                     "order_deletkey=?",
                     {f.limitOn, f.window, f.times, f.addressOn, f.keywords}});
}

FakeRequest order(const DateTime& now, const std::string& address = "台江区五一路1号") {
  FakeRequest req;
  req.now = now;
  req.form = {{"list", "⊕宫保鸡丁饭 12元 X 2份=24元 \n\n⊕番茄炒蛋饭 8元 X 1份=8元 \n\n"},
              {"list1", "32"},
              {"yhm", "张三"},
              {"telsss", "13800000000"},
              {"addresss", address},
              {"hours", "12"},
              {"minutes", "00"},
              {"qtbz", "不要葱 'quoted'"},
              {"zffs", "餐到付费"}};
  return req;
}

// The cookie a browser sends back after the page set it.
std::string sentBack(const frame::ResponseCookie& c) {
  std::string out;
  for (const auto& [k, v] : c.keys) out += (out.empty() ? "" : "&") + k + "=" + v;
  return out;
}

std::string subKey(const frame::ResponseCookie& c, const std::string& key) {
  for (const auto& [k, v] : c.keys)
    if (k == key) return v;
  return "<absent>";
}

TEST(OrderSubmission, StoresEveryColumnOfTheOrderAfterTheChecks) {
  FakeSite site;
  FakeRequest req = order(DateTime{2024, 12, 31, 23, 59, 58});
  PageResult page = site.run("mabex.dctj", req);
  EXPECT_EQ(page.body, kSuccess);
  EXPECT_TRUE(page.cookies.empty());  // limit off: no cookie written

  data::Recordset rs;
  rs.Open("select * from tdgl", site.db(), data::adOpenKeyset, data::adLockReadOnly);
  ASSERT_EQ(rs.RecordCount(), 1);
  const std::pair<const char*, std::string> columns[] = {
      {"dcqk", "⊕宫保鸡丁饭 12元 X 2份=24元 \n\n⊕番茄炒蛋饭 8元 X 1份=8元 \n\n"}, {"dczj", "32"}, {"yhm", "张三"},
      {"telsss", "13800000000"}, {"zffs", "餐到付费"}, {"addresss", "台江区五一路1号"}, {"qtbz", "不要葱 'quoted'"},
      {"years", "2024"}, {"months", "12"}, {"days", "31"}, {"hourss", "23"}, {"minutess", "59"}, {"hours", "12"},
      {"minutes", "00"}, {"dczt", "1"}};
  for (const auto& [column, value] : columns) EXPECT_EQ(rs(column).text(), value) << column;
  EXPECT_EQ(rs("fromdate").value().toDate(), (DateTime{2024, 12, 31, 23, 59, 58}));
}

TEST(OrderSubmission, ValuesMayComeInTheQueryStringAndMissingOnesAreStoredEmpty) {
  FakeSite site;
  FakeRequest req;
  req.now = DateTime{2024, 3, 9, 10, 0, 0};
  req.query = {{"yhm", "李四"}, {"list1", "8"}};
  EXPECT_EQ(site.run("mabex.dctj", req).body, kSuccess);
  data::Recordset rs;
  rs.Open("select * from tdgl", site.db(), data::adOpenKeyset, data::adLockReadOnly);
  ASSERT_FALSE(rs.Eof());
  EXPECT_EQ(rs("yhm").text(), "李四");
  EXPECT_EQ(rs("dczj").text(), "8");
  EXPECT_TRUE(rs("dcqk").value().blank());
  EXPECT_TRUE(rs("telsss").value().blank());
}

// Limit 2 orders in 10 minutes, one browser, its cookie carried from order to order.
TEST(OrderSubmission, LimitWindowCountsOrdersAndNamesTheWait) {
  FakeSite site;
  setFilters(site, {.limitOn = 1, .window = 10, .times = 2});
  struct Step {
    int minute, second;
    std::string answer;
    std::string count;  // name_times after the step; "" = cookie not written
  };
  const DateTime start{2024, 3, 9, 10, 0, 0};
  std::string cookie;
  std::string windowStart;
  for (const Step& s : {Step{0, 0, kSuccess, "1"}, Step{3, 0, kSuccess, "2"}, Step{5, 0, waitMessage(6), ""},
                        Step{10, 59, waitMessage(1), ""}, Step{11, 0, kSuccess, "1"}, Step{12, 0, kSuccess, "2"},
                        Step{13, 0, waitMessage(9), ""}}) {
    SCOPED_TRACE(::testing::Message() << "minute " << s.minute << ":" << s.second);
    DateTime now = start.addSeconds(s.minute * 60 + s.second);
    FakeRequest req = order(now);
    if (!cookie.empty()) req.cookies["tamlo"] = cookie;
    PageResult page = site.run("mabex.dctj", req);
    EXPECT_EQ(page.body, s.answer);
    if (s.count.empty()) {
      EXPECT_TRUE(page.cookies.empty());
      continue;
    }
    ASSERT_EQ(page.cookies.count("tamlo"), 1u);
    const frame::ResponseCookie& c = page.cookies.at("tamlo");
    EXPECT_EQ(subKey(c, "name_times"), s.count);
    if (s.count == "1") {
      windowStart = subKey(c, "name_time");
      EXPECT_EQ(DateTime::parse(windowStart), now);
    }
    EXPECT_EQ(subKey(c, "name_time"), windowStart);  // later orders do not move the window
    EXPECT_EQ(c.path, "/");
    EXPECT_EQ(c.expires, now.addDays(1));
    cookie = sentBack(c);
  }
  EXPECT_EQ(rowCount(site, "tdgl"), 4);
}

TEST(OrderSubmission, ElapsedTimeCountsMinuteBoundaries) {
  struct Case {
    int window;
    DateTime first, second;
    bool passes;
  };
  // One order per window: the second order passes only once more than
  // `window` minute boundaries lie between the two.
  for (Case c : {Case{0, {2024, 3, 9, 10, 0, 0}, {2024, 3, 9, 10, 0, 59}, false},
                 Case{0, {2024, 3, 9, 10, 0, 59}, {2024, 3, 9, 10, 1, 0}, true},
                 Case{1, {2024, 3, 9, 10, 0, 59}, {2024, 3, 9, 10, 1, 0}, false},
                 Case{1, {2024, 3, 9, 10, 0, 0}, {2024, 3, 9, 10, 1, 59}, false},
                 Case{1, {2024, 3, 9, 10, 0, 59}, {2024, 3, 9, 10, 2, 0}, true},
                 Case{1, {2024, 12, 31, 23, 59, 0}, {2025, 1, 1, 0, 1, 0}, true}}) {
    SCOPED_TRACE(c.first.general() + " -> " + c.second.general());
    FakeSite site;
    setFilters(site, {.limitOn = 1, .window = c.window, .times = 1});
    FakeRequest first = order(c.first);
    PageResult page = site.run("mabex.dctj", first);
    ASSERT_EQ(page.body, kSuccess);
    FakeRequest second = order(c.second);
    second.cookies["tamlo"] = sentBack(page.cookies.at("tamlo"));
    EXPECT_EQ(site.run("mabex.dctj", second).body == kSuccess, c.passes);
  }
}

TEST(OrderSubmission, ZeroOrdersPerWindowStillLetsTheFirstOneThrough) {
  FakeSite site;
  setFilters(site, {.limitOn = 1, .window = 10, .times = 0});
  FakeRequest first = order(DateTime{2024, 3, 9, 10, 0, 0});
  PageResult page = site.run("mabex.dctj", first);
  EXPECT_EQ(page.body, kSuccess);
  FakeRequest second = order(DateTime{2024, 3, 9, 10, 4, 0});
  second.cookies["tamlo"] = sentBack(page.cookies.at("tamlo"));
  EXPECT_EQ(site.run("mabex.dctj", second).body, waitMessage(7));
  EXPECT_EQ(rowCount(site, "tdgl"), 1);
}

TEST(OrderSubmission, CookiesThatDoNotReadBackOpenANewWindow) {
  const DateTime now{2024, 3, 9, 10, 0, 0};
  for (const char* cookie : {"name_time=yesterday&name_times=1", "name_time=2024-3-9 9:58:00&name_times=abc",
                             "name_time=2024-3-9 9:58:00&name_times=1.5", "name_time=2024-3-9 9:58:00&name_times=",
                             "name_time=2024-3-9 9:58:00&name_times=99999999999",
                             "name_time=2024-2-30 9:58:00&name_times=1", "name_time=2024-3-9 11:30:00&name_times=5",
                             "name_times=9", "garbage"}) {
    SCOPED_TRACE(cookie);
    FakeSite site;
    setFilters(site, {.limitOn = 1, .window = 10, .times = 1});
    FakeRequest req = order(now);
    req.cookies["tamlo"] = cookie;
    PageResult page = site.run("mabex.dctj", req);
    EXPECT_EQ(page.body, kSuccess);
    ASSERT_EQ(page.cookies.count("tamlo"), 1u);
    EXPECT_EQ(subKey(page.cookies.at("tamlo"), "name_times"), "1");
    EXPECT_EQ(DateTime::parse(subKey(page.cookies.at("tamlo"), "name_time")), now);
  }
}

TEST(OrderSubmission, LimitOffNeitherReadsNorWritesTheCookie) {
  FakeSite site;
  setFilters(site, {.limitOn = 0, .window = 10, .times = 1});
  FakeRequest req = order(DateTime{2024, 3, 9, 10, 1, 0});
  req.cookies["tamlo"] = "name_time=2024-3-9 10:00:00&name_times=50";
  PageResult page = site.run("mabex.dctj", req);
  EXPECT_EQ(page.body, kSuccess);
  EXPECT_TRUE(page.cookies.empty());
}

TEST(OrderSubmission, AddressFilterMatchesKeywordsAndLogsRefusals) {
  struct Case {
    std::string keywords, address;
    bool passes;
  };
  for (const Case& c : {Case{"鼓楼|台江", "台江区五一路1号", true}, Case{"鼓楼|台江", "鼓楼区", true},
                        Case{"鼓楼|台江", "仓山区", false}, Case{"", "台江区", false}, Case{"|", "台江区", false},
                        Case{"A座", "a座101", false}, Case{"A座", "A座101", true}, Case{"|台江|", "台江", true},
                        Case{"鼓楼", "", false}}) {
    SCOPED_TRACE(c.keywords + " / " + c.address);
    FakeSite site;
    setFilters(site, {.addressOn = 1, .keywords = c.keywords});
    FakeRequest req = order(DateTime{2024, 3, 9, 10, 0, 0}, c.address);
    PageResult page = site.run("mabex.dctj", req);
    EXPECT_EQ(page.body, c.passes ? kSuccess : kAddressRefused);
    EXPECT_EQ(rowCount(site, "tdgl"), c.passes ? 1 : 0);
    data::Recordset log;
    log.Open("select * from err_record", site.db(), data::adOpenKeyset, data::adLockReadOnly);
    EXPECT_EQ(log.RecordCount(), c.passes ? 0 : 1);
    if (!c.passes && !log.Eof()) {
      EXPECT_EQ(log("add_err_str").text(), c.address);
    }
  }
}

TEST(OrderSubmission, RefusedAddressHasStillBeenCounted) {
  FakeSite site;
  setFilters(site, {.limitOn = 1, .window = 10, .times = 3, .addressOn = 1, .keywords = "鼓楼"});
  FakeRequest req = order(DateTime{2024, 3, 9, 10, 2, 0}, "仓山区");
  req.cookies["tamlo"] = "name_time=2024-3-9 10:00:00&name_times=1";
  PageResult page = site.run("mabex.dctj", req);
  EXPECT_EQ(page.body, kAddressRefused);
  EXPECT_EQ(subKey(page.cookies.at("tamlo"), "name_times"), "2");
  EXPECT_EQ(subKey(page.cookies.at("tamlo"), "name_time"), "2024-3-9 10:00:00");
  EXPECT_EQ(rowCount(site, "tdgl"), 0);
}

TEST(OrderSubmission, SignedInMemberMustGiveTheirOwnName) {
  struct Case {
    std::string member, yhm;
    bool passes;
  };
  for (const Case& c : {Case{"wang", "Wang", false}, Case{"wang", "wang", true}, Case{"wang", "", false},
                        Case{"", "任何人", true}, Case{"张三", "张三", true}}) {
    SCOPED_TRACE(c.member + " / " + c.yhm);
    FakeSite site;
    FakeRequest req = order(DateTime{2024, 3, 9, 10, 0, 0});
    if (!c.member.empty()) req.session["names"] = c.member;
    for (auto& [k, v] : req.form)
      if (k == "yhm") v = c.yhm;
    PageResult page = site.run("mabex.dctj", req);
    EXPECT_EQ(page.body, c.passes ? kSuccess : kNameRefused);
    EXPECT_EQ(rowCount(site, "tdgl"), c.passes ? 1 : 0);
  }
}

}  // namespace
}  // namespace tovi::testing
