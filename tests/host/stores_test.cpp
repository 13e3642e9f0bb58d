// What the host keeps across requests, where HTTP cannot reach: sessions that
// expire, many threads at once, and the worker pool's stop.
#include <thread>

#include "host/sessions.h"
#include "host/worker_pool.h"
#include "support/testing.h"

using data::Value;
using host::SessionStore;

TEST(Sessions, IdleSessionsExpireAndAreSwept) {
  SessionStore expired(std::chrono::nanoseconds(-1));  // every session is past its time at once
  std::string id = expired.create()->id();
  expired.create();
  // Braces: read left to right.
  EXPECT_EQ((std::tuple{expired.size(), expired.find(id), expired.sweep(), expired.size()}),
            (std::tuple{2u, nullptr, 1u, 0u}));
}

// Ids never repeat: a repeated one would take another's place and lower the
// count; nor does a sweep take a live session. A renewal keeps the values under
// a new id, and the old one finds nothing.
TEST(Sessions, SafeUnderManyThreadsAndRenewedUnderANewId) {
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
  const std::string old = shared->id();
  store.renew(*shared);
  EXPECT_EQ(std::tuple(store.find(old), store.find(shared->id()), shared->get("k0")),
            std::tuple(nullptr, shared, Value(499)));
}

TEST(WorkerPool, StopRunsEverythingQueuedOnItsWorkers) {
  std::atomic<int> done{0}, onCaller{0};
  host::WorkerPool<int> pool(3, [&, caller = std::this_thread::get_id()](int& n) {
    done += n, onCaller += std::this_thread::get_id() == caller;
  });
  for (int i = 1; i <= 1000; ++i) pool.push(i);
  pool.stop();
  EXPECT_EQ(std::pair(done.load(), onCaller.load()), std::pair(500500, 0));
}
