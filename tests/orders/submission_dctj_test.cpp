// Order submission dctj.asp: what is stored, the per-browser limit kept in the "tamlo" cookie, the address filter and
// its log, the member's own name.
#include "support/site_rows.h"
#include "support/testing.h"

using data::DateTime;

// A fragment of each answer: stored, or which refusal.
const std::string kStored = "订餐成功", kAddressRefused = "不在我们的服务区内", kNameRefused = "和你的用户名一样";
constexpr const char* kLines = "⊕宫保鸡丁饭 12元 X 2份=24元 \n\n⊕番茄炒蛋饭 8元 X 1份=8元 \n\n";
const DateTime kAt{2024, 3, 9, 10, 0, 0};

static std::string waiting(int minutes) { return "请在" + std::to_string(minutes) + "分钟后再订餐"; }
static DateTime at(int seconds) { return kAt.addSeconds(seconds); }

// The storefront form's post at `now`, with the cookie the browser holds. A signed-in member's name is in the session.
static PageResult submit(FakeSite& site, const DateTime& now, const std::string& cookie = "",
                         const std::string& address = "台江区五一路1号", const std::string& yhm = "张三",
                         const std::string& member = "") {
  FakeRequest req;
  req.now = now;
  if (!cookie.empty()) req.cookies["tamlo"] = cookie;
  if (!member.empty()) req.session["names"] = member;
  req.form = {{"list", kLines}, {"list1", "32"}, {"yhm", yhm}, {"telsss", "13800000000"}, {"addresss", address},
              {"hours", "12"}, {"minutes", "00"}, {"qtbz", "不要葱 'quoted'"}, {"zffs", "餐到付费"}};
  return site.run("mabex.dctj", req);
}

// "name_times=N&name_time=<the window's start>", as the page writes it and the browser sends it back.
static std::string cookie(int count, const DateTime& start) {
  return "name_times=" + std::to_string(count) + "&name_time=" + start.general();
}
// The cookie the page wrote as cookie() shows it, with its path and expiry; "" when none.
static std::string written(const PageResult& page) {
  if (!page.cookies.count("tamlo")) return "";
  const frame::ResponseCookie& c = page.cookies.at("tamlo");
  std::string out;
  for (const auto& [k, v] : c.keys) out += (out.empty() ? "" : "&") + k + "=" + v;
  return out + " path=" + c.path + " expires=" + (c.expires ? c.expires->general() : "");
}

TEST(OrderSubmission, StoresEveryColumnAndWithTheLimitOffWritesNoCookie) {
  FakeSite site;
  PageResult page = submit(site, DateTime{2024, 12, 31, 23, 59, 58}, "name_time=2024-12-31 23:59:00&name_times=50");
  EXPECT_THAT(page.body, HasSubstr(kStored));
  EXPECT_FALSE(page.cookies.count("tamlo"));
  for (auto [column, value] : {std::pair{"dcqk", kLines}, {"dczj", "32"}, {"yhm", "张三"}, {"telsss", "13800000000"},
                               {"zffs", "餐到付费"}, {"addresss", "台江区五一路1号"}, {"qtbz", "不要葱 'quoted'"},
                               {"years", "2024"}, {"months", "12"}, {"days", "31"}, {"hourss", "23"},
                               {"minutess", "59"}, {"hours", "12"}, {"minutes", "00"}, {"dczt", "1"},
                               {"fromdate", "2024-12-31 23:59:58"}})
    EXPECT_EQ(valuesOf(site.db(), "select * from tdgl", column), std::vector<std::string>{value}) << column;
}

