// When a tally may count or place a list, and the trigrams a name search reads.
// (Their answers against plain SQLite on a real file: order_list_test.)
#include "data/helper_tables.h"

#include "support/testing.h"

using namespace data::internal;
namespace jet = data::jet;

// Conditions and orderings as the pages write them, translated.
TEST(HelperTables, ATallyServesConditionsOnItsGroupColumnsValuesAndItsDayOrder) {
  const std::pair<const char*, bool> cases[] = {
      {"dczt=?", true},    {"DCZT = 2", true}, {"dczt in (1,2,3,4)", true}, {"dczt=2.5", false},
      {"dczt='2'", false}, {"dczt>=2", false}, {"dczt2=2", false},          {"dczt is null", false},
      {"dczt=2 and yhm=?", false},             {"dczt in (1,2) or dczt is null", false}};
  for (auto [where, tallied] : cases)
    EXPECT_EQ(valueCondition(jet::translate(std::string("select * from tdgl where ") + where)->where, "dczt"), tallied)
        << where;
  const std::pair<const char*, std::optional<bool>> orders[] = {
      {"fromdate desc", true}, {"FromDate", false}, {"fromdate desc, id", {}}, {"yhm", {}}};
  for (auto [order, desc] : orders)
    EXPECT_EQ(orderedBy(jet::translate(std::string("select * from tdgl order by ") + order)->orderBy, "fromdate"), desc)
        << order;
}

TEST(HelperTables, TrigramsOfAPatternsRunsBetweenWildcards) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"%客户12%", {"客户1", "户12"}}, {"KeHu%", {"keh", "ehu"}},
      {"%É-k%", {"É-k"}},  // only ASCII letters fold, as `like` folds them
      {"abcabc", {"abc", "bca", "cab"}}, {"a_bcd%ef", {"bcd"}}, {"%ab%cd%", {}}, {std::string("abc\0def", 7), {}}};
  for (const auto& [pattern, grams] : cases) EXPECT_EQ(patternGrams(pattern), grams) << pattern;
}

