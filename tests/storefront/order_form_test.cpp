#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dishes.h"

namespace tovi::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

// Positions of `parts` in `text`, each searched after the previous one; npos
// for the first part missing.
std::size_t inOrder(const std::string& text, std::initializer_list<std::string> parts) {
  std::size_t pos = 0;
  for (const std::string& p : parts) {
    pos = text.find(p, pos);
    if (pos == std::string::npos) return pos;
    pos += p.size();
  }
  return pos;
}

class OrderForm : public ::testing::TestWithParam<const char*> {};

TEST_P(OrderForm, ScriptFormAndTitleRowComeFirstInTheirOrder) {
  FakeSite site;
  for (int lei2 : {1, 2, 3}) addDish(site, {.name = "菜" + std::to_string(lei2), .lei = "新品推荐", .lei2 = lei2});
  FakeRequest req;
  PageResult page = site.run(GetParam(), req);
  EXPECT_THAT(page.body, StartsWith("<SCRIPT language=JavaScript>\nfunction formInputNoNull(list)"));
  EXPECT_NE(inOrder(page.body, {"function formInputNoNull(list)", "function checkInputData(obj, type, noalert)",
                                "function formInputLength(list)", "function validate(list)", "function checkDate()",
                                "function subm()", "</SCRIPT>", ".STYLE1 {font-size: 14px}",
                                ".STYLE3 {color: #FF6600}",
                                "<form name='form3' id='form3' method='post' action='dctj.asp' onsubmit='return false;'>\n"
                                "<INPUT type=hidden name='list'>\n<INPUT type=hidden name='list1'>\n"
                                "<table width=565 border=0 align=center",
                                "./flash/in_21.swf", "./images/jb1.gif", "<table width=565 height=39",
                                "<marquee scrolldelay=1 scrollamount=2", "<script language=vbscript>",
                                "weekday(now, 2)", "<script language=JavaScript>",
                                "<font color='#ff0000'>每天8：30后菜单均为当日最新，周六周日除外</font>",
                                "<TD height=3 background='./images/xian.gif'>", "name='number'", "name='yhm'"}),
            std::string::npos);
  // Both date lines name Sunday as day 7.
  EXPECT_EQ(occurrences(page.body, "\"星期六\",\"星期七\""), 1);
  EXPECT_EQ(occurrences(page.body, "'星期六', '星期七'"), 1);
  // The checks, in the order the form runs them.
  EXPECT_NE(inOrder(page.body, {"checkInputData(form3.number, 'INT')",
                                "['form3.yhm,联系人', 'form3.addresss,送餐地址', 'form3.telsss,联系电话']",
                                "formInputLength('form3.telsss,联系电话')", "validate('form3.yhm,联系人')",
                                "checkInputData(form3.telsss, 'INT')"}),
            std::string::npos);
}

TEST_P(OrderForm, OrderBlockHoldsTheContactAndDeliveryFields) {
  FakeSite site;
  FakeRequest req;
  PageResult page = site.run(GetParam(), req);
  EXPECT_NE(inOrder(page.body, {"<img src='./images/wydc.gif' width=120 height=25>",
                                "<table width=564 height=181 border=0 cellpadding=0 cellspacing=0 background='./images/053ca.jpg'>",
                                "<td width=385 valign=top>", "联 系 人：<input type=text name='yhm' size=16>",
                                " 联系电话：<input type=text name='telsss' size=18>",
                                "送餐地址：<input type=text name='addresss' size=47 value=''>", "到达时间：<select name='hours'>",
                                "</select>点<select name='minutes'>", "</select>分",
                                "其他备注：<textarea name='qtbz' rows=3 style='width:294px; height:30px'>",
                                "支付方式：<select name='zffs'><option value='餐到付费'>餐到付费</option></select>",
                                "<label><img src='./images/cartnext.gif'", "onclick='subm()'></label>",
                                "<td width=169 valign=top align=center><span class=STYLE1>∞∞服务范围∞∞</span>",
                                "东至 刺桐路", "南至  宝洲路", "西至 新华路", "北至 东&nbsp;街", "</table>\n</form>\n"}),
            std::string::npos);
  // Arrival hours 1 to 24 with 1 selected, minutes in tens with 00 selected.
  std::string hours = "<select name='hours'><option value='1' selected>1</option>";
  for (int h = 2; h <= 24; ++h) hours += "<option value='" + std::to_string(h) + "'>" + std::to_string(h) + "</option>";
  EXPECT_THAT(page.body, HasSubstr(hours + "</select>"));
  EXPECT_THAT(page.body, HasSubstr("<select name='minutes'><option value='00' selected>00</option><option value='10'>10"
                                   "</option><option value='20'>20</option><option value='30'>30</option><option "
                                   "value='40'>40</option><option value='50'>50</option></select>"));
  EXPECT_THAT(page.body, Not(HasSubstr("value='0'>")));
  EXPECT_EQ(occurrences(page.body, "name='list'"), 1);
  EXPECT_EQ(occurrences(page.body, "name='list1'"), 1);
}

INSTANTIATE_TEST_SUITE_P(OrderingPages, OrderForm,
                         ::testing::Values("mabex.indexbody", "mabex.kcdgbody", "mabex.jpsqbody", "mabex.ylxgbody"));

}  // namespace
}  // namespace tovi::testing
