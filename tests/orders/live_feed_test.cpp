// The kitchen's live feed on a real database file: events of new orders and status moves, what a reconnecting screen
// missed, who is admitted. (The HTTP side: tests/host/event_streams_test.cpp; what screens show: the browser's walk.)
#include "orders/live_feed.h"

#include "data/change_stamp.h"
#include "support/site_rows.h"
#include "support/testing.h"

using Verdict = frame::Admission::Verdict;

class LiveFeed : public ::testing::Test {
 protected:
  // Each event as "name id" or, without an id, "name data".
  static std::vector<std::string> shown(const std::vector<frame::Event>& events) {
    std::vector<std::string> out;
    for (const frame::Event& e : events) out.push_back(e.name + " " + (e.id ? std::to_string(e.id) : e.data));
    return out;
  }
  static std::vector<std::string> orders(const std::vector<long long>& ids) {
    std::vector<std::string> out;
    for (long long id : ids) out.push_back("order " + std::to_string(id));
    return out;
  }
  FakeSite site;
  orders::LiveFeed feed{site.databasePath(), [path = site.databasePath()] { return data::changeStamp(path); }};
};

// New orders and status moves become events, the first look only reading the board. A reconnecting screen gets what
// polls handed out after its last id, once each, never what a later poll will hand out.
TEST_F(LiveFeed, NewOrdersAndStatusMovesBecomeEventsWhatAReconnectingScreenMissedComesOnce) {
  EXPECT_TRUE(feed.poll().events.empty());
  const long long a = addOrder(site, {}), b = addOrder(site, {}), c = addOrder(site, {});
  std::vector<frame::Event> events = feed.poll().events;
  ASSERT_EQ(shown(events), orders({a, b, c}));
  EXPECT_THAT(events[0].data, StartsWith("{\"id\":" + std::to_string(a) + ",\"status\":1,"));  // shown: browser walk
  const long long later = addOrder(site, {});
  for (const auto& [after, missed] :
       std::vector<std::pair<long long, std::vector<long long>>>{{a, {b, c}}, {b, {c}}, {c, {}}, {later, {}}, {0, {}}})
    EXPECT_EQ(shown(feed.since(after)), orders(missed)) << after;
  EXPECT_EQ(shown(feed.poll().events), orders({later}));
  const std::string n = std::to_string(later);
  for (auto [change, status] : {std::pair{"update tdgl set dczt=3", "3"}, {"delete from tdgl", "0"}}) {
    site.db().Execute(change + std::string(" where id=") + n);
    EXPECT_THAT(shown(feed.poll().events), ElementsAre("status {\"id\":" + n + ",\"status\":" + status + "}"));
  }
  // Resting while no screen is open: the next poll only looks; what was missed comes by since().
  feed.rest();
  const long long resting = addOrder(site, {});
  EXPECT_TRUE(feed.poll().events.empty());
  EXPECT_EQ(shown(feed.since(later)), orders({resting}));
}

// A named login whose right, as wq_admin holds it at the last change, opens the back office (rules: the guard table).
TEST_F(LiveFeed, AdmitsTheBackOfficeAsItsAccountsStandNow) {
  for (const auto& [name, flag] : {std::pair{"clerk", 2}, {"cook", 3}}) addAccount(site, name, flag);
  struct Visitor final : frame::StreamVisitor {
    Visitor(data::Value admin, data::Value flag) : admin(admin), flag(flag) {}
    data::Value session(std::string_view key) const override { return key == "admin" ? admin : flag; }
    std::string query(std::string_view) const override { return ""; }
    std::string cookie(std::string_view) const override { return ""; }
    data::Value admin, flag;
  };
  (void)feed.poll();
  for (const auto& [admin, flag, verdict] : std::initializer_list<std::tuple<data::Value, data::Value, Verdict>>{
           {{}, {}, Verdict::NotLoggedIn}, {"", 1, Verdict::NotLoggedIn}, {"clerk", 2, Verdict::Admitted},
           {"cook", 2, Verdict::Forbidden}, {"ghost", 1, Verdict::Forbidden}}) {
    frame::Admission a = feed.admit(Visitor(admin, flag));
    EXPECT_EQ(a.verdict, verdict) << admin.text() << " " << flag.text();
    EXPECT_EQ(a.holder, verdict == Verdict::Admitted ? admin.text() : "");
  }
  site.db().Execute("update wq_admin set flag=3 where admin='clerk'");
  EXPECT_TRUE(feed.poll().changed);
  EXPECT_EQ(feed.admit(Visitor("clerk", 2)).verdict, Verdict::Forbidden);
}
