// A fixed pool of threads that run the pages. The I/O threads only hand jobs
// over (push never blocks on a page); each worker runs one job at a time, so a
// page's start, render and end happen on one thread with its own Module1 context.
//
//   WorkerPool<Job> pool(4, [](Job& j) { ... });
//   pool.push(std::move(job));
//   pool.stop();                       // runs what is queued, then joins
//
// Waking a thread costs more than a fast page, so a push wakes a worker only
// when none is awake but those waiting for the disk (see waiting()); an awake
// one takes the queue in turn. A watcher brings in more workers when a job has
// waited longer than kHelpAfter (the awake workers are held up by slow
// pages), so a slow page never stalls the rest.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace tovi::host {

template <class Job>
class WorkerPool {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::microseconds kHelpAfter{5000};

  WorkerPool(unsigned threads, std::function<void(Job&)> work) : work_(std::move(work)), size_(threads ? threads : 1) {
    for (unsigned i = 0; i < size_; ++i) threads_.emplace_back([this] { loop(); });
    watcher_ = std::thread([this] { watch(); });
  }
  ~WorkerPool() { stop(); }
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  void push(Job job) {
    if (pushDeferred(std::move(job))) wakeOne();
  }

  // Queues a job without waking anyone. When it returns true no worker is
  // awake for it and the caller must call wakeOne() soon: an I/O loop queues a
  // whole burst of requests first and then wakes once, instead of waking a
  // worker that drains the queue faster than it fills and sleeps again.
  [[nodiscard]] bool pushDeferred(Job job) {
    std::lock_guard lock(mutex_);
    queue_.emplace_back(std::move(job), Clock::now());
    queued_.store(queue_.size());
    return callOne();
  }
  void wakeOne() { ready_.notify_one(); }

  // Called by a worker with true when it is about to wait on something other
  // than the CPU (its write reaching the disk), and with false when that wait
  // is over. While every awake worker waits so, a queued job gets a worker of
  // its own: the next requests run while a commit is on its way, and orders
  // arriving together share the next commit instead of taking one each.
  void waiting(bool waits) {
    if (!waits) {
      blocked_.fetch_sub(1);
      return;
    }
    blocked_.fetch_add(1);
    if (queued_.load() == 0) return;  // the common case, without the lock (a push then sees blocked_)
    std::lock_guard lock(mutex_);
    if (callOne()) ready_.notify_one();
  }

  // Lets the workers finish the queue, then joins them.
  void stop() {
    {
      std::lock_guard lock(mutex_);
      if (stopping_ && threads_.empty()) return;
      stopping_ = true;
    }
    ready_.notify_all();
    watcherWake_.notify_all();
    for (std::thread& t : threads_)
      if (t.joinable()) t.join();
    if (watcher_.joinable()) watcher_.join();
    std::lock_guard lock(mutex_);
    threads_.clear();
  }

 private:
  void loop() {
    std::unique_lock lock(mutex_);
    while (true) {
      if (queue_.empty()) {
        if (stopping_) return;
        --awake_;
        ready_.wait(lock, [this] { return tickets_ > 0 || stopping_; });
        if (tickets_ > 0) --tickets_;
        ++awake_;
        continue;
      }
      Job job = std::move(queue_.front().first);
      queue_.pop_front();
      queued_.store(queue_.size());
      ++busy_;
      lock.unlock();
      work_(job);
      lock.lock();
      --busy_;
    }
  }

  // Whether a worker is called for the queue: when no awake worker, other
  // than those waiting for the disk, takes it in turn, nor one already called.
  bool callOne() {
    const long available = static_cast<long>(awake_) - blocked_.load() + tickets_;
    if (queue_.empty() || available > 0 || awake_ + tickets_ >= size_) return false;
    ++tickets_;
    return true;
  }

  // Looks at the queue every kHelpAfter; the pushes never wake it (that would
  // cost a context switch per burst of requests).
  void watch() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
      watcherWake_.wait_for(lock, kHelpAfter);
      if (!queue_.empty() && awake_ + tickets_ < size_ && Clock::now() - queue_.front().second >= kHelpAfter) {
        ++tickets_;
        ready_.notify_one();
      }
    }
  }

  std::function<void(Job&)> work_;
  unsigned size_;
  std::mutex mutex_;
  std::condition_variable ready_, watcherWake_;
  std::deque<std::pair<Job, Clock::time_point>> queue_;
  std::atomic<std::size_t> queued_{0};  // queue_.size(), read by waiting() without the lock
  std::atomic<long> blocked_{0};        // workers waiting for the disk (see waiting())
  unsigned awake_ = size_;  // workers not waiting for a job
  unsigned tickets_ = 0;    // wake-ups sent and not yet taken
  unsigned busy_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
  std::thread watcher_;
};

}  // namespace tovi::host
