// The file engine: Engine (engine.h) over one SQLite connection of this
// thread (internal to the data layer; pages reach it through openEngine).
//
//   auto engine = std::make_shared<SqliteEngine>(path, fileId);
//   engine->insert("\"tdgl\"", {"yhm"}, {Value("张三")});   // on disk when it returns
//
// Durability: WAL journal with synchronous=FULL, so a commit is on disk when
// it returns. Writes go through the file's WriteQueue (write_queue.h), which
// commits the writes of all threads that arrive together at once; reads run
// on this engine's own connection. One-table lists are windowed and counted
// by the ListPlanner (list_planner.h).
// Threads: the thread that made it.
// Errors: data::Error with the engine's message.
#pragma once

#include <memory>
#include <string>

#include "data/engine.h"
#include "data/list_planner.h"
#include "data/sqlite_statements.h"
#include "data/write_queue.h"

namespace tovi::data::internal {

class SqliteEngine final : public Engine {
 public:
  // Opens the file at `path`, known to the system as `id`. Throws data::Error.
  SqliteEngine(const std::string& path, FileId id);

  const std::string& path() const { return path_; }
  FileId id() const { return id_; }
  // See changeStamp (change_stamp.h).
  std::uint64_t changeStamp() { return queue_->observe(); }

  int execute(const jet::Statement& st, std::span<const Value> params) override;
  std::size_t fetch(const jet::Statement& st, std::span<const Value> params, std::int64_t offset, std::int64_t limit,
                    std::vector<Row>& out, std::vector<Column>* columns) override;
  std::vector<Column> describe(const jet::Statement& st) override;
  std::int64_t count(const jet::Statement& st, std::span<const Value> params) override;
  std::optional<Row> row(const std::string& table, std::int64_t rowid) override;
  Row insert(const std::string& table, const std::vector<std::string>& columns,
             const std::vector<Value>& values) override;
  std::optional<Row> update(const std::string& table, std::int64_t rowid, const std::vector<std::string>& columns,
                            const std::vector<Value>& values) override;

 private:
  std::string path_;
  FileId id_;
  Statements db_;
  std::shared_ptr<WriteQueue> queue_;
  ListPlanner lists_{db_};
};

}  // namespace tovi::data::internal
