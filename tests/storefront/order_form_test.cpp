#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/site_rows.h"

namespace tovi::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// Whether `parts` occur in `text` in this order.
bool inOrder(const std::string& text, std::initializer_list<std::string> parts) {
  std::size_t pos = 0;
  for (const std::string& p : parts) {
    pos = text.find(p, pos);
    if (pos == std::string::npos) return false;
    pos += p.size();
  }
  return true;
}

class OrderForm : public ::testing::TestWithParam<const char*> {};

// The form every ordering page carries: what the order submission reads, and
// the browser-side checks in the order the form runs them.
TEST_P(OrderForm, PostsTheFieldsTheSubmissionReadsAfterItsChecks) {
  FakeSite site;
  for (int lei2 : {1, 2, 3}) addDish(site, {.lei = "新品推荐", .lei2 = lei2});
  FakeRequest req;
  std::string body = site.run(GetParam(), req).body;
  EXPECT_TRUE(inOrder(body, {"function formInputNoNull(list)", "function checkInputData(obj, type, noalert)",
                             "function formInputLength(list)", "function validate(list)", "function subm()",
                             "<form name='form3' id='form3' method='post' action='dctj.asp' onsubmit='return false;'>\n"
                             "<INPUT type=hidden name='list'>\n<INPUT type=hidden name='list1'>\n",
                             "name='number'", "<input type=text name='yhm' size=16>",
                             "<input type=text name='telsss' size=18>", "<input type=text name='addresss' size=47 value=''>",
                             "<select name='hours'>", "<select name='minutes'>", "<textarea name='qtbz'",
                             "<select name='zffs'><option value='餐到付费'>餐到付费</option></select>",
                             "onclick='subm()'", "</form>\n"}));
  EXPECT_TRUE(inOrder(body, {"checkInputData(form3.number, 'INT')",
                             "['form3.yhm,联系人', 'form3.addresss,送餐地址', 'form3.telsss,联系电话']",
                             "formInputLength('form3.telsss,联系电话')", "validate('form3.yhm,联系人')",
                             "checkInputData(form3.telsss, 'INT')"}));
  EXPECT_EQ(occurrences(body, "<form name='form3'"), 1);
  EXPECT_EQ(occurrences(body, "name='list'"), 1);
  // Both date lines name Sunday as day 7.
  EXPECT_EQ(occurrences(body, "\"星期六\",\"星期七\""), 1);
  EXPECT_EQ(occurrences(body, "'星期六', '星期七'"), 1);
  // Arrival hours 1 to 24 with 1 selected, minutes in tens with 00 selected.
  std::string hours = "<select name='hours'><option value='1' selected>1</option>";
  for (int h = 2; h <= 24; ++h) hours += "<option value='" + std::to_string(h) + "'>" + std::to_string(h) + "</option>";
  EXPECT_THAT(body, HasSubstr(hours + "</select>"));
  EXPECT_THAT(body, HasSubstr("<select name='minutes'><option value='00' selected>00</option><option value='10'>10"
                              "</option><option value='20'>20</option><option value='30'>30</option><option "
                              "value='40'>40</option><option value='50'>50</option></select>"));
  EXPECT_THAT(body, Not(HasSubstr("value='0'>")));
}

INSTANTIATE_TEST_SUITE_P(OrderingPages, OrderForm,
                         ::testing::Values("mabex.indexbody", "mabex.kcdgbody", "mabex.jpsqbody", "mabex.ylxgbody"));

}  // namespace
}  // namespace tovi::testing
