// A fixed pool of threads that run the pages. The I/O threads only hand jobs
// over (push never blocks on a page); each worker runs one job at a time, so a
// page's start, render and end happen on one thread with its own Module1 context.
//
//   WorkerPool<Job> pool(4, [](Job& j) { ... });
//   pool.push(std::move(job));
//   pool.stop();                       // runs what is queued, then joins
//
// Waking a thread costs more than a fast page, so a push wakes a worker only
// when none is awake; the awake one takes the queue in turn. A watcher brings
// in more workers when a job has waited longer than kHelpAfter (the awake
// workers are held up by slow pages), so a slow page never stalls the rest.
#pragma once

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
    // A worker already awake, or one already called, takes this job in turn.
    bool wake = awake_ + tickets_ == 0;
    if (wake) ++tickets_;
    return wake;
  }
  void wakeOne() { ready_.notify_one(); }

  // Called by a worker about to wait on something other than the CPU (its
  // write reaching the disk): when jobs are queued and every awake worker is
  // busy, another is woken to take them meanwhile, so that writes arriving
  // together wait for one commit instead of one each.
  void lend() {
    std::lock_guard lock(mutex_);
    if (queue_.empty() || tickets_ > 0 || busy_ < awake_ || awake_ >= size_) return;
    ++tickets_;
    ready_.notify_one();
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
      ++busy_;
      lock.unlock();
      work_(job);
      lock.lock();
      --busy_;
    }
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
  unsigned awake_ = size_;  // workers not waiting for a job
  unsigned tickets_ = 0;    // wake-ups sent and not yet taken
  unsigned busy_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
  std::thread watcher_;
};

}  // namespace tovi::host