// The cookie counts a browser's orders and the minute boundaries since the window's start: an order passes below the
// limit, or once more than `window` boundaries lie between (a new window); a limit of 0 lets a first through. A cookie
// that does not read back (no date-time, a future one, no whole count) opens a new window; a refused address counts.
TEST(OrderSubmission, LimitCountsOrdersPerWindowOfMinuteBoundaries) {
  struct Case { int window, times; std::string sent; DateTime now; std::string answer, after; const char* keys = ""; };
  std::vector<Case> cases = {
      {10, 2, cookie(1, kAt), at(180), kStored, cookie(2, kAt)}, {10, 2, cookie(2, kAt), at(300), waiting(6), ""},
      {10, 2, cookie(2, kAt), at(659), waiting(1), ""}, {10, 2, cookie(2, kAt), at(660), kStored, cookie(1, at(660))},
      {0, 1, cookie(1, kAt), at(59), waiting(1), ""}, {0, 1, cookie(1, at(59)), at(60), kStored, cookie(1, at(60))},
      {1, 1, cookie(1, at(59)), at(60), waiting(1), ""}, {1, 1, cookie(1, kAt), at(119), waiting(1), ""},
      {1, 1, cookie(1, at(59)), at(120), kStored, cookie(1, at(120))}, {10, 0, "", kAt, kStored, cookie(1, kAt)},
      {10, 0, cookie(1, kAt), at(240), waiting(7), ""},
      {1, 1, cookie(1, {2024, 12, 31, 23, 59, 0}), {2025, 1, 1, 0, 1, 0}, kStored, cookie(1, {2025, 1, 1, 0, 1, 0})},
      {10, 3, cookie(1, kAt), at(120), kAddressRefused, cookie(2, kAt), "鼓楼"}};
  // (Which texts read as date-times: the DateTime table in tests/data.)
  for (const char* sent : {"name_time=yesterday&name_times=1", "name_time=2024-3-9 9:58:00&name_times=abc",
                           "name_time=2024-3-9 9:58:00&name_times=1.5", "name_time=2024-3-9 9:58:00&name_times=",
                           "name_time=2024-3-9 9:58:00&name_times=99999999999",
                           "name_time=2024-3-9 11:30:00&name_times=5", "name_times=9", "garbage"})
    cases.push_back({10, 1, sent, kAt, kStored, cookie(1, kAt)});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sent + " at " + c.now.general());
    FakeSite site;
    setOrderFilters(site, {1, c.window, c.times, *c.keys ? 1 : 0, c.keys});
    PageResult page = submit(site, c.now, c.sent, *c.keys ? "仓山区" : "台江区五一路1号");
    EXPECT_THAT(page.body, HasSubstr(c.answer));
    EXPECT_EQ(rowCount(site, "tdgl"), c.answer == kStored ? 1 : 0);
    EXPECT_EQ(written(page), c.after.empty() ? "" : c.after + " path=/ expires=" + c.now.addDays(1).general());
  }
}

// The address filter (refused addresses logged) and a signed-in member's own name; keywords null: the filter off.
TEST(OrderSubmission, AddressFilterAndMemberNameRefuseWithoutStoring) {
  struct Case { const char* keywords; std::string address, member, yhm; bool passes; };
  for (const Case& c : std::initializer_list<Case>{
           {"鼓楼|台江", "台江区五一路1号", "", "张三", true}, {"鼓楼|台江", "仓山区", "", "张三", false}, {"", "台江区", "", "张三", false},
           {"|", "台江区", "", "张三", false}, {"A座", "a座101", "", "张三", false}, {"|台江|", "台江", "", "张三", true},
           {"鼓楼", "", "", "张三", false}, {nullptr, "台江区", "wang", "Wang", false}, {nullptr, "台江区", "wang", "wang", true},
           {nullptr, "台江区", "wang", "", false}, {nullptr, "台江区", "", "任何人", true}}) {
    SCOPED_TRACE((c.keywords ? c.keywords : "-") + (" / " + c.address + " / " + c.member + " / " + c.yhm));
    FakeSite site;
    if (c.keywords) setOrderFilters(site, {.addressOn = 1, .keywords = c.keywords});
    EXPECT_THAT(submit(site, kAt, "", c.address, c.yhm, c.member).body,
                HasSubstr(c.passes ? kStored : c.keywords ? kAddressRefused : kNameRefused));
    EXPECT_EQ(rowCount(site, "tdgl"), c.passes ? 1 : 0);
    EXPECT_EQ(valuesOf(site.db(), "select * from err_record", "add_err_str"),
              c.passes || !c.keywords ? std::vector<std::string>{} : std::vector{c.address});
  }
}
