// The guestbook's texts: a visitor's line breaks as stored, a stored message or reply as shown.
#include "storefront/guestbook.h"

#include "support/testing.h"

using namespace tovi::storefront;

TEST(GuestbookText, BreaksAreStoredAsBrAndShownAsBreaksEverythingElseAsText) {
  for (auto [typed, stored] : {std::pair{"一\r\n二\n三\r四", "一<BR>二<BR>三<BR>四"}, {"\n\r\n", "<BR><BR>"}, {"<b>", "<b>"}})
    EXPECT_EQ(storedBreaks(typed), stored) << typed;
  for (auto [stored, html] : {std::pair{"一<BR>二<br>三<Br>", "一<br>二<br>三<br>"}, {"", ""},
                              {"<script>alert(1)</script>&", "&lt;script&gt;alert(1)&lt;/script&gt;&amp;"},
                              {"<BR <img src=x>", "&lt;BR &lt;img src=x&gt;"}, {"&lt;br&gt;", "&amp;lt;br&amp;gt;"}})
    EXPECT_EQ(storedTextHtml(stored), html) << stored;
}
