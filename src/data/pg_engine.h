// The PostgreSQL engine: Engine (engine.h) over one libpq connection of this
// thread (internal to the data layer; pages reach it through openEngine with
// a postgresql:// location).
//
//   auto engine = std::make_shared<PgEngine>("postgresql://tovi@db1/tovi");
//   engine->insert("tdgl", {"yhm"}, {Value("张三")});   // committed when it returns
//
// Row ids are the table's key (its primary key column; a table without an
// auto-number key has a hidden one, tovi_row, that "select *" leaves out).
// A window of a one-table list is one statement (its keys and columns
// together), read from the nearer end of the list when it lies past the
// middle; a list's count is kept while the database's change stamp stands.
// Threads: the thread that made it.
// Errors: data::Error with the server's message.
#pragma once

#include <deque>
#include <string>
#include <unordered_map>

#include "data/engine.h"
#include "data/pg_link.h"
#include "data/pg_stamp.h"

namespace tovi::data::internal {

// The hidden key of a table without an auto-number key.
inline constexpr char kHiddenKey[] = "tovi_row";

class PgEngine final : public Engine {
 public:
  // Connects to the database at `url`. Throws data::Error.
  explicit PgEngine(const std::string& url);

  const std::string& url() const { return db_.url(); }
  jet::Dialect dialect() const override { return jet::Dialect::Postgres; }
  // The value of the database's change sequence (pg_stamp.h), read now.
  std::int64_t storedStamp();

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
  struct Table {
    std::string key;      // the key column
    std::string columns;  // "key, c1, c2 ...": a row as `row` gives it
  };
  const Table& table(const std::string& name);
  // The window's statement: the list in its order (or the reverse), with $n+1 the limit and $n+2 the offset.
  std::string windowText(const jet::Statement& st, bool reverse);
  std::int64_t listCount(const jet::Statement& st, std::span<const Value> params);

  PgLink db_;
  StampWatch& watch_;
  std::unordered_map<std::string, Table> tables_;
  // Counts of recent lists, with the change stamp they were read at.
  struct Counted {
    std::string text;
    std::vector<Value> params;
    std::uint64_t stamp = 0;
    std::int64_t n = 0;
  };
  std::deque<Counted> counts_;
};

}  // namespace tovi::data::internal
