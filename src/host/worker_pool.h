// A fixed pool of threads that run the pages. The I/O threads only hand jobs
// over (push never blocks on a page); each worker runs one job at a time, so a
// page's start, render and end happen on one thread with its own Module1 context.
//
//   WorkerPool<Job> pool(4, [](Job& j) { ... });
//   pool.push(std::move(job));
//   pool.stop();                       // runs what is queued, then joins
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tovi::host {

template <class Job>
class WorkerPool {
 public:
  WorkerPool(unsigned threads, std::function<void(Job&)> work) : work_(std::move(work)) {
    for (unsigned i = 0; i < threads; ++i) threads_.emplace_back([this] { loop(); });
  }
  ~WorkerPool() { stop(); }
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  void push(Job job) {
    bool wake;
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(std::move(job));
      pending_.store(queue_.size(), std::memory_order_release);
      wake = idle_ > 0;
    }
    // A busy pool looks at the queue before it sleeps: no wake-up needed then.
    if (wake) ready_.notify_one();
  }

  // Lets the workers finish the queue, then joins them.
  void stop() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    ready_.notify_all();
    for (std::thread& t : threads_)
      if (t.joinable()) t.join();
  }

 private:
  void loop() {
    std::unique_lock lock(mutex_);
    while (true) {
      if (queue_.empty()) {
        if (stopping_) return;
        // Under load the next request is microseconds away: looking for it a
        // little while saves the sleep and the wake-up (two context switches).
        lock.unlock();
        bool arrived = false;
        for (auto until = std::chrono::steady_clock::now() + kSpin; std::chrono::steady_clock::now() < until;) {
          if (pending_.load(std::memory_order_acquire) > 0) {
            arrived = true;
            break;
          }
          std::this_thread::yield();
        }
        lock.lock();
        if (arrived || !queue_.empty() || stopping_) continue;
        ++idle_;
        ready_.wait(lock);
        --idle_;
        continue;
      }
      Job job = std::move(queue_.front());
      queue_.pop_front();
      pending_.store(queue_.size(), std::memory_order_release);
      lock.unlock();
      work_(job);
      lock.lock();
    }
  }

  static constexpr std::chrono::microseconds kSpin{50};
  std::function<void(Job&)> work_;
  std::atomic<std::size_t> pending_{0};
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Job> queue_;
  unsigned idle_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace tovi::host
