// The stream an order's own page follows, on a real database file: who may follow an order, and which status moves
// reach which stream. (The page and its status answer: the order pages' HTTP test; a move seen live: the phone walk.)
#include "orders/order_follow.h"

#include "orders/order_page.h"
#include "support/site_rows.h"
#include "support/testing.h"

namespace {
struct Visitor final : frame::StreamVisitor {
  Visitor(std::string id, std::string tokens, std::string member) : id(id), tokens(tokens), member(member) {}
  data::Value session(std::string_view key) const override { return key == "names" ? member : ""; }
  std::string query(std::string_view name) const override { return name == "id" ? id : ""; }
  std::string cookie(std::string_view name) const override { return name == orders::kOrderTokenCookie ? tokens : ""; }
  std::string id, tokens, member;
};
}  // namespace

// The browser holding the order's token, or the member of its name; a move is read only once the change stamp moves,
// and only for the orders streams follow; a deleted order's stream hears of it and is refused from then on.
TEST(OrderFollow, AdmitsTheOrdersBrowserOrMemberAndTellsEachChannelItsOrdersMoves) {
  FakeSite site;
  std::uint64_t stamp = 1;
  orders::OrderFollow source(site.databasePath(), [&stamp] { return stamp; });
  const long long a = addOrder(site, {}), b = addOrder(site, {.yhm = "李四"});
  const std::string ia = std::to_string(a), ib = std::to_string(b);
  const std::string token = orders::orderToken(orders::siteOrderKey(site.db()), a);
  EXPECT_TRUE(source.poll().events.empty());
  for (const auto& [visitor, admitted] :
       std::initializer_list<std::pair<Visitor, bool>>{{{ia, token, ""}, true},
                                                       {{ia, "x~" + token, ""}, true},
                                                       {{ia, "", "张三"}, true},
                                                       {{ib, "", "李四"}, true},
                                                       {{ia, "", ""}, false},
                                                       {{ia, "", "李四"}, false},
                                                       {{ib, token, ""}, false},
                                                       {{ia + ".0", token, ""}, false},
                                                       {{"", token, "张三"}, false},
                                                       {{std::to_string(b + 1), token, "张三"}, false}}) {
    frame::Admission got = source.admit(visitor);
    EXPECT_EQ(got.verdict, admitted ? frame::Admission::Verdict::Admitted : frame::Admission::Verdict::Forbidden)
        << visitor.id << " " << visitor.member;
    EXPECT_EQ(got.channel, admitted ? visitor.id : "") << visitor.id;
  }
  auto moves = [&source](bool changed = false) {
    frame::Update update = source.poll();
    EXPECT_EQ(update.changed, changed);
    std::vector<std::string> out;
    for (const frame::Event& e : update.events) out.push_back(e.name + " " + e.channel + " " + e.data);
    return out;
  };
  source.follow({ia, ib});
  site.db().Execute("update tdgl set dczt=3");
  EXPECT_THAT(moves(), IsEmpty());
  ++stamp;
  EXPECT_THAT(moves(), ElementsAre("status " + ia + " " + orders::statusJson(a, 3),
                                   "status " + ib + " " + orders::statusJson(b, 3)));
  EXPECT_EQ(orders::statusJson(b, 3), "{\"id\":" + ib + ",\"status\":3,\"label\":\"\\u6d3e\\u9001\\u5f53\\u4e2d\"}");
  source.follow({ia});
  site.db().Execute("update tdgl set dczt=2 where id=" + ib);
  site.db().Execute("delete from tdgl where id=" + ia);
  ++stamp;
  EXPECT_THAT(moves(true), ElementsAre("status " + ia + " " + orders::statusJson(a, 0)));
  EXPECT_EQ(source.admit(Visitor(ia, token, "")).verdict, frame::Admission::Verdict::Forbidden);
}
