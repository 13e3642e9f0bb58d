// One libpq connection to a PostgreSQL database with its prepared statements:
// the PostgreSQL engine's way to the server (internal to the data layer).
//
//   PgLink db("postgresql://tovi@127.0.0.1/tovi");
//   PgResult r = db.run("select yhm from tdgl where id=$1", {Value(7)}, /*read=*/true);
//   for (int i = 0; i < r.rows(); ++i) names.push_back(r.value(i, 0));
//
// Each text is prepared once (PQprepare) and described once; later runs send
// only its name and the values (PQexecPrepared): one round trip. Values go as
// text and take the type the statement gives their place. The session runs
// in autocommit with synchronous_commit on, so a write is on the server's
// disk when run() returns; date-times are wall-clock times without a zone
// (timestamp), as the file engine keeps them.
// A read that finds the connection broken connects again and runs once more;
// a write is never sent twice (whether it was committed is unknown).
// Threads: one thread at a time.
// Errors: data::Error with the server's message.
#pragma once

#include <libpq-fe.h>

#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/engine.h"

namespace tovi::data::internal {

// The column type a PostgreSQL type (its oid) reads as.
ColumnType pgColumnType(Oid type);

class PgResult {
 public:
  PgResult() = default;
  explicit PgResult(PGresult* r) : r_(r, PQclear) {}
  [[nodiscard]] int rows() const { return r_ ? PQntuples(r_.get()) : 0; }
  [[nodiscard]] int columns() const { return r_ ? PQnfields(r_.get()) : 0; }
  // Row `row`, column `col` as its type reads (null as Value::null()).
  [[nodiscard]] Value value(int row, int col) const;
  // Row `row` from column `from` on, led by column `key` (null when key < 0): a Row of engine.h.
  [[nodiscard]] Row row(int row, int key, int from) const;
  [[nodiscard]] std::int64_t changed() const;
  [[nodiscard]] PGresult* get() const { return r_.get(); }

 private:
  std::shared_ptr<PGresult> r_;
};

class PgLink {
 public:
  // Connects to `url`. Throws data::Error.
  explicit PgLink(std::string url);
  ~PgLink();
  PgLink(const PgLink&) = delete;
  PgLink& operator=(const PgLink&) = delete;

  const std::string& url() const { return url_; }

  // The columns a statement gives, from column `skip` on, without running it.
  std::vector<Column> columnsOf(const std::string& text, int skip);
  // Runs a statement with $1.. bound to `params`; `read` when running it
  // twice does no harm (see the header). Throws data::Error.
  PgResult run(const std::string& text, std::span<const Value> params, bool read);
  // Runs statements as one simple query, without preparing (schema work).
  PgResult exec(const std::string& text);

 private:
  struct Prepared {
    std::string name;
    int params = 0;
    std::vector<Column> columns;
  };
  const Prepared& prepared(const std::string& text);
  void connect();
  [[noreturn]] void fail(const PGresult* r, const std::string& text);

  std::string url_;
  PGconn* conn_ = nullptr;
  std::unordered_map<std::string, Prepared> cache_;
  std::uint64_t made_ = 0;  // statements prepared on this connection, for their names
};

// The text form a value is sent in ("" and null: SQL NULL, told by the bool).
std::pair<std::string, bool> pgText(const Value& v);

}  // namespace tovi::data::internal
