// What the host keeps across requests, where HTTP cannot reach: sessions that expire or are renewed, and the worker
// pool's stop, its workers sharing the sessions.
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

// A renewal keeps the values, in any letter case, under a new id; the old one finds nothing.
TEST(Sessions, ARenewalKeepsTheValuesUnderANewId) {
  SessionStore store(std::chrono::minutes(20));
  auto session = store.create();
  session->set("k", 1);
  const std::string old = session->id();
  store.renew(*session);
  EXPECT_EQ(std::tuple(store.find(old), store.find(session->id()), session->get("K")),
            std::tuple(nullptr, session, Value(1)));
}

// The workers share the session store as pages do: each odd item makes a session and forgets it, each even one keeps
// one (a repeated id would take another's place and lower the count).
TEST(WorkerPool, StopRunsEverythingQueuedOnItsWorkersSharingTheSessions) {
  std::atomic<int> done{0}, onCaller{0};
  SessionStore store(std::chrono::minutes(20));
  host::WorkerPool<int> pool(3, [&, caller = std::this_thread::get_id()](int& n) {
    done += n, onCaller += std::this_thread::get_id() == caller;
    n % 2 ? store.remove(store.create()->id()) : store.create()->set("n", n);
  });
  for (int i = 1; i <= 1000; ++i) pool.push(i);
  pool.stop();
  EXPECT_EQ(std::tuple(done.load(), onCaller.load(), store.size()), std::tuple(500500, 0, 500u));
}
