// Group commit: every write of this process to one database file goes
// through that file's WriteQueue (internal to the data layer).
//
//   std::shared_ptr<WriteQueue> queue = WriteQueue::of(fileId);
//   std::int64_t key = queue->run(myStatements, [&](Statements& w) {
//     ... insert on w ...;
//     return sqlite3_last_insert_rowid(w.db());
//   });                                   // committed and on disk here
//
// The first writer to find no commit in progress leads: it takes every write
// queued so far, runs them in one transaction on its own connection (each in
// its own savepoint, so one failing write fails alone) and commits once; the
// others wait until the commit that holds their write is done. One fsync then
// serves as many writes as arrived during the previous one, and writers of
// this process never wait on each other's locks.
//
// The queue also keeps the file's generation, the number behind changeStamp
// (change_stamp.h): moved on by every commit of the queue before its writers
// return, and by any commit to the file that its observer sees.
// Threads: any; a queue is shared by every thread of the process that opens the file.
// Errors: a write's own exception reaches its own caller; a failed commit reaches every write of its batch.
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
  // One write; runs on the leader's connection inside the batch's transaction.
  // Returns what the caller of run() gets.
  using Work = std::function<std::int64_t(Statements&)>;

  // The queue of the file `id`, shared while anyone holds it.
  static std::shared_ptr<WriteQueue> of(FileId id);

  WriteQueue() = default;
  WriteQueue(const WriteQueue&) = delete;
  WriteQueue& operator=(const WriteQueue&) = delete;
  ~WriteQueue();

  // Runs `work` in the next commit, led by this thread on `self` when no
  // commit is in progress. Returns work's result once the commit is on disk.
  std::int64_t run(Statements& self, Work work);

  // The file's present generation.
  std::uint64_t generation() const { return generation_.load(std::memory_order_acquire); }
  // The generation, moved on first when the file's observer sees a commit
  // since it last looked. The observer is one connection of its own that
  // never writes, so its data_version moves for every commit to the file, by
  // any connection of this process or another program, and one commit moves
  // the generation once, whichever thread looks first. Throws data::Error
  // when the file is locked at that moment (the observer never waits).
  std::uint64_t observe(const std::string& path);

 private:
  struct Job {
    Work work;
    std::int64_t result = 0;
    std::exception_ptr error;
    bool done = false;
  };

  // Generations are drawn from one counter, so no value is ever handed out twice in this process.
  static std::uint64_t freshGeneration();
  void bump();
  void openObserver(const std::string& path);
  // Runs one batch of writes in one transaction; every job gets its result or its error.
  static void commitBatch(Statements& db, const std::vector<Job*>& batch) noexcept;

  std::atomic<std::uint64_t> generation_{freshGeneration()};
  std::mutex observeMutex_;
  sqlite3* observer_ = nullptr;
  sqlite3_stmt* version_ = nullptr;
  std::optional<std::int64_t> seen_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Job*> pending_;
  bool leading_ = false;
};

}  // namespace tovi::data::internal
