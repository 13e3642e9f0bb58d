// The order pages through the real server: the delete page, the live screen's
// one-click move, phone orders, the sales report, and what they all refuse.
// (Moving an order on from the detail page, and deleting one through the
// confirmation page: the browser's orders walk.)
#include "orders/order_lines.h"
#include "support/over_http.h"

namespace {
struct KitchenPages : StaffedSite, ::testing::Test {
  // Adds an order row as the storefront stores one.
  long long addOrder(const data::DateTime& when, int status, const std::string& lines = "鸡 1份 12元",
                     const std::string& total = "12", const std::string& name = "张三") {
    liveExec(server, data::Sql("insert into tdgl (dcqk, dczj, yhm, fromdate, dczt) values (?, ?, ?, ?, ?)",
                               {lines, total, name, when, status}));
    return std::stoll(liveValue(server, "select * from tdgl order by id desc", "id"));
  }
  std::string field(long long id, const std::string& name) {
    return liveValue(server, data::Sql("select * from tdgl where id=?", {id}), name);
  }
};
}  // namespace

TEST_F(KitchenPages, DeletePageOnAGetOnlyAsksWithTheNameEscaped) {
  const long long id = addOrder({2010, 5, 17, 11, 42, 0}, 1, "鸡 1份 12元", "12", "<i>王</i>");
  EXPECT_THAT(clerk.get("/admin/ddgl3.asp?id=" + std::to_string(id)).text(),
              HasSubstr("确定要删除联系人 <b>&lt;i&gt;王&lt;/i&gt;</b> 于 2010-5-17 11:42:00 提交的订单吗？"));
  EXPECT_EQ(field(id, "dczt"), "1");
}

TEST_F(KitchenPages, OneClickMovesAnOrderOneStatusOnOnlyFromWhereTheScreenSawIt) {
  const long long id = addOrder(data::DateTime::now(), 1);
  // The status the screen saw, the answer, the status after; the second is another screen's click on the same card.
  for (auto [from, answer, after] : {std::tuple{1, "data-ok='1' data-status='2'", 2}, {1, "刚被别人改过", 2},
                                     {2, "data-ok='1' data-status='3'", 3}, {3, "data-ok='1' data-status='4'", 4},
                                     {4, "已结帐", 4}}) {
    const std::string body = "id=" + std::to_string(id) + "&from=" + std::to_string(from);
    EXPECT_THAT(postOwn(owner, "/admin/live.asp?action=move", body).text(), HasSubstr(answer));
    EXPECT_EQ(field(id, "dczt"), std::to_string(after)) << answer;
  }
}

// (The columns every road into the kitchen sets alike, the date parts among them: the submission's table.)
TEST_F(KitchenPages, PhoneOrderIsStoredFromTheMenuWithTheTakerPastTheStorefrontsFilters) {
  const std::string dish = liveValue(server, "select * from cygl order by id", "id");
  const std::string name = liveValue(server, "select * from cygl order by id", "name");
  const std::string price = liveValue(server, "select * from cygl order by id", "jiage");
  // The storefront's per-browser limit is on and at one order: phone orders pass it.
  liveExec(server,
           "update set_tamloall set order_time_state=1, order_times=1, order_delet_state=1, order_deletkey='nowhere'");
  const std::string form = "q" + dish + "=2&yhm=" + urlEncode(toGbk("李四")) +
                           "&telsss=87001234&addresss=" + urlEncode(toGbk("五四路<b>")) +
                           "&hours=12&minutes=30&qtbz=" + urlEncode(toGbk("少放辣"));
  for (int i = 0; i < 2; ++i)
    EXPECT_THAT(postOwn(owner, "/admin/phone_order.asp?action=save", form).text(), HasSubstr("电话订单已保存"));
  ASSERT_EQ(liveValue(server, "select * from tdgl"), "2");
  const long long id = std::stoll(liveValue(server, "select * from tdgl order by id desc", "id"));
  for (auto [column, value] : std::map<std::string, std::string>{
           {"dcqk", orders::orderLine(name, price, 2)}, {"dczj", orders::jsNumber(std::stod(price) * 2)},
           {"yhm", "李四"}, {"telsss", "87001234"}, {"addresss", "五四路<b>"}, {"qtbz", "少放辣"}, {"hours", "12"},
           {"minutes", "30"}, {"zffs", "餐到付费"}, {"dczt", "1"}, {"taker", "admin"}})
    EXPECT_EQ(field(id, column), value) << column;
}

