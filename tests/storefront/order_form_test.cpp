// The order form every ordering page carries, once, and the arrival time's
// choices. (The fields inside it reaching the submission, and what its script
// checks: the browser's order walks, from the home page and the category
// pages, which share the form's writer.)
#include "support/site_rows.h"
#include "support/testing.h"

TEST(OrderForm, EachOrderingPageCarriesItOnceWithTheArrivalTimesChoices) {
  FakeSite site;
  for (int lei2 : {1, 2, 3}) addDish(site, {.lei = "新品推荐", .lei2 = lei2});
  // Arrival hours 1 to 24 with 1 selected, minutes in tens with 00 selected.
  std::string hours = "<select name='hours'>", minutes = "<select name='minutes'>";
  auto option = [](const std::string& v, bool on) {
    return "<option value='" + v + (on ? "' selected>" : "'>") + v + "</option>";
  };
  for (int h = 1; h <= 24; ++h) hours += option(std::to_string(h), h == 1);
  for (std::string m : {"00", "10", "20", "30", "40", "50"}) minutes += option(m, m == "00");
  for (const char* id : {"mabex.indexbody", "mabex.kcdgbody", "mabex.jpsqbody", "mabex.ylxgbody"}) {
    FakeRequest req;
    std::string body = site.run(id, req).body;
    // Once each; both date lines name Sunday as day 7.
    for (const std::string& once :
         {std::string("<form name='form3' id='form3' method='post' action='dctj.asp' onsubmit='return false;'>\n"
                      "<INPUT type=hidden name='list'>\n<INPUT type=hidden name='list1'>\n"),
          std::string("<select name='zffs'><option value='餐到付费'>餐到付费</option></select>"), hours + "</select>",
          minutes + "</select>", std::string("\"星期六\",\"星期七\""), std::string("'星期六', '星期七'")})
      EXPECT_EQ(occurrences(body, once), 1) << id << ": " << once;
    EXPECT_LT(body.find("<select name='zffs'>"), body.find("</form>")) << id;  // no walk stores the payment method
  }
}
