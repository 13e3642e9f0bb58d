// The session store: ids, keys in any case, renewal, expiry and many threads.
#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "host/sessions.h"

using tovi::data::Value;
using tovi::host::SessionStore;

namespace {

TEST(Sessions, IdsAreLongRandomAndFindOnlyLiveOnes) {
  SessionStore store(std::chrono::minutes(20));
  std::set<std::string> ids;
  for (int i = 0; i < 200; ++i) ids.insert(store.create()->id());
  EXPECT_EQ(ids.size(), 200u);
  std::string id = *ids.begin();
  EXPECT_EQ(id.size(), 64u);
  EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_NE(store.find(id), nullptr);
  for (std::string bad : {std::string(), std::string("x"), std::string(64, '0'), id.substr(1), id + "0"})
    EXPECT_EQ(store.find(bad), nullptr) << bad;
}

TEST(Sessions, KeysInAnyCaseKeptUnderARenewedIdUntilRemoved) {
  SessionStore store(std::chrono::minutes(20));
  auto s = store.create();
  s->set("admin", "boss");
  s->set("FLAG", 1);
  EXPECT_EQ(s->get("Admin"), Value("boss"));
  EXPECT_EQ(s->get("flag"), Value(1));
  EXPECT_TRUE(s->get("never").isEmpty());
  std::string old = s->id();
  store.renew(*s);
  EXPECT_NE(s->id(), old);
  EXPECT_EQ(store.find(old), nullptr);
  ASSERT_NE(store.find(s->id()), nullptr);
  EXPECT_EQ(store.find(s->id())->get("ADMIN"), Value("boss"));
  s->set("ADMIN", "");
  EXPECT_EQ(store.find(s->id())->get("admin"), Value(""));
  store.remove(s->id());
  EXPECT_EQ(store.find(s->id()), nullptr);
  EXPECT_EQ(store.size(), 0u);
}

TEST(Sessions, IdleSessionsExpireAndAreSwept) {
  SessionStore expired(std::chrono::nanoseconds(-1));  // every session is past its time at once
  std::string id = expired.create()->id();
  expired.create();
  EXPECT_EQ(expired.size(), 2u);
  EXPECT_EQ(expired.find(id), nullptr);
  EXPECT_EQ(expired.sweep(), 1u);
  EXPECT_EQ(expired.size(), 0u);
  SessionStore live(std::chrono::minutes(20));
  live.create();
  EXPECT_EQ(live.sweep(), 0u);
  EXPECT_EQ(live.size(), 1u);
}

TEST(Sessions, SafeUnderManyThreads) {
  SessionStore store(std::chrono::minutes(20));
  auto shared = store.create();
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 500; ++i) {
        auto mine = store.create();
        mine->set("n", i);
        shared->set("k" + std::to_string(t), i);
        (void)store.find(shared->id());
        if (i % 50 == 0) store.sweep();
        if (i % 2) store.remove(mine->id());
      }
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(store.size(), 1u + 8 * 250);
  for (int t = 0; t < 8; ++t) EXPECT_EQ(shared->get("K" + std::to_string(t)), Value(499));
}

}  // namespace
