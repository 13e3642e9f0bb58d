// Group commit: every write of this process to one database file goes
// through that file's WriteQueue (internal to the data layer).
//
//   std::shared_ptr<WriteQueue> queue = WriteQueue::of(fileId, path);
//   std::int64_t key = queue->run([&](Statements& w) {
//     ... insert on w ...;
//     return sqlite3_last_insert_rowid(w.db());
//   });                                   // committed and on disk here
//
// The first writer to find no commit in progress leads: it takes every write
// queued so far, runs them in one transaction (each in its own savepoint, so
// one failing write fails alone) and commits once; the others wait until the
// commit that holds their write is done. One fsync then serves as many writes
// as arrived during the previous one, and writers of this process never wait
// on each other's locks. The leader writes on the queue's own connection,
// which only writers use one at a time: the pages a write touches stay in its
// cache from one commit to the next (a connection that sees another's commit
// reads its pages again). Once the log holds kCheckpointFrames pages, the
// leader copies it into the file (a checkpoint) after its writers are
// released and before the next commit, which can then start the log afresh.
//
// The queue also keeps the file's generation, the number behind changeStamp
// (change_stamp.h): moved on by every commit of the queue before its writers
// return, and by any commit to the file that its observer sees.
// Threads: any; a queue is shared by every thread of the process that opens the file.
// Errors: a write's own exception reaches its own caller; a failed commit (or
// a writer connection that cannot be opened) reaches every write of its batch.
#pragma once

#include <sqlite3.h>
#include <sys/types.h>

#include <atomic>
#include <compare>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "data/sqlite_statements.h"

namespace tovi::data::internal {

// A file as the system knows it, whatever path it was opened by.
struct FileId {
  dev_t dev = 0;
  ino_t ino = 0;
  friend auto operator<=>(const FileId&, const FileId&) = default;
};

class WriteQueue {
 public:
  // One write; runs on the writer connection inside the batch's transaction.
  // Returns what the caller of run() gets.
  using Work = std::function<std::int64_t(Statements&)>;

  // The queue of the file `id` (at `path`), shared while anyone holds it.
  static std::shared_ptr<WriteQueue> of(FileId id, const std::string& path);

  explicit WriteQueue(std::string path) : path_(std::move(path)) {}
  WriteQueue(const WriteQueue&) = delete;
  WriteQueue& operator=(const WriteQueue&) = delete;
  ~WriteQueue();

  // Runs `work` in the next commit, led by this thread when no commit is in
  // progress. Returns work's result once the commit is on disk.
  std::int64_t run(Work work);

  // Log pages after which a commit's leader checkpoints (SQLite's own default).
  static constexpr int kCheckpointFrames = 1000;

  // The file's present generation.
  std::uint64_t generation() const { return generation_.load(std::memory_order_acquire); }
  // The generation, moved on first when the file's observer sees a commit
  // since it last looked. The observer is one connection of its own that
  // never writes, so its data_version moves for every commit to the file, by
  // any connection of this process or another program, and one commit moves
  // the generation once, whichever thread looks first. Throws data::Error
  // when the file is locked at that moment (the observer never waits).
  std::uint64_t observe();

 private:
  // A write on its way; shared by its writer and the leader that commits it,
  // which may still be waking it when the writer has seen it done and left.
  // (A mutex and condition of its own rather than an atomic wait, which in
  // libstdc++ spins on sched_yield before it sleeps: CPU the other writers need.)
  struct Job {
    enum State { kQueued, kDone, kLead };  // kLead: the commit before hands it the lead
    Work work;
    std::int64_t result = 0;
    std::exception_ptr error;
    std::mutex mutex;
    std::condition_variable woken;
    State state = kQueued;

    void set(State s) {
      {
        std::lock_guard lock(mutex);
        state = s;
      }
      woken.notify_one();
    }
    State await() {
      std::unique_lock lock(mutex);
      woken.wait(lock, [this] { return state != kQueued; });
      return state;
    }
  };

  // Generations are drawn from one counter, so no value is ever handed out twice in this process.
  static std::uint64_t freshGeneration();
  void bump();
  void openObserver();
  // Runs one batch of writes in one transaction; every job gets its result or its error.
  void commitBatch(const std::vector<std::shared_ptr<Job>>& batch) noexcept;

  const std::string path_;
  std::unique_ptr<Statements> writer_;  // opened by the first leader; used by the leader only
  int logFrames_ = 0;                   // in the log after the writer's last commit
  std::atomic<std::uint64_t> generation_{freshGeneration()};
  std::mutex observeMutex_;
  sqlite3* observer_ = nullptr;
  sqlite3_stmt* version_ = nullptr;
  std::optional<std::int64_t> seen_;
  std::mutex mutex_;
  std::vector<std::shared_ptr<Job>> pending_;
  bool leading_ = false;
};

}  // namespace tovi::data::internal
