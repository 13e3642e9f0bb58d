// The order pages through the real server: one-click moves, the status change, phone orders, the sales report, what
// they, the delete and the filter settings refuse. (The prompt to delete: the detail test; a delete: the browser walk.)
#include "orders/order_lines.h"
#include "support/over_http.h"

struct KitchenPages : StaffedSite, ::testing::Test {
  // Adds an order row as the storefront stores one; returns its id.
  std::string addOrder(const data::DateTime& when, int status, const std::string& lines = "鸡 1份 12元",
                       const std::string& total = "12") {
    liveExec(server, data::Sql("insert into tdgl (dcqk, dczj, yhm, fromdate, dczt) values (?, ?, '张三', ?, ?)",
                               {lines, total, when, status}));
    return liveValue(server, "select * from tdgl order by id desc", "id");
  }
};

// What the order pages refuse changes nothing; then the live screen's one-click move, the status change and phone
// orders. (Which ids read as ids: the OrderId table; visitors and missing rights: the back-office guard table.)
TEST_F(KitchenPages, BadOrForeignRequestsChangeNothingGoodOnesMoveAndStoreOrders) {
  liveExec(server, "insert into cygl (name, jiage, lei2) values ('酸辣汤', ' 8.5 ', 1)");
  const std::string i = addOrder(data::DateTime::now(), 1), dish = "q" + id("cygl", "id", "name='酸辣汤'");
  const std::string phone = "/admin/phone_order.asp?action=save", move = "/admin/live.asp?action=move",
                    pass = "/admin/order_pass.asp?action=save", refused = "操作被拒绝";
  // A phone order of one dish and the filter settings (storing the keyword x), each with one field changed.
  auto order = [&](std::string field = "", std::string value = "") {
    return formBody(withField({{dish, "1"}, {"yhm", "a"}, {"telsss", "1"}, {"addresss", "b"}, {"hours", "12"},
                               {"minutes", "30"}}, field, value));
  };
  auto filters = [](std::string field = "", std::string value = "") {
    return formBody(withField({{"radiobutton", "1"}, {"order_time", "10"}, {"order_times", "3"}, {"order_delet", "1"},
                               {"order_deletkey", "x"}, {"order_flood_time", "10"}, {"order_flood_times", "30"}},
                              field, value));
  };
  std::vector<Ask> asks = {
      {&owner, phone, order(dish, "0"), {"请至少给一道菜填上数量"}}, {&owner, phone, order(dish, "1.5"), {"1 到 99 的整数"}},
      {&owner, phone, order(dish, "-1"), {"1 到 99 的整数"}}, {&owner, phone, order("yhm"), {"请填写联系人"}},
      {&owner, phone, order("addresss"), {"请填写送餐地址"}}, {&owner, phone, order("hours", "0"), {"到达时间"}},
      {&owner, phone, order("minutes", "35"), {"到达时间"}}, {&owner, phone, order(), {refused}, OtherSite},
      {&owner, move, "id=" + i + "&from=1", {refused}, OtherSite},
      {&owner, move + "&id=" + i + "&from=1", "", {refused}, Site, true},
      {&clerk, "/admin/ddgl2.asp?id=" + i + "&select=3", "", {refused}, Site, true},
      {&owner, pass, filters(), {refused}, OtherSite}, {&owner, pass + "&" + filters(), "", {refused}, Site, true}};
  for (const char* page : {"/admin/ddgl2.asp?id=", "/admin/ddgl3.asp?id="}) {
    asks.push_back({&clerk, page + percentEncode(i + ") or (1=1"), "select=3", {"订单编号不正确"}});
    asks.push_back({&clerk, page + std::to_string(std::stoll(i) + 10), "select=3", {"没有找到这个订单"}});
    asks.push_back({&clerk, page + i, "select=3", {refused}, OtherReferer});
  }
  for (const char* status : {"", "0", "5", "x", "2.5"})
    asks.push_back({&clerk, "/admin/ddgl2.asp?id=" + i, std::string("select=") + status, {"请选择正确的订餐状态"}});
  for (auto [field, value, answer] :
       {std::tuple{"order_time", "abc", "限制时间"}, {"order_time", "", "限制时间"}, {"order_times", "2.5", "限制次数"},
        {"order_times", "99999999999", "限制次数"}, {"order_flood_time", "", "防刷单时间"},
        {"order_flood_times", "-1", "防刷单次数"}, {"radiobutton", "", "开或关"}, {"order_delet", "2", "开或关"}})
    asks.push_back({&owner, pass, filters(field, value), {answer}});
  expectRefused(asks);
  EXPECT_EQ(liveValue(server, "select * from set_tamloall where order_deletkey='x'"), "0");

  // One click moves it one on from the status the screen saw only (row 2: another screen's click); ddgl2 sets any.
  for (auto [from, answer, after] : {std::tuple{1, "data-ok='1' data-status='2'", 2}, {1, "刚被别人改过", 2},
                                     {2, "data-ok='1' data-status='3'", 3}, {3, "data-ok='1' data-status='4'", 4},
                                     {4, "已结帐", 4}}) {
    EXPECT_THAT(postOwn(owner, move, "id=" + i + "&from=" + std::to_string(from)).text(), HasSubstr(answer));
    EXPECT_EQ(id("tdgl", "dczt", "id=" + i), std::to_string(after)) << answer;
  }
  EXPECT_THAT(postOwn(clerk, "/admin/ddgl2.asp?id=" + i, "select=2").text(), HasSubstr("制作当中"));
  EXPECT_EQ(id("tdgl", "dczt", "id=" + i), "2");

  // Phone orders pass the storefront's limit and address filter and name their taker (common columns: dctj's table).
  liveExec(server,
           "update set_tamloall set order_time_state=1, order_times=1, order_delet_state=1, order_deletkey='nowhere'");
  const std::string form = gbkForm({{dish, "2"}, {"yhm", "李四"}, {"telsss", "87001234"}, {"addresss", "五四路<b>"},
                                    {"hours", "12"}, {"minutes", "30"}, {"qtbz", "少放辣"}});
  for (int n = 0; n < 2; ++n) EXPECT_THAT(postOwn(owner, phone, form).text(), HasSubstr("电话订单已保存"));
  ASSERT_EQ(liveValue(server, "select * from tdgl where taker='admin'"), "2");
  for (auto [column, value] : std::map<std::string, std::string>{
           {"dcqk", orders::orderLine("酸辣汤", "8.5", 2)}, {"dczj", "17"}, {"yhm", "李四"}, {"telsss", "87001234"},
           {"addresss", "五四路<b>"}, {"qtbz", "少放辣"}, {"hours", "12"}, {"minutes", "30"}, {"taker", "admin"}})
    EXPECT_EQ(id("tdgl", column, "1=1 order by id desc"), value) << column;
}

