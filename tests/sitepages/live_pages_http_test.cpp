// The kitchen's pages through the real server: the live screen's one-click
// move, phone orders and the sales report.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "orders/order_lines.h"
#include "over_http.h"
#include "support/site_rows.h"

using namespace tovi;
using namespace tovi::testing;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

class KitchenPages : public ::testing::Test {
 protected:
  // Adds an order row as the storefront stores one.
  long long addOrder(const data::DateTime& when, int status, const std::string& lines, const std::string& total) {
    liveExec(server, data::Sql("insert into tdgl (dcqk, dczj, yhm, fromdate, dczt) values (?, ?, '张三', ?, ?)",
                               {lines, total, when, status}));
    return std::stoll(liveValue(server, "select * from tdgl order by id desc", "id"));
  }
  std::string field(long long id, const std::string& name) {
    return liveValue(server, data::Sql("select * from tdgl where id=?", {id}), name);
  }
  HttpResponse save(const std::string& form) { return postOwn(http, "/admin/phone_order.asp?action=save", form); }

  LiveServer server{{.demo = true, .args = {"--fixed-code", "1234"}}};
  HttpClient http = asOwner(server);
};

TEST_F(KitchenPages, OneClickMovesAnOrderOneStatusOnOnlyFromWhereTheScreenSawIt) {
  const long long id = addOrder(data::DateTime::now(), 1, orders::orderLine("鸡", "12", 1), "12");
  const std::string target = "/admin/live.asp?action=move";
  const std::map<std::string, std::string> own = {{"Origin", http.origin()}};
  auto body = [&](int from) { return "id=" + std::to_string(id) + "&from=" + std::to_string(from); };
  struct Step {
    int from;
    std::map<std::string, std::string> headers;
    std::string answer;
    int after;
  };
  const Step steps[] = {
      {1, {{"Origin", "http://evil.example"}}, "操作被拒绝", 1},
      {1, own, "data-ok='1' data-status='2'", 2},
      {1, own, "刚被别人改过", 2},  // a second screen's click on the same card
      {2, own, "data-ok='1' data-status='3'", 3},
      {3, own, "data-ok='1' data-status='4'", 4},
      {4, own, "已结帐", 4},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.answer);
    EXPECT_THAT(postForm(http, target, body(s.from), s.headers).text(), HasSubstr(s.answer));
    EXPECT_EQ(field(id, "dczt"), std::to_string(s.after));
  }
  EXPECT_THAT(http.get(target + "&" + body(4)).text(), HasSubstr("操作被拒绝"));
  HttpClient stranger(server.port());
  EXPECT_THAT(postOwn(stranger, target, body(4)).text(), HasSubstr("您还没有登录"));
}

TEST_F(KitchenPages, PhoneOrderIsStoredAsTheStorefrontStoresOneWithTheTaker) {
  const std::string dish = liveValue(server, "select * from cygl order by id", "id");
  const std::string name = liveValue(server, "select * from cygl order by id", "name");
  const std::string price = liveValue(server, "select * from cygl order by id", "jiage");
  // The storefront's per-browser limit is on and at one order: phone orders pass it.
  liveExec(server, "update set_tamloall set order_time_state=1, order_times=1, order_delet_state=1, order_deletkey='nowhere'");
  const std::string form = "q" + dish + "=2&yhm=" + urlEncode(toGbk("李四")) + "&telsss=87001234&addresss=" +
                           urlEncode(toGbk("五四路<b>")) + "&hours=12&minutes=30&qtbz=" + urlEncode(toGbk("少放辣"));
  for (int i = 0; i < 2; ++i)
    EXPECT_THAT(save(form).text(), HasSubstr("电话订单已保存"));
  ASSERT_EQ(liveValue(server, "select * from tdgl"), "2");

  const long long id = std::stoll(liveValue(server, "select * from tdgl order by id desc", "id"));
  EXPECT_EQ(field(id, "dcqk"), orders::orderLine(name, price, 2));
  EXPECT_EQ(field(id, "dczj"), orders::jsNumber(std::stod(price) * 2));
  const std::map<std::string, std::string> expected = {
      {"yhm", "李四"}, {"telsss", "87001234"}, {"addresss", "五四路<b>"}, {"qtbz", "少放辣"}, {"hours", "12"},
      {"minutes", "30"}, {"zffs", "餐到付费"}, {"dczt", "1"}, {"taker", "admin"}};
  for (const auto& [column, value] : expected) EXPECT_EQ(field(id, column), value) << column;
  const data::DateTime when = *data::DateTime::parse(field(id, "fromdate"));
  for (const auto& [column, part] : std::map<std::string, int>{
           {"years", when.year}, {"months", when.month}, {"days", when.day}, {"hourss", when.hour}, {"minutess", when.minute}})
    EXPECT_EQ(field(id, column), std::to_string(part)) << column;
}

