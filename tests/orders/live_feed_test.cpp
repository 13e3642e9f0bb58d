// The kitchen's live feed on a real database file: the events of new orders and status moves, what a reconnecting
// screen missed, who is admitted. (The streams' HTTP side: tests/host/event_streams_test.cpp; the screens that show
// what the events carry: tests/browser/back_office.test.mjs.)
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

TEST_F(LiveFeed, NewOrdersAndStatusMovesBecomeEvents) {
  EXPECT_TRUE(feed.poll().events.empty());  // the first look only reads the board
  const std::string n = std::to_string(addOrder(site, {}));
  std::vector<frame::Event> events = feed.poll().events;
  EXPECT_THAT(shown(events), ElementsAre("order " + n));
  EXPECT_THAT(events.at(0).data, StartsWith("{\"id\":" + n + ",\"status\":1,"));  // what it shows: the browser's walk
  for (auto [change, status] : {std::pair{"update tdgl set dczt=3", "3"}, {"delete from tdgl", "0"}}) {
    site.db().Execute(change + std::string(" where id=") + n);
    EXPECT_THAT(shown(feed.poll().events), ElementsAre("status {\"id\":" + n + ",\"status\":" + status + "}"));
  }
}

// Once each: what polls handed out after the screen's last id, never what a later poll will hand out.
TEST_F(LiveFeed, AReconnectingScreenGetsWhatItMissedOnce) {
  (void)feed.poll();
  const long long a = addOrder(site, {}), b = addOrder(site, {}), c = addOrder(site, {});
  ASSERT_EQ(shown(feed.poll().events), orders({a, b, c}));
  const long long later = addOrder(site, {});
  for (const auto& [after, missed] :
       std::vector<std::pair<long long, std::vector<long long>>>{{a, {b, c}}, {b, {c}}, {c, {}}, {later, {}}, {0, {}}})
    EXPECT_EQ(shown(feed.since(after)), orders(missed)) << after;
  EXPECT_EQ(shown(feed.poll().events), orders({later}));
  // Resting while no screen is open: the next poll only looks; what was missed comes by since().
  feed.rest();
  const long long resting = addOrder(site, {});
  EXPECT_TRUE(feed.poll().events.empty());
  EXPECT_EQ(shown(feed.since(later)), orders({resting}));
}

// A login with a name, holding a right that opens the back office as wq_admin holds it now, read again at each change.
// (How a granted and a held right combine: the frame's guard table.)
TEST_F(LiveFeed, AdmitsTheBackOfficeAsItsAccountsStandNow) {
  for (const auto& [name, flag] : {std::pair{"clerk", 2}, {"cook", 3}}) addAccount(site, name, flag);
  struct Visitor final : frame::StreamVisitor {
    Visitor(data::Value admin, data::Value flag) : admin(admin), flag(flag) {}
    data::Value session(std::string_view key) const override { return key == "admin" ? admin : flag; }
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
