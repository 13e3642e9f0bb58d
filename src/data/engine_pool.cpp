// openEngine and changeStamp: each thread keeps its file engines (and their
// prepared statements) for reuse, a handful of files at most; PostgreSQL
// engines alike, by location.
#include <sys/stat.h>

#include <algorithm>
#include <vector>

#include "data/change_stamp.h"
#include "data/connection.h"
#include "data/engine.h"
#include "data/pg_engine.h"
#include "data/pg_stamp.h"
#include "data/sqlite_engine.h"

namespace tovi::data {
namespace {

// Most recently used first; a handful of databases per thread at most (tests open many).
constexpr std::size_t kPooled = 4;

std::shared_ptr<internal::SqliteEngine> pooledEngine(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    throw Error("database file not found: " + path);
  internal::FileId id{st.st_dev, st.st_ino};
  thread_local std::vector<std::shared_ptr<internal::SqliteEngine>> pool;
  for (auto it = pool.begin(); it != pool.end(); ++it) {
    if ((*it)->path() != path) continue;
    if ((*it)->id() != id) {  // the file was replaced: its old engine is of no use
      pool.erase(it);
      break;
    }
    std::rotate(pool.begin(), it, it + 1);
    return pool.front();
  }
  auto engine = std::make_shared<internal::SqliteEngine>(path, id);
  pool.insert(pool.begin(), engine);
  if (pool.size() > kPooled) pool.pop_back();
  return engine;
}

std::shared_ptr<internal::PgEngine> pooledServer(const std::string& url) {
  thread_local std::vector<std::shared_ptr<internal::PgEngine>> pool;
  for (auto it = pool.begin(); it != pool.end(); ++it) {
    if ((*it)->url() != url) continue;
    std::rotate(pool.begin(), it, it + 1);
    return pool.front();
  }
  auto engine = std::make_shared<internal::PgEngine>(url);
  pool.insert(pool.begin(), engine);
  if (pool.size() > kPooled) pool.pop_back();
  return engine;
}

}  // namespace

bool isServerLocation(std::string_view location) {
  return location.starts_with("postgresql://") || location.starts_with("postgres://");
}

std::shared_ptr<Engine> openEngine(const std::string& path) {
  if (isServerLocation(path)) return pooledServer(path);
  return pooledEngine(path);
}

std::uint64_t changeStamp(const std::string& path) {
  if (isServerLocation(path))
    return internal::StampWatch::of(path).stamp([&] { return pooledServer(path)->storedStamp(); });
  return pooledEngine(path)->changeStamp();
}

}  // namespace tovi::data