TEST_F(KitchenPages, PhoneOrderRefusalsStoreNothing) {
  const std::string dish = liveValue(server, "select * from cygl order by id", "id");
  const std::string rest = "&yhm=a&telsss=1&addresss=b&hours=12&minutes=30";
  struct Case {
    std::string form, message;
  };
  for (const Case& c : {Case{"q" + dish + "=0" + rest, "请至少给一道菜填上数量"}, Case{"q" + dish + "=1.5" + rest, "1 到 99 的整数"},
                        Case{"q" + dish + "=-1" + rest, "1 到 99 的整数"},
                        Case{"q" + dish + "=1&yhm=&telsss=1&addresss=b&hours=12&minutes=30", "请填写联系人"},
                        Case{"q" + dish + "=1&yhm=a&telsss=1&addresss=&hours=12&minutes=30", "请填写送餐地址"},
                        Case{"q" + dish + "=1&yhm=a&telsss=1&addresss=b&hours=0&minutes=30", "到达时间"},
                        Case{"q" + dish + "=1&yhm=a&telsss=1&addresss=b&hours=12&minutes=35", "到达时间"}}) {
    SCOPED_TRACE(c.form);
    EXPECT_THAT(save(c.form).text(), HasSubstr(c.message));
  }
  EXPECT_THAT(postForeign(http, "/admin/phone_order.asp?action=save", "q" + dish + "=1" + rest).text(),
              HasSubstr("操作被拒绝"));
  EXPECT_EQ(liveValue(server, "select * from tdgl"), "0");
}

TEST_F(KitchenPages, SalesReportFiguresPerDayAndDishInPageAndBothCsvEncodings) {
  const data::DateTime d1{2026, 3, 1, 23, 59, 59}, d2{2026, 3, 3, 0, 0, 0};
  addOrder(d1, 4, orders::orderLine("宫保鸡丁", "12", 2) + orders::orderLine("可乐", "3", 1), "27");
  addOrder(d1, 1, orders::orderLine("宫保鸡丁", "12", 1), "12");
  addOrder(d2, 4, orders::orderLine("=HYPERLINK(\"x\")", "8.5", 1), "8.5");
  addOrder(d2, 2, "宫保鸡丁 1份 12元", "NaN");
  addOrder({2026, 3, 4, 0, 0, 0}, 4, orders::orderLine("宫保鸡丁", "12", 9), "108");  // the day after the range

  const std::string query = "/admin/sales_report.asp?from=2026-03-01&to=2026-03-03";
  HttpResponse utf8 = http.get(query + "&format=csv&charset=utf8");
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
  HttpResponse gbk = http.get(query + "&format=csv&charset=gbk");
  EXPECT_EQ(gbk.headers["Content-Type"], "text/csv; charset=gbk");
  EXPECT_EQ(gbk.body, toGbk(csv));

  const std::string page = http.get(query).text();
  EXPECT_EQ(occurrences(page, "<rect class='all'"), 3);  // one bar pair a day
  EXPECT_THAT(page, HasSubstr("有 1 个订单的总额不是数字"));
  EXPECT_THAT(page, HasSubstr("<td>=HYPERLINK(&quot;x&quot;)</td>"));
  for (const char* bad : {"?from=2026-02-30&to=2026-03-01", "?from=2026-03-05&to=2026-03-01", "?from=2000-01-01&to=2026-01-01"})
    EXPECT_THAT(http.get(std::string("/admin/sales_report.asp") + bad).text(), HasSubstr("alert(")) << bad;
}

}  // namespace
