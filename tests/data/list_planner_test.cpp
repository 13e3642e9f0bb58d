// The deep-paging planner's rules: the key statements it builds, and which plans let
// a list be read backwards. (Its windows against plain SQLite on a real file: order_list_test.)
#include "data/list_planner.h"

#include "support/testing.h"

using namespace data::internal;

TEST(ListPlanner, KeyStatementsForwardAndBackward) {
  const std::pair<const char*, const char*> orders[] = {
      {R"("yhm" desc, "fromdate")", R"("yhm" asc, "fromdate" desc)"},
      {R"("a" ASC , "desc")", R"("a" desc, "desc" desc)"},
      {R"(coalesce("a", 'x, y') desc, "b")", R"(coalesce("a", 'x, y') asc, "b" desc)"},  // commas inside
      {R"("a" desc nulls first)", ""}};  // turned, the nulls would not move
  for (auto [order, reversed] : orders) EXPECT_EQ(reversedOrder(order), reversed) << order;
  const std::tuple<const char*, bool, const char*> lists[] = {
      {"select * from tdgl", true, R"(select "tdgl".rowid from "tdgl" order by rowid desc)"},
      {"select * from tdgl where dczt=2 order by fromdate desc", true,
       R"(select "tdgl".rowid from "tdgl" where "dczt" = 2 order by "fromdate" asc)"}};
  for (auto [sql, reverse, keys] : lists) EXPECT_EQ(keysText(*data::jet::translate(sql), reverse), keys) << sql;
}

TEST(ListPlanner, OnlyOneSortlessWalkOfAnIndexIsAWalk) {
  using Plan = std::vector<std::string>;
  const Plan walk{"SCAN tdgl USING INDEX tdgl_fromdate"}, sorted{"SCAN tdgl", "USE TEMP B-TREE FOR ORDER BY"};
  const std::pair<Plan, const char*> cases[] = {
      {walk, "tdgl_fromdate"}, {{"SEARCH tdgl USING COVERING INDEX tdgl_dczt (dczt=?)"}, "tdgl_dczt"},
      {{walk[0], sorted[1]}, ""}, {{"SCAN tdgl"}, ""}};
  for (const auto& [plan, index] : cases) EXPECT_EQ(walkedIndex(plan), index) << plan.back();
  EXPECT_TRUE(sameSingleWalk(walk, walk));
  EXPECT_FALSE(sameSingleWalk(walk, {"SCAN tdgl USING INDEX tdgl_dczt"}));
  EXPECT_FALSE(sameSingleWalk(sorted, sorted));
}
