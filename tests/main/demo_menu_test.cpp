// The demo menu `tovi init --demo` stores: both home-page groups and all three
// categories filled, once, with pictures the web root holds.
#include <filesystem>
#include <map>
#include <regex>
#include <set>

#include "data/recordset.h"
#include "main/demo_menu.h"
#include "support/site_rows.h"
#include "support/testing.h"

TEST(DemoMenu, FillsBothHomeGroupsAndAllCategoriesOnce) {
  FakeSite site;
  EXPECT_EQ(site::seedDemoMenu(site.databasePath()), 32);
  EXPECT_EQ(site::seedDemoMenu(site.databasePath()), 0);  // a database with dishes is left alone

  data::Recordset rs;
  rs.Open("select * from cygl", site.db(), data::adOpenKeyset, data::adLockReadOnly);
  std::map<std::string, int> groups;
  std::map<long long, int> categories;
  std::map<std::string, std::set<std::string>> distinct;  // each dish its own
  for (; !rs.Eof(); rs.MoveNext()) {
    ++groups[rs("lei").text()];
    ++categories[rs("lei2").value().toInteger()];
    for (const char* field : {"name", "pic", "dates"}) distinct[field].insert(rs(field).text());
    EXPECT_TRUE(std::regex_match(rs("jiage").text(), std::regex("[0-9]+(\\.[0-9]+)?"))) << rs("jiage").text();
    EXPECT_NE(rs("content").text().find('<'), std::string::npos) << rs("name").text();
    EXPECT_TRUE(std::filesystem::exists(std::string(TOVI_SOURCE_DIR) + "/site/" + rs("pic").text())) << rs("pic").text();
  }
  EXPECT_EQ(groups, (std::map<std::string, int>{{"新品推荐", 8}, {"招牌老菜", 24}}));
  EXPECT_EQ(categories.size(), 3u);
  for (auto [lei2, n] : categories) EXPECT_GE(n, 9) << "category " << lei2;
  for (const auto& [field, values] : distinct) EXPECT_EQ(values.size(), 32u) << field;
}