// Per day and per dish (formulas made inert), all orders and the settled ones, in the page and both CSV encodings.
TEST_F(KitchenPages, SalesReportFiguresPerDayAndDishInPageAndBothCsvEncodings) {
  const data::DateTime d1{2026, 3, 1, 23, 59, 59}, d2{2026, 3, 3, 0, 0, 0};
  addOrder(d1, 4, orders::orderLine("宫保鸡丁", "12", 2) + orders::orderLine("可乐", "3", 1), "27");
  addOrder(d1, 1, orders::orderLine("宫保鸡丁", "12", 1), "12");
  addOrder(d2, 4, orders::orderLine("=HYPERLINK(\"x\")", "8.5", 1), "8.5");
  addOrder(d2, 2, "宫保鸡丁 1份 12元", "NaN");
  addOrder({2026, 3, 4, 0, 0, 0}, 4, orders::orderLine("宫保鸡丁", "12", 9), "108");  // the day after the range

  const std::string query = "/admin/sales_report.asp?from=2026-03-01&to=2026-03-03";
  HttpResponse utf8 = owner.get(query + "&format=csv&charset=utf8"), gbk = owner.get(query + "&format=csv&charset=gbk");
  EXPECT_EQ(utf8.headers["Content-Type"], "text/csv; charset=utf-8");
  EXPECT_EQ(gbk.headers["Content-Type"], "text/csv; charset=gbk");
  EXPECT_THAT(utf8.headers["Content-Disposition"], HasSubstr("sales-2026-03-01-2026-03-03.csv"));
  EXPECT_THAT(utf8.body, StartsWith("\xEF\xBB\xBF"));
  EXPECT_THAT(utf8.body, HasSubstr("\r\n2026-03-01,2,39.00,1,27.00\r\n2026-03-02,0,0.00,0,0.00\r\n"
                                   "2026-03-03,2,8.50,1,8.50\r\n合计,4,47.50,2,35.50\r\n\r\n"));
  EXPECT_TRUE(utf8.body.ends_with("\r\n\"宫保鸡丁\",3,36.00,2,24.00\r\n\"'=HYPERLINK(\"\"x\"\")\",1,8.50,1,8.50\r\n"
                                  "\"可乐\",1,3.00,1,3.00\r\n"));
  EXPECT_EQ(gbk.body, toGbk(utf8.body.substr(3)));

  const std::string page = owner.get(query).text();
  EXPECT_EQ(occurrences(page, "<rect class='all'"), 3);  // one bar pair a day
  expectTexts(page, {"有 1 个订单的总额不是数字", "<td>=HYPERLINK(&quot;x&quot;)</td>"});
  for (auto [bad, answer] : {std::pair{"from=2026-02-30&to=2026-03-01", "正确的日期"},
                             {"from=2026-03-05&to=2026-03-01", "不能早于"}, {"from=2000-01-01&to=2026-01-01", "太长"}})
    EXPECT_THAT(owner.get(std::string("/admin/sales_report.asp?") + bad).text(), HasSubstr(answer)) << bad;
}

