// What the host keeps across requests, where HTTP cannot reach: sessions that expire or are renewed, in this process
// or shared by two servers through one database, and the worker pool's stop, its workers sharing the sessions.
#include <thread>

#include "host/sessions.h"
#include "host/worker_pool.h"
#include "support/shared_database.h"
#include "support/site_rows.h"
#include "support/testing.h"

using data::Value;
using host::InProcessSessionStore;
using host::SessionStore;

// Two servers' stores: one in this process (a single server is both), or two on one database (GetParam()): the
// site's file, or PostgreSQL under the label postgresql.
class Sessions : public SharedDatabase {
 protected:
  std::array<std::shared_ptr<SessionStore>, 2> nodes(std::chrono::nanoseconds timeout = std::chrono::minutes(20)) {
    if (!GetParam()) return {std::make_shared<InProcessSessionStore>(timeout), nullptr};
    return {std::make_shared<host::DatabaseSessionStore>(location(), timeout),
            std::make_shared<host::DatabaseSessionStore>(location(), timeout)};
  }
};
INSTANTIATE_TEST_SUITE_P(InProcessAndDatabase, Sessions, ::testing::Bool());

TEST_P(Sessions, IdleSessionsExpireAndAreSwept) {
  auto [expired, other] = nodes(std::chrono::nanoseconds(-1));  // every session is past its time at once
  auto one = expired->create(), two = expired->create();
  expired->save(*one), expired->save(*two);
  // Braces: read left to right.
  EXPECT_EQ((std::tuple{expired->size(), expired->find(one->id()), expired->sweep(), expired->size()}),
            (std::tuple{2u, nullptr, 1u, 0u}));
}

// Values keep their kind and text from one server to the other; a renewal keeps them under a new id (the old one
// finds nothing), a removal ends the session for both.
TEST_P(Sessions, ValuesRenewalAndRemovalSeenByTheOtherServer) {
  auto [a, b] = nodes();
  if (!b) b = a;
  const Value values[] = {Value(), Value::null(), 7, -9007199254740993LL, 0.1, -1e300, std::string("t\tb\n\\0\0x", 8),
                          "汉字", data::DateTime{2024, 2, 29, 23, 59, 58}, true, false, ""};
  auto s = a->create();
  for (std::size_t i = 0; i < std::size(values); ++i) s->set("Key" + std::to_string(i), values[i]);
  a->save(*s);
  auto seen = b->find(s->id());
  ASSERT_TRUE(seen);
  for (std::size_t i = 0; i < std::size(values); ++i) {
    Value v = seen->get("kEY" + std::to_string(i));
    EXPECT_EQ(std::tuple(v.kind(), v.text()), std::tuple(values[i].kind(), values[i].text())) << i;
  }
  const std::string old = seen->id();
  b->renew(*seen);
  seen->set("n", 2);
  b->save(*seen);
  auto renewed = a->find(seen->id());
  EXPECT_EQ(std::tuple(a->find(old), renewed ? renewed->get("N") : Value(), renewed ? renewed->get("key7") : Value()),
            std::tuple(nullptr, Value(2), Value("汉字")));
  a->remove(seen->id());
  EXPECT_EQ(std::tuple(b->find(seen->id()), b->find("short"), b->size()), std::tuple(nullptr, nullptr, 0u));
}

// The workers share the session store as pages do: each odd item makes a session and forgets it, each even one keeps
// one (a repeated id would take another's place and lower the count).
TEST(WorkerPool, StopRunsEverythingQueuedOnItsWorkersSharingTheSessions) {
  std::atomic<int> done{0}, onCaller{0};
  InProcessSessionStore store(std::chrono::minutes(20));
  host::WorkerPool<int> pool(3, [&, caller = std::this_thread::get_id()](int& n) {
    done += n, onCaller += std::this_thread::get_id() == caller;
    n % 2 ? store.remove(store.create()->id()) : store.create()->set("n", n);
  });
  for (int i = 1; i <= 1000; ++i) pool.push(i);
  pool.stop();
  EXPECT_EQ(std::tuple(done.load(), onCaller.load(), store.size()), std::tuple(500500, 0, 500u));
}
