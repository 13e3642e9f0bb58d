#include "data/write_queue.h"

#include <map>

#include "data/connection.h"

namespace tovi::data::internal {

std::uint64_t WriteQueue::freshGeneration() {
  static std::atomic<std::uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

std::shared_ptr<WriteQueue> WriteQueue::of(FileId id) {
  static std::mutex mutex;
  static std::map<FileId, std::weak_ptr<WriteQueue>> queues;
  std::lock_guard lock(mutex);
  for (auto it = queues.begin(); it != queues.end();) it = it->second.expired() ? queues.erase(it) : std::next(it);
  auto& slot = queues[id];
  auto q = slot.lock();
  if (!q) {
    q = std::make_shared<WriteQueue>();
    slot = q;
  }
  return q;
}

WriteQueue::~WriteQueue() {
  sqlite3_finalize(version_);
  sqlite3_close_v2(observer_);
}

void WriteQueue::bump() { generation_.store(freshGeneration(), std::memory_order_release); }

std::uint64_t WriteQueue::observe(const std::string& path) {
  std::lock_guard lock(observeMutex_);
  if (!observer_) openObserver(path);
  std::int64_t v = 0;
  int rc = sqlite3_step(version_);
  if (rc == SQLITE_ROW) v = sqlite3_column_int64(version_, 0);
  sqlite3_reset(version_);
  if (rc != SQLITE_ROW) throw Error(std::string("database: ") + sqlite3_errmsg(observer_));
  if (!seen_ || *seen_ != v) {
    seen_ = v;
    bump();
  }
  return generation();
}

void WriteQueue::openObserver(const std::string& path) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc == SQLITE_OK) {
    // No busy wait: a file locked at that moment is an error the caller
    // treats as "changed" (the stamp is read on the server's I/O thread).
    sqlite3_busy_timeout(db, 0);
    rc = sqlite3_prepare_v2(db, "pragma data_version", -1, &version_, nullptr);
  }
  if (rc != SQLITE_OK) {
    std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_finalize(version_);
    version_ = nullptr;
    sqlite3_close_v2(db);
    throw Error("cannot open database " + path + ": " + msg);
  }
  observer_ = db;
}

std::int64_t WriteQueue::run(Statements& self, Work work) {
  Job job;
  job.work = std::move(work);
  std::unique_lock lock(mutex_);
  pending_.push_back(&job);
  while (!job.done) {
    if (leading_) {
      changed_.wait(lock);
      continue;
    }
    leading_ = true;
    std::vector<Job*> batch;
    batch.swap(pending_);
    lock.unlock();
    commitBatch(self, batch);
    // Before any writer of the batch returns: a stamp taken after that differs.
    bump();
    lock.lock();
    for (auto* j : batch) j->done = true;
    leading_ = false;
    changed_.notify_all();
  }
  if (job.error) std::rethrow_exception(job.error);
  return job.result;
}

void WriteQueue::commitBatch(Statements& db, const std::vector<Job*>& batch) noexcept {
  try {
    db.run("begin immediate");
  } catch (...) {
    for (auto* j : batch) j->error = std::current_exception();
    return;
  }
  bool single = batch.size() == 1;
  bool anyDone = false;
  for (auto* j : batch) {
    try {
      if (!single) db.run("savepoint w");
      j->result = j->work(db);
      if (!single) db.run("release w");
      anyDone = true;
    } catch (...) {
      j->error = std::current_exception();
      if (!single) {
        try {
          db.run("rollback to w");
          db.run("release w");
        } catch (...) {
        }
      }
    }
  }
  try {
    db.run(anyDone ? "commit" : "rollback");
  } catch (...) {
    auto failure = std::current_exception();
    for (auto* j : batch)
      if (!j->error) j->error = failure;
    sqlite3_exec(db.db(), "rollback", nullptr, nullptr, nullptr);
  }
}

}  // namespace tovi::data::internal
