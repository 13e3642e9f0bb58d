// The order form every ordering page carries, once: the fields the order
// submission reads, all inside the form, and the arrival time's choices.
// What the form's script checks, and in which order, the browser tests walk.
#include "support/site_rows.h"
#include "support/testing.h"

TEST(OrderForm, EachOrderingPageCarriesTheFieldsTheSubmissionReads) {
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
    for (const std::string& once : {std::string("<form name='form3'"), std::string("name='list'"), hours + "</select>",
                                    minutes + "</select>", std::string("\"星期六\",\"星期七\""), std::string("'星期六', '星期七'")})
      EXPECT_EQ(occurrences(body, once), 1) << id << ": " << once;
    std::size_t at = 0;
    for (const char* part :
         {"<form name='form3' id='form3' method='post' action='dctj.asp' onsubmit='return false;'>\n"
          "<INPUT type=hidden name='list'>\n<INPUT type=hidden name='list1'>\n",
          "name='number'", "<input type=text name='yhm'", "<input type=text name='telsss'",
          "<input type=text name='addresss'", "<select name='hours'>", "<select name='minutes'>",
          "<textarea name='qtbz'", "<select name='zffs'><option value='餐到付费'>餐到付费</option></select>",
          "onclick='subm()'", "</form>\n"}) {
      at = body.find(part, at);
      ASSERT_NE(at, std::string::npos) << id << ": missing or out of place: " << part;
    }
  }
}
