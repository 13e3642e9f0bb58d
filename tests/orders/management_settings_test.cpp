// The filter settings page order_pass.asp: the edges of what it shows and saves. (Ordinary values saved and read back:
// the browser's back-office walk; the refusals, which store nothing: the order pages' HTTP test.)
#include "support/site_rows.h"
#include "support/testing.h"

TEST(OrderSettings, ShowsOddStoredValuesAndSavesEscapedKeywordsAndZeros) {
  FakeSite site;
  auto save = [&](std::string on, std::string minutes, std::string times, std::string filter, std::string keys,
                  std::string flood = "30") {
    return runAs(site, "mabex.order_pass", {{"action", "save"}}, {{"radiobutton", on}, {"order_time", minutes},
                 {"order_times", times}, {"order_delet", filter}, {"order_deletkey", keys}, {"order_flood_time", flood},
                 {"order_flood_times", flood}}).body;
  };
  // A stored switch that is neither 0 nor 1 checks neither radio; showing writes nothing. The flood guard's refusals.
  setOrderFilters(site, {5, 5, 2, 1, "鼓楼|台江"});
  site.db().Execute("update set_tamloall set order_flood_refused=7");
  const std::string shown = runAs(site, "mabex.order_pass", {}).body;
  EXPECT_EQ(occurrences(shown, " checked="), 1);
  expectTexts(shown, {R"(name="order_flood_time" style="width:50px" value="10">)", "已拦截 7 单"});
  EXPECT_EQ(orderFilters(site), (OrderFilters{5, 5, 2, 1, "鼓楼|台江"}));
  expectTexts(save("1", "10", "3", "0", "A座|B座\r\n<台江>"),
              {R"(value="0" checked="checked">关)", ">\nA座|B座\r\n&lt;台江&gt;</textarea>"});
  EXPECT_EQ(orderFilters(site), (OrderFilters{1, 10, 3, 0, "A座|B座\r\n<台江>"}));
  EXPECT_THAT(save("0", "0", " 0 ", "1", "", "0"), HasSubstr(R"(name="radiobutton" value="0" checked="checked">)"));
  EXPECT_EQ(valuesOf(site.db(), "select * from set_tamloall where order_flood_time=0", "order_flood_times"),
            std::vector<std::string>{"0"});
  EXPECT_EQ(orderFilters(site), (OrderFilters{0, 0, 0, 1, ""}));
}
