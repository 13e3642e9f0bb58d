// Order history ckdd.asp: the orders of one name, their status labels, and what customers typed shown as text, as the
// signed-in member of that name sees them; how contact details are masked for others. (Who sees what, and the paging:
// the order pages' HTTP test.)
#include "orders/ckdd.h"
#include "support/site_rows.h"
#include "support/testing.h"

static PageResult history(FakeSite& site, const std::string& names) {
  FakeRequest req;
  req.query = {{"names", names}};
  req.session["names"] = names;
  return site.run("mabex.ckdd", req);
}

const std::string kCell = "<td align=center bgcolor=#FFFFFF class='STYLE2 STYLE3'>";  // a row's status cell

TEST(OrderHistory, ListsTheOrdersOfExactlyOneNameWithTheirTimesTotalAndStatusAsText) {
  FakeSite site;
  for (const Order& o : {Order{.dczj = "36"}, Order{.yhm = "李四"}, Order{.yhm = ""},
                         Order{.dcqk = "⊕豆浆 3元 X 1份=3元 \n\n"}})
    addOrder(site, o);
  for (int s : {1, 2, 3, 4, 0, 5, -1}) addOrder(site, Order{.yhm = "状态", .dczt = s});
  addOrder(site, Order{.yhm = "<b>x</b>", .telsss = "1');alert(1);//", .addresss = "<img src=x onerror=alert(2)>",
                       .dcqk = "</a><script>alert(3)</script>", .dczj = "<i>9</i>"});
  std::string body = history(site, "张三").body;
  EXPECT_EQ(occurrences(body, kCell), 2);
  expectTexts(body, {"36</a>元</td>", ">2010年5月17日<br>11点42分</a>", ">2010年5月17日<br>12点30分</a>",
                     ">⊕豆浆 3元 X 1份=3元 \n\n</a>",  // line feeds kept
                     "drc('<br>电话号码：0591-12345678','用户名：张三','联系地址：鼓楼区五四路1号')"},
              {"李四"});
  EXPECT_GT(body.find("36</a>元"), body.find("⊕豆浆"));  // newest first
  // Each row's status by its label; codes without one show an empty cell.
  std::string states = history(site, "状态").body, labels;
  for (std::size_t p = 0; (p = states.find(kCell, p)) != std::string::npos; p += kCell.size())
    labels += states.substr(p + kCell.size(), states.find('<', p + kCell.size()) - p - kCell.size()) + "|";
  EXPECT_EQ(labels, "|||已结帐|派送当中|处理当中|等待中|");
  // Names are looked up exactly, even empty or quoted.
  EXPECT_EQ(occurrences(history(site, "").body, kCell), 1);
  for (const char* names : {"张", "' or '1'='1"}) {
    PageResult page = history(site, names);
    EXPECT_TRUE(page.ended && page.body.ends_with("您还没订过餐！！</div>")) << names;
  }
  // In the hover call: entities for the box's markup, then escaped for the script and the attribute.
  expectTexts(history(site, "<b>x</b>").body,
              {"&lt;/a&gt;&lt;script&gt;alert(3)&lt;/script&gt;</a>", "'用户名：\\x26lt;b\\x26gt;x\\x26lt;/b\\x26gt;'",
               "电话号码：1\\x26#39;);alert(1);//'"},
              {"<b>x</b>", "1');alert(1)", "<img src=x", "<script>alert(3)", "<i>9</i>"});
}

TEST(OrderHistory, MasksPhonesAndAddressesByCharacters) {
  for (auto [phone, masked] : {std::pair{"13800138000", "138****8000"}, {"0591-12345678", "059******5678"},
                               {"87001234", "87****34"}, {"1234567", "12***67"}, {"123456", "*****6"}, {"123", "**3"},
                               {"12", "**"}, {"", ""}, {"一二三四五六七八九十一", "一二三****八九十一"}})
    EXPECT_EQ(orders::maskPhone(phone), masked) << phone;
  for (auto [address, masked] : {std::pair{"鼓楼区五四路1号", "鼓楼区五****"}, {"台江区", "台****"},
                                 {"abcdefghijkl", "abcdef****"}, {"a", "****"}, {"", ""}})
    EXPECT_EQ(orders::maskAddress(address), masked) << address;
}
