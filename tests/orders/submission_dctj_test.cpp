// Order submission dctj.asp: what is stored, the per-browser limit kept in
// the "tamlo" cookie, the address filter and its log, the member's own name.
#include "support/site_rows.h"
#include "support/testing.h"

namespace {

using data::DateTime;

constexpr const char* kSuccess =
    R"(<script>alert('订餐成功！！我们会准时送到您的手中！！谢谢光临！！');location.href="index.asp";</script>)";
constexpr const char* kAddressRefused =
    "<script>alert('对不起！您填写的送餐地址不在我们的服务区内或是送餐地址输入有误！');javascript:history.go(-1);</script>";
constexpr const char* kNameRefused = "<script>alert('请输入和你的用户名一样的名称！');javascript:history.go(-1);</script>";
constexpr const char* kLines = "⊕宫保鸡丁饭 12元 X 2份=24元 \n\n⊕番茄炒蛋饭 8元 X 1份=8元 \n\n";

std::string waitMessage(int minutes) {
  return "<script>alert('对不起！为了避免提交的垃圾信息过多而影响正常用户，请在" + std::to_string(minutes) +
         "分钟后再订餐。');javascript:history.go(-1);</script>";
}

// The storefront form's post at `now`, with the cookie the browser holds.
// A signed-in member's name is in the session.
PageResult submit(FakeSite& site, const DateTime& now, const std::string& cookie = "",
                  const std::string& address = "台江区五一路1号", const std::string& yhm = "张三",
                  const std::string& member = "") {
  FakeRequest req;
  req.now = now;
  if (!cookie.empty()) req.cookies["tamlo"] = cookie;
  if (!member.empty()) req.session["names"] = member;
  req.form = {{"list", kLines},         {"list1", "32"},       {"yhm", yhm},
              {"telsss", "13800000000"}, {"addresss", address}, {"hours", "12"},
              {"minutes", "00"},        {"qtbz", "不要葱 'quoted'"}, {"zffs", "餐到付费"}};
  return site.run("mabex.dctj", req);
}

// A sub-key of the page's cookie, and the cookie as the browser sends it back.
std::string subKey(const PageResult& page, const std::string& key) {
  for (const auto& [k, v] : page.cookies.at("tamlo").keys)
    if (k == key) return v;
  return "<absent>";
}
std::string sentBack(const PageResult& page) {
  std::string out;
  for (const auto& [k, v] : page.cookies.at("tamlo").keys) out += (out.empty() ? "" : "&") + k + "=" + v;
  return out;
}

}  // namespace

TEST(OrderSubmission, StoresEveryColumnAndTakesValuesFromTheQueryToo) {
  FakeSite site;
  // Limit off: a cookie at any count is let through, and none is written.
  PageResult page = submit(site, DateTime{2024, 12, 31, 23, 59, 58}, "name_time=2024-12-31 23:59:00&name_times=50");
  EXPECT_EQ(page.body, kSuccess);
  EXPECT_TRUE(page.cookies.empty());
  for (auto [column, value] : {std::pair{"dcqk", kLines}, {"dczj", "32"}, {"yhm", "张三"}, {"telsss", "13800000000"},
                               {"zffs", "餐到付费"}, {"addresss", "台江区五一路1号"}, {"qtbz", "不要葱 'quoted'"},
                               {"years", "2024"}, {"months", "12"}, {"days", "31"}, {"hourss", "23"},
                               {"minutess", "59"}, {"hours", "12"}, {"minutes", "00"}, {"dczt", "1"},
                               {"fromdate", "2024-12-31 23:59:58"}})
    EXPECT_EQ(valuesOf(site, "select * from tdgl", column), std::vector<std::string>{value}) << column;

  FakeRequest query;  // values may come in the query string; missing ones are stored empty
  query.now = DateTime{2024, 3, 9, 10, 0, 0};
  query.query = {{"yhm", "李四"}, {"list1", "8"}};
  EXPECT_EQ(site.run("mabex.dctj", query).body, kSuccess);
  for (auto [column, value] : {std::pair{"dczj", "8"}, {"dcqk", ""}, {"telsss", ""}})
    EXPECT_EQ(valuesOf(site, "select * from tdgl where yhm='李四'", column), std::vector<std::string>{value}) << column;
}

// Limit 2 orders in 10 minutes, one browser, its cookie carried from order to order.
TEST(OrderSubmission, LimitWindowCountsOrdersAndNamesTheWait) {
  FakeSite site;
  setOrderFilters(site, {.limitOn = 1, .window = 10, .times = 2});
  struct Step {
    int seconds;
    std::string answer, count;  // name_times after the step; "" = cookie not written
  };
  const DateTime start{2024, 3, 9, 10, 0, 0};
  std::string cookie, windowStart;
  for (const Step& s : {Step{0, kSuccess, "1"}, Step{180, kSuccess, "2"}, Step{300, waitMessage(6), ""},
                        Step{659, waitMessage(1), ""}, Step{660, kSuccess, "1"}, Step{720, kSuccess, "2"},
                        Step{780, waitMessage(9), ""}}) {
    SCOPED_TRACE(::testing::Message() << "second " << s.seconds);
    DateTime now = start.addSeconds(s.seconds);
    PageResult page = submit(site, now, cookie);
    EXPECT_EQ(page.body, s.answer);
    EXPECT_EQ(page.cookies.size(), s.count.empty() ? 0u : 1u);
    if (s.count.empty() || page.cookies.empty()) continue;
    EXPECT_EQ(subKey(page, "name_times"), s.count);
    if (s.count == "1") {
      windowStart = subKey(page, "name_time");
      EXPECT_EQ(DateTime::parse(windowStart), now);
    }
    EXPECT_EQ(subKey(page, "name_time"), windowStart);  // later orders do not move the window
    EXPECT_EQ(page.cookies.at("tamlo").path, "/");
    EXPECT_EQ(page.cookies.at("tamlo").expires, now.addDays(1));
    cookie = sentBack(page);
  }
  EXPECT_EQ(rowCount(site, "tdgl"), 4);
}

