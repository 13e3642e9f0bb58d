// The page worker pool: a page that blocks does not hold up the next one, and
// stopping runs what was queued.
#include <gtest/gtest.h>

#include <atomic>
#include <future>

#include "host/worker_pool.h"

using tovi::host::WorkerPool;

namespace {

TEST(WorkerPool, ABlockedJobDoesNotStallTheNext) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::promise<void> secondRan;
  WorkerPool<int> pool(2, [&](int& job) {
    if (job == 1) released.wait();
    else secondRan.set_value();
  });
  pool.push(1);
  pool.push(2);
  // Without a second worker taking job 2 this would never return.
  secondRan.get_future().wait();
  release.set_value();
  pool.stop();
}

TEST(WorkerPool, StopRunsEverythingQueuedOnItsWorkers) {
  std::atomic<int> done{0};
  std::atomic<bool> otherThread{true};
  auto caller = std::this_thread::get_id();
  WorkerPool<int> pool(3, [&](int& n) {
    if (std::this_thread::get_id() == caller) otherThread = false;
    done += n;
  });
  for (int i = 1; i <= 1000; ++i) pool.push(i);
  pool.stop();
  EXPECT_EQ(done.load(), 500500);
  EXPECT_TRUE(otherThread.load());
}

}  // namespace
