// The storage engine behind Connection and Recordset.
//
//   std::shared_ptr<Engine> e = openEngine("/srv/site/database/tamlo.mdb");
//   std::vector<Column> cols;
//   std::vector<Row> rows;
//   e->fetch(query, params, /*offset=*/0, /*limit=*/20, rows, &cols);
//
// The interface speaks in translated statements (jet_sql.h) and Values, so an
// engine other than the file engine could stand in without touching a page.
// Every write (execute of a changing statement, insert, update) is committed
// and on disk before the call returns.
// Threads: an Engine belongs to the thread that opened it; openEngine keeps a
// small per-thread pool keyed by file path. Writers of one file in this
// process share one commit: see write_queue.h.
// Errors: data::Error with the engine's message.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "data/jet_sql.h"
#include "data/value.h"

namespace tovi::data {

// How a column's declared type reads and writes values.
enum class ColumnType { Other, Integer, Decimal, Text, Date, Boolean };

struct Column {
  std::string name;
  ColumnType type = ColumnType::Other;
};

// One row: element 0 is the row id (null when the query is not one table's),
// then the columns in query order.
using Row = std::vector<Value>;

// The column type a declared type names ("INTEGER" -> Integer, "DATETIME" -> Date ...).
ColumnType columnTypeOf(std::string_view declared);

// A value as it is to be stored in a column of type `type`: a numeric text
// into a whole-number column becomes that number, a date text into a date-time
// column a DateTime, and so on. Empty and null store null. Throws data::Error
// when the value cannot be one of the column's (a word into a number column).
Value toColumn(const Value& v, ColumnType type, std::string_view column);

class Engine {
 public:
  virtual ~Engine() = default;

  // The dialect its statements are to be translated to.
  virtual jet::Dialect dialect() const { return jet::Dialect::Sqlite; }

  // Runs a statement that returns no rows; returns the rows it changed.
  virtual int execute(const jet::Statement& st, std::span<const Value> params) = 0;
  // Rows [offset, offset + limit) of a select, appended to `out`; fills
  // `columns` when given. Returns the number of rows appended.
  virtual std::size_t fetch(const jet::Statement& st, std::span<const Value> params, std::int64_t offset,
                            std::int64_t limit, std::vector<Row>& out, std::vector<Column>* columns) = 0;
  // The columns of a select, without running it.
  virtual std::vector<Column> describe(const jet::Statement& st) = 0;
  // Number of rows of a select.
  virtual std::int64_t count(const jet::Statement& st, std::span<const Value> params) = 0;
  // One row of a table by row id, laid out as `fetch` of "select * from table"; empty when gone.
  virtual std::optional<Row> row(const std::string& table, std::int64_t rowid) = 0;
  // Adds a row; returns it as stored, laid out as `row` gives it (element 0
  // its row id: the table's key when it has one).
  virtual Row insert(const std::string& table, const std::vector<std::string>& columns,
                     const std::vector<Value>& values) = 0;
  // Writes the given columns of one row; returns it as stored, or nothing
  // when the row no longer existed.
  virtual std::optional<Row> update(const std::string& table, std::int64_t rowid,
                                    const std::vector<std::string>& columns, const std::vector<Value>& values) = 0;
};

// Whether a database location names a PostgreSQL server
// ("postgresql://user@host:5432/tovi", or "postgres://...") rather than a file.
[[nodiscard]] bool isServerLocation(std::string_view location);

// The engine for the database file at `path` (it must exist), from this
// thread's pool of the last 4 files it used. A server location
// (isServerLocation) gives a PostgreSQL engine (pg_engine.h) instead, kept
// per thread and location the same way. Each engine holds a connection
// with a bounded page cache (sqlite_statements.h): a server's page caches
// take at most its threads x files in use (one) x kReaderCacheKiB, plus one
// writer's kWriterCacheKiB per file. Throws data::Error when the file is
// missing or unusable.
std::shared_ptr<Engine> openEngine(const std::string& path);

// Waiting for the disk: every write waits until its commit is on disk. A
// pool of threads that runs pages can put another of its threads to work
// meanwhile: `notice` runs on this thread with true just before each such
// wait and with false when it is over. Set per thread; an empty function sets none.
void setWriteWaitNotice(std::function<void(bool waiting)> notice);

}  // namespace tovi::data