TEST(OrderSubmission, ElapsedTimeCountsMinuteBoundaries) {
  struct Case {
    int window, times;
    DateTime first, second;
    std::string answer;  // to the second order
  };
  // The second order passes only once more than `window` minute boundaries
  // lie between the two; zero orders per window still lets the first through.
  for (const Case& c : {Case{0, 1, {2024, 3, 9, 10, 0, 0}, {2024, 3, 9, 10, 0, 59}, waitMessage(1)},
                        Case{0, 1, {2024, 3, 9, 10, 0, 59}, {2024, 3, 9, 10, 1, 0}, kSuccess},
                        Case{1, 1, {2024, 3, 9, 10, 0, 59}, {2024, 3, 9, 10, 1, 0}, waitMessage(1)},
                        Case{1, 1, {2024, 3, 9, 10, 0, 0}, {2024, 3, 9, 10, 1, 59}, waitMessage(1)},
                        Case{1, 1, {2024, 3, 9, 10, 0, 59}, {2024, 3, 9, 10, 2, 0}, kSuccess},
                        Case{1, 1, {2024, 12, 31, 23, 59, 0}, {2025, 1, 1, 0, 1, 0}, kSuccess},
                        Case{10, 0, {2024, 3, 9, 10, 0, 0}, {2024, 3, 9, 10, 4, 0}, waitMessage(7)}}) {
    SCOPED_TRACE(c.first.general() + " -> " + c.second.general());
    FakeSite site;
    setOrderFilters(site, {.limitOn = 1, .window = c.window, .times = c.times});
    PageResult first = submit(site, c.first);
    ASSERT_EQ(first.body, kSuccess);
    EXPECT_EQ(submit(site, c.second, sentBack(first)).body, c.answer);
    EXPECT_EQ(rowCount(site, "tdgl"), c.answer == kSuccess ? 2 : 1);
  }
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
    setOrderFilters(site, {.limitOn = 1, .window = 10, .times = 1});
    PageResult page = submit(site, now, cookie);
    EXPECT_EQ(page.body, kSuccess);
    ASSERT_EQ(page.cookies.count("tamlo"), 1u);
    EXPECT_EQ(subKey(page, "name_times"), "1");
    EXPECT_EQ(DateTime::parse(subKey(page, "name_time")), now);
  }
}

// The address filter (refused addresses logged) and a signed-in member's own
// name; keywords null: the filter off.
TEST(OrderSubmission, AddressFilterAndMemberNameRefuseWithoutStoring) {
  struct Case {
    const char* keywords;
    std::string address, member, yhm;
    bool passes;
  };
  for (const Case& c : {Case{"鼓楼|台江", "台江区五一路1号", "", "张三", true}, Case{"鼓楼|台江", "鼓楼区", "", "张三", true},
                        Case{"鼓楼|台江", "仓山区", "", "张三", false}, Case{"", "台江区", "", "张三", false},
                        Case{"|", "台江区", "", "张三", false}, Case{"A座", "a座101", "", "张三", false},
                        Case{"A座", "A座101", "", "张三", true}, Case{"|台江|", "台江", "", "张三", true},
                        Case{"鼓楼", "", "", "张三", false}, Case{nullptr, "台江区", "wang", "Wang", false},
                        Case{nullptr, "台江区", "wang", "wang", true}, Case{nullptr, "台江区", "wang", "", false},
                        Case{nullptr, "台江区", "", "任何人", true}, Case{nullptr, "台江区", "张三", "张三", true}}) {
    SCOPED_TRACE((c.keywords ? c.keywords : "-") + (" / " + c.address + " / " + c.member + " / " + c.yhm));
    FakeSite site;
    if (c.keywords) setOrderFilters(site, {.addressOn = 1, .keywords = c.keywords});
    EXPECT_EQ(submit(site, DateTime{2024, 3, 9, 10, 0, 0}, "", c.address, c.yhm, c.member).body,
              c.passes ? kSuccess : c.keywords ? kAddressRefused : kNameRefused);
    EXPECT_EQ(rowCount(site, "tdgl"), c.passes ? 1 : 0);
    EXPECT_EQ(valuesOf(site, "select * from err_record", "add_err_str"),
              c.passes || !c.keywords ? std::vector<std::string>{} : std::vector{c.address});
  }
  // A refused address has still been counted against the limit.
  FakeSite site;
  setOrderFilters(site, {.limitOn = 1, .window = 10, .times = 3, .addressOn = 1, .keywords = "鼓楼"});
  PageResult page = submit(site, DateTime{2024, 3, 9, 10, 2, 0}, "name_time=2024-3-9 10:00:00&name_times=1", "仓山区");
  EXPECT_EQ(page.body, kAddressRefused);
  EXPECT_EQ(subKey(page, "name_times"), "2");
  EXPECT_EQ(subKey(page, "name_time"), "2024-3-9 10:00:00");
  EXPECT_EQ(rowCount(site, "tdgl"), 0);
}
