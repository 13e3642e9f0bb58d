// The order form every ordering page carries, once, with the delivery time and the payment method inside it. (Its
// fields reaching the submission, its script and the date line: the browser's visitor walk.)
#include "support/site_rows.h"
#include "support/testing.h"

TEST(OrderForm, EachOrderingPageCarriesItOnce) {
  FakeSite site;
  for (int lei2 : {1, 2, 3}) addDish(site, {.lei = "新品推荐", .lei2 = lei2});
  for (const char* id : {"mabex.indexbody", "mabex.kcdgbody", "mabex.jpsqbody", "mabex.ylxgbody"}) {
    FakeRequest req;
    const std::string body = site.run(id, req).body;
    for (const char* once : {"<form name='form3'", "<select name='hours'", "<select name='zffs'>", "id='dateLine'"})
      EXPECT_EQ(occurrences(body, once), 1) << id << ": " << once;
    EXPECT_LT(body.find("<select name='zffs'>"), body.find("</form>")) << id;  // no walk stores the payment method
  }
}
