#include "data/write_queue.h"

#include <map>

#include "data/connection.h"

namespace tovi::data {
namespace {

thread_local std::function<void(bool)> writeWaitNotice;

// Tells this thread's notice of a write's wait for the disk, from start to end however it ends.
class Waiting {
 public:
  Waiting() {
    if (writeWaitNotice) writeWaitNotice(true);
  }
  ~Waiting() {
    if (writeWaitNotice) writeWaitNotice(false);
  }
  Waiting(const Waiting&) = delete;
  Waiting& operator=(const Waiting&) = delete;
};

}  // namespace

void setWriteWaitNotice(std::function<void(bool)> notice) { writeWaitNotice = std::move(notice); }

namespace internal {

std::uint64_t WriteQueue::freshGeneration() {
  static std::atomic<std::uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

std::shared_ptr<WriteQueue> WriteQueue::of(FileId id, const std::string& path) {
  static std::mutex mutex;
  static std::map<FileId, std::weak_ptr<WriteQueue>> queues;
  std::lock_guard lock(mutex);
  for (auto it = queues.begin(); it != queues.end();) it = it->second.expired() ? queues.erase(it) : std::next(it);
  auto& slot = queues[id];
  auto q = slot.lock();
  if (!q) {
    q = std::make_shared<WriteQueue>(path);
    slot = q;
  }
  return q;
}

WriteQueue::~WriteQueue() {
  sqlite3_finalize(version_);
  sqlite3_close_v2(observer_);
}

void WriteQueue::bump() { generation_.store(freshGeneration(), std::memory_order_release); }

std::uint64_t WriteQueue::observe() {
  std::lock_guard lock(observeMutex_);
  if (!observer_) openObserver();
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

void WriteQueue::openObserver() {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
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
    throw Error("cannot open database " + path_ + ": " + msg);
  }
  observer_ = db;
}

// Each waiting writer is woken alone, and without the queue's lock: when its
// commit is done, or when the commit before hands it the lead because its
// write is the first still queued.
std::int64_t WriteQueue::run(Work work) {
  Waiting waiting;
  auto job = std::make_shared<Job>();
  job->work = std::move(work);
  std::unique_lock lock(mutex_);
  pending_.push_back(job);
  if (leading_) {
    lock.unlock();
    if (job->await() == Job::kLead) lock.lock();
  } else {
    leading_ = true;
  }
  if (lock) {
    std::vector<std::shared_ptr<Job>> batch;
    batch.swap(pending_);
    lock.unlock();
    commitBatch(batch);
    // Before any writer of the batch returns: a stamp taken after that differs.
    bump();
    for (auto& j : batch)
      if (j != job) j->set(Job::kDone);
    // Passive: copies what no reader still needs and never waits; what is left waits for the next time.
    if (writer_ && logFrames_ >= kCheckpointFrames)
      sqlite3_wal_checkpoint_v2(writer_->db(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    std::shared_ptr<Job> next;
    lock.lock();
    if (pending_.empty())
      leading_ = false;
    else
      next = pending_.front();
    lock.unlock();
    if (next) next->set(Job::kLead);
  }
  if (job->error) std::rethrow_exception(job->error);
  return job->result;
}

void WriteQueue::commitBatch(const std::vector<std::shared_ptr<Job>>& batch) noexcept {
  try {
    if (!writer_) {
      writer_ = std::make_unique<Statements>(path_, kWriterCacheKiB);
      // In place of the connection's own checkpoints, which would hold up the writers of its commit.
      sqlite3_wal_hook(
          writer_->db(),
          [](void* queue, sqlite3*, const char*, int frames) {
            static_cast<WriteQueue*>(queue)->logFrames_ = frames;
            return SQLITE_OK;
          },
          this);
    }
    writer_->run("begin immediate");
  } catch (...) {
    for (auto& j : batch) j->error = std::current_exception();
    return;
  }
  Statements& db = *writer_;
  bool single = batch.size() == 1;
  bool anyDone = false;
  for (auto& j : batch) {
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
    for (auto& j : batch)
      if (!j->error) j->error = failure;
    sqlite3_exec(db.db(), "rollback", nullptr, nullptr, nullptr);
  }
}

}  // namespace internal
}  // namespace tovi::data
