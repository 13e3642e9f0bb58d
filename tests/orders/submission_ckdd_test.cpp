#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/site_rows.h"

namespace tovi::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

struct StoredOrder {
  std::string yhm = "张三";
  std::string telsss = "13800000000";
  std::string addresss = "台江区五一路1号";
  std::string dcqk = "⊕宫保鸡丁饭 12元 X 2份=24元 \n\n";
  std::string dczj = "24";
  int dczt = 1;
};

void store(FakeSite& site, const StoredOrder& o) {
  site.db().Execute({"insert into tdgl (yhm, telsss, addresss, dcqk, dczj, hours, minutes, qtbz, zffs, fromdate, "
                     "years, months, days, hourss, minutess, dczt) values (?, ?, ?, ?, ?, '12', '00', '', '餐到付费', ?, "
                     "2024, 3, 9, 10, 5, ?)",
                     {o.yhm, o.telsss, o.addresss, o.dcqk, o.dczj, data::DateTime{2024, 3, 9, 10, 5, 0}, o.dczt}});
}

PageResult history(FakeSite& site, const std::string& names) {
  FakeRequest req;
  req.query = {{"names", names}};
  return site.run("mabex.ckdd", req);
}

constexpr const char* kNoOrders = "<div align=center class=STYLE2>您还没订过餐！！</div>";

TEST(OrderHistory, ListsTheOrdersOfOneNameWithTheirTimesAndTotal) {
  FakeSite site;
  store(site, {.dczj = "36"});
  store(site, {.yhm = "李四"});
  store(site, {.dcqk = "⊕豆浆 3元 X 1份=3元 \n\n"});
  store(site, {.dczt = 3});
  PageResult page = history(site, "张三");
  EXPECT_EQ(occurrences(page.body, "<td align=center bgcolor=#FFFFFF class='STYLE2 STYLE3'>"), 3);
  EXPECT_THAT(page.body, HasSubstr("36</a>元</td>"));
  EXPECT_THAT(page.body, HasSubstr(">2024年3月9日<br>10点5分</a>"));
  EXPECT_THAT(page.body, HasSubstr(">2024年3月9日<br>12点00分</a>"));
  EXPECT_THAT(page.body, HasSubstr(">⊕豆浆 3元 X 1份=3元 \n\n</a>"));  // line feeds stay line feeds
  EXPECT_THAT(page.body, HasSubstr("drc('<br>电话号码：13800000000','用户名：张三','联系地址：台江区五一路1号'); return true;"));
  EXPECT_THAT(page.body, Not(HasSubstr("李四")));
  EXPECT_LT(page.body.find("36</a>元"), page.body.find("⊕豆浆"));  // natural order
}

TEST(OrderHistory, StatusLabels) {
  struct Case {
    int dczt;
    std::string label;
  };
  for (const Case& c : {Case{1, "等待中"}, Case{2, "处理当中"}, Case{3, "派送当中"}, Case{4, "已结帐"}, Case{0, ""},
                        Case{5, ""}, Case{-1, ""}}) {
    SCOPED_TRACE(c.dczt);
    FakeSite site;
    store(site, {.dczt = c.dczt});
    EXPECT_THAT(history(site, "张三").body,
                HasSubstr("<td align=center bgcolor=#FFFFFF class='STYLE2 STYLE3'>" + c.label + "</td></tr>"));
  }
}

TEST(OrderHistory, NoOrderUnderTheNameEndsThePage) {
  FakeSite site;
  store(site, {.yhm = "张三"});
  for (const char* names : {"李四", "", "张", "' or '1'='1", "张三' --"}) {
    SCOPED_TRACE(names);
    PageResult page = history(site, names);
    EXPECT_TRUE(page.ended);
    EXPECT_TRUE(page.body.ends_with(kNoOrders)) << page.body.substr(page.body.size() - 80);
    EXPECT_THAT(page.body, Not(HasSubstr("<table width=619")));
  }
}

TEST(OrderHistory, NamesAreLookedUpAsTheyAreEvenEmptyOrQuoted) {
  FakeSite site;
  store(site, {.yhm = ""});
  store(site, {.yhm = "O'Brien"});
  PageResult page = history(site, "");
  EXPECT_FALSE(page.ended);
  EXPECT_THAT(page.body, HasSubstr("<table width=619"));
  EXPECT_THAT(history(site, "O'Brien").body, HasSubstr("用户名：O\\x26#39;Brien"));
}

TEST(OrderHistory, WhatCustomersTypedIsShownAsText) {
  FakeSite site;
  store(site, {.yhm = "<b>x</b>", .telsss = "1');alert(1);//", .addresss = "<img src=x onerror=alert(2)>",
               .dcqk = "</a><script>alert(3)</script>", .dczj = "<i>9</i>"});
  PageResult page = history(site, "<b>x</b>");
  for (const char* raw : {"<b>x</b>", "1');alert(1)", "<img src=x", "<script>alert(3)", "<i>9</i>"})
    EXPECT_THAT(page.body, Not(HasSubstr(raw))) << raw;
  EXPECT_THAT(page.body, HasSubstr("&lt;/a&gt;&lt;script&gt;alert(3)&lt;/script&gt;</a>"));
  // In the hover call: entities for the box's markup, then escaped for the script and the attribute.
  EXPECT_THAT(page.body, HasSubstr("'用户名：\\x26lt;b\\x26gt;x\\x26lt;/b\\x26gt;'"));
  EXPECT_THAT(page.body, HasSubstr("电话号码：1\\x26#39;);alert(1);//'"));
}

}  // namespace
}  // namespace tovi::testing