// What order intake refuses stores nothing: a GET, a post from elsewhere or from nowhere, an order without a dish, and
// past the flood guard (here 2 orders), which counts each client apart: behind a trusted proxy the address it forwards,
// else the peer whatever the header says; its refusals are logged and counted. The browser that placed an order sees
// its contact details on ckdd.asp and its own page, a stranger sees them masked and is refused the page; twenty orders
// a page, newest first.
TEST(OrderIntake, RefusalsStoreNothingFloodCountsClientsApartHistoryShowsDetailsToTheOrdersBrowser) {
  for (bool proxied : {true, false}) {
    SCOPED_TRACE(proxied ? "behind a trusted proxy" : "straight");
    LiveServer server(
        {.args = proxied ? std::vector<std::string>{"--trusted-proxy", "127.0.0.1"} : std::vector<std::string>{}});
    liveExec(server, "update set_tamloall set order_flood_times=2");
    HttpClient placer(server.port()), stranger(server.port());
    const Fields order = {{"list", "⊕鸡 12元 X 1份=12元 \n\n"}, {"list1", "12"}, {"yhm", "张三"},
                          {"telsss", "13800138000"}, {"addresss", "鼓楼区五四路1号"}};
    using Headers = std::map<std::string, std::string>;
    const Headers own = {{"Origin", placer.origin()}},
                  a = {{"Origin", placer.origin()}, {"X-Forwarded-For", "10.0.0.1"}},
                  b = {{"Origin", placer.origin()}, {"X-Forwarded-For", "10.0.0.2"}};
    const char *refused = "只能从本站", *noDish = "还没有点菜", *stored = "订餐成功", *flood = "请稍后再试";
    EXPECT_THAT(placer.get("/dctj.asp?" + gbkForm(order)).text(), HasSubstr(refused));
    std::string token;  // the order's cookie as set
    for (auto [form, headers, answer] : std::initializer_list<std::tuple<Fields, Headers, const char*>>{
             {order, {{"Origin", "http://evil.example"}}, refused}, {order, {}, refused},
             {withField(order, "list", " \r\n"), own, noDish}, {withField(order, "list1", "0.00"), own, noDish},
             {withField(order, "list1", "-12"), own, noDish}, {order, a, stored}, {order, a, stored},
             {order, a, flood}, {order, b, proxied ? stored : flood}}) {
      HttpResponse r = placer.post("/dctj.asp", gbkForm(form), "application/x-www-form-urlencoded", headers);
      EXPECT_THAT(r.text(), HasSubstr(answer));
      if (answer == stored) token = r.headers["Set-Cookie"];
    }
    EXPECT_THAT(token, AllOf(StartsWith("tovi_orders="), HasSubstr("; path=/; HttpOnly; SameSite=Lax")));
    EXPECT_EQ(liveValue(server, "select * from tdgl"), proxied ? "3" : "2");
    EXPECT_EQ(liveValue(server, "select * from set_tamloall", "order_flood_refused"), proxied ? "1" : "2");
    EXPECT_THAT(server.output(), HasSubstr(proxied ? "flood guard: 10.0.0.1" : "flood guard: 127.0.0.1"));
    if (!proxied) continue;

    liveExec(server, "insert into tdgl (yhm, telsss, addresss, dcqk) values ('张三', '13911112222', '台江区', '鸭')");
    const std::string mine = placer.get("/ckdd.asp?names=" + percentEncode(toGbk("张三"))).text();
    const std::string n = liveValue(server, "select * from tdgl where telsss='13800138000' order by id desc", "id");
    expectTexts(mine, {"电话号码：13800138000", "联系地址：鼓楼区五四路1号", "电话号码：139****2222", "联系地址：台****",
                       "<a href='ddxx.asp?id=" + n + "'"});
    expectTexts(stranger.get("/ckdd.asp?names=" + percentEncode(toGbk("张三"))).text(),
                {"电话号码：138****8000", "联系地址：鼓楼区五****"}, {"13800138000", "13911112222", "五四路1号", "ddxx"});
    // The order's own page and its status answer open to its browser only; the stream refuses a stranger too.
    liveExec(server, "update tdgl set dczt=3 where id=" + n);
    using Case = std::tuple<HttpClient*, std::string, int, std::string>;
    for (auto [client, target, status, text] : std::initializer_list<Case>{
             {&placer, "/ddxx.asp?id=" + n, 200, "订单状态：<strong id=orderStatus>派送当中</strong>"},
             {&placer, "/ddzt.asp?id=" + n, 200, R"({"id":)" + n + R"(,"status":3,"label":"\u6d3e\u9001)"},
             {&placer, "/ddxx.asp?id=" + n + "0", 404, "没有找到这张订单"}, {&placer, "/ddzt.asp?id=x", 404, "no such"},
             {&stranger, "/ddxx.asp?id=" + n, 403, "只能在下单时所用的浏览器上查看"},
             {&stranger, "/ddzt.asp?id=" + n, 403, "not yours"},
             {&stranger, "/order_events?id=" + n, 403, "not your order"}}) {
      HttpResponse r = client->get(target);
      EXPECT_EQ(r.status, status) << target;
      EXPECT_THAT(r.text(), HasSubstr(text)) << target;
    }
    for (int n = 1; n <= 21; ++n)
      liveExec(server, data::Sql("insert into tdgl (yhm, dcqk) values ('a&b', ?)", {"菜" + std::to_string(n)}));
    const std::string first = stranger.get("/ckdd.asp?names=a%26b").text();
    EXPECT_EQ(occurrences(first, "class='STYLE2 STYLE3'>"), 20);
    EXPECT_LT(first.find(">菜21<"), first.find(">菜2<"));
    expectTexts(first, {"共21个订单", "href='ckdd.asp?names=a%26b&amp;page=2'>下页"}, {">菜1<"});
    expectTexts(stranger.get("/ckdd.asp?names=a%26b&page=9").text(), {">菜1<", "第2页/共2页"}, {">菜2<"});
  }
}