// (Which ids read as ids: the OrderId table.)
TEST_F(KitchenPages, BadForeignOrUnauthorisedRequestsChangeNothing) {
  const long long id = addOrder(data::DateTime::now(), 2), other = addOrder(data::DateTime::now(), 2);
  const std::string i = std::to_string(id), dish = liveValue(server, "select * from cygl order by id", "id");
  const std::string phone = "/admin/phone_order.asp?action=save", move = "/admin/live.asp?action=move",
                    moveBody = "id=" + i + "&from=2", refused = "操作被拒绝";
  auto back = [](const std::string& m) { return std::vector<std::string>{"alert('" + m + "');history.go(-1);"}; };
  // A phone order of `quantity` of the first dish, with one field changed.
  auto order = [&](const std::string& quantity, const std::string& field = "", const std::string& value = "") {
    return formBody(withField({{"q" + dish, quantity}, {"yhm", "a"}, {"telsss", "1"}, {"addresss", "b"},
                               {"hours", "12"}, {"minutes", "30"}}, field, value));
  };
  std::vector<Ask> asks = {
      {&owner, phone, order("0"), {"请至少给一道菜填上数量"}}, {&owner, phone, order("1.5"), {"1 到 99 的整数"}},
      {&owner, phone, order("-1"), {"1 到 99 的整数"}}, {&owner, phone, order("1", "yhm"), {"请填写联系人"}},
      {&owner, phone, order("1", "addresss"), {"请填写送餐地址"}},
      {&owner, phone, order("1", "hours", "0"), {"到达时间"}}, {&owner, phone, order("1", "minutes", "35"), {"到达时间"}},
      {&owner, phone, order("1"), {refused}, OtherSite}, {&owner, move, moveBody, {refused}, OtherSite},
      {&owner, move + "&" + moveBody, "", {refused}, Site, true}, {&visitor, move, moveBody, {"您还没有登录"}},
      {&clerk, "/admin/ddgl2.asp?id=" + i + "&select=3", "", {refused}, Site, true},
  };
  for (const char* page : {"/admin/ddgl2.asp?id=", "/admin/ddgl3.asp?id="}) {
    asks.push_back({&clerk, page + urlEncode(i + ") or (1=1"), "select=3", back("订单编号不正确！")});
    asks.push_back({&clerk, page + std::to_string(other + 10), "select=3", back("没有找到这个订单，它可能已被删除！")});
    asks.push_back({&clerk, page + i, "select=3", {refused}, OtherReferer});
    asks.push_back({&visitor, page + i, "select=3", {"网络超时或者您还没有登录请登录"}});
    asks.push_back({&cook, page + i, "select=3", {"您无此管理权限！"}});
  }
  for (const char* status : {"", "0", "5", "x", "2.5"})
    asks.push_back({&clerk, "/admin/ddgl2.asp?id=" + i, std::string("select=") + status, back("请选择正确的订餐状态！")});
  expectRefused(asks);
}

TEST_F(KitchenPages, SalesReportFiguresPerDayAndDishInPageAndBothCsvEncodings) {
  const data::DateTime d1{2026, 3, 1, 23, 59, 59}, d2{2026, 3, 3, 0, 0, 0};
  addOrder(d1, 4, orders::orderLine("宫保鸡丁", "12", 2) + orders::orderLine("可乐", "3", 1), "27");
  addOrder(d1, 1, orders::orderLine("宫保鸡丁", "12", 1), "12");
  addOrder(d2, 4, orders::orderLine("=HYPERLINK(\"x\")", "8.5", 1), "8.5");
  addOrder(d2, 2, "宫保鸡丁 1份 12元", "NaN");
  addOrder({2026, 3, 4, 0, 0, 0}, 4, orders::orderLine("宫保鸡丁", "12", 9), "108");  // the day after the range

  const std::string query = "/admin/sales_report.asp?from=2026-03-01&to=2026-03-03";
  HttpResponse utf8 = owner.get(query + "&format=csv&charset=utf8");
  EXPECT_EQ(utf8.headers["Content-Type"], "text/csv; charset=utf-8");
  EXPECT_THAT(utf8.headers["Content-Disposition"], HasSubstr("sales-2026-03-01-2026-03-03.csv"));
  const std::string csv =
      "日期,全部订单,全部金额,已结帐订单,已结帐金额\r\n"
      "2026-03-01,2,39.00,1,27.00\r\n"
      "2026-03-02,0,0.00,0,0.00\r\n"
      "2026-03-03,2,8.50,1,8.50\r\n"
      "合计,4,47.50,2,35.50\r\n\r\n"
      "菜品,全部份数,全部金额,已结帐份数,已结帐金额\r\n"
      "\"宫保鸡丁\",3,36.00,2,24.00\r\n"
      "\"'=HYPERLINK(\"\"x\"\")\",1,8.50,1,8.50\r\n"
      "\"可乐\",1,3.00,1,3.00\r\n";
  EXPECT_EQ(utf8.body, "\xEF\xBB\xBF" + csv);
  HttpResponse gbk = owner.get(query + "&format=csv&charset=gbk");
  EXPECT_EQ(gbk.headers["Content-Type"], "text/csv; charset=gbk");
  EXPECT_EQ(gbk.body, toGbk(csv));

  const std::string page = owner.get(query).text();
  EXPECT_EQ(occurrences(page, "<rect class='all'"), 3);  // one bar pair a day
  expectTexts(page, {"有 1 个订单的总额不是数字", "<td>=HYPERLINK(&quot;x&quot;)</td>"});
  for (const char* bad :
       {"?from=2026-02-30&to=2026-03-01", "?from=2026-03-05&to=2026-03-01", "?from=2000-01-01&to=2026-01-01"})
    EXPECT_THAT(owner.get(std::string("/admin/sales_report.asp") + bad).text(), HasSubstr("alert(")) << bad;
}
