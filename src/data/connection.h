// The database connection the pages open at their start and run statements on.
//
//   auto conn = std::make_shared<data::Connection>();
//   conn->Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/srv/site/database/tamlo.mdb");
//   conn->Execute("delete from cygl where lei2=1 and id in (7, 9)");
//   conn->Execute({"delete from tdgl where id=?", {id}});
//
// SQL is written in the dialect the pages were written for (date-times between
// '#', true/false, case-insensitive names) and translated for the engine. Values
// that come from a request are passed as parameters ('?'), never spliced into
// the text, so they can only act as the values they stand for.
//
// Threads: a Connection belongs to the thread that opened it. Opening is cheap:
// each thread keeps its engine connections (and their prepared statements) for
// reuse, so a page may open the site's database on every request.
// Errors: every failure throws data::Error with the engine's message.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "data/value.h"

namespace tovi::data {

class Engine;

// A database failure: a file that cannot be opened, a statement the engine
// refuses, a field that does not exist.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An SQL text with its parameters, bound in order to the '?' marks of the text.
struct Sql {
  Sql(std::string_view text) : text(text) {}
  Sql(const char* text) : text(text) {}
  Sql(std::string text) : text(std::move(text)) {}
  Sql(std::string text, std::vector<Value> params) : text(std::move(text)), params(std::move(params)) {}
  std::string text;
  std::vector<Value> params;
};

class Connection {
 public:
  Connection();
  // Opened on the database at `location`: a file path or a postgresql:// URL
  // (the "Data Source=" of a connection text).
  explicit Connection(const std::string& location);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Opens the database named by "Data Source=" in the connection text (other
  // keys, such as the provider, are accepted and ignored). The file must
  // exist; a postgresql:// URL there opens that server's database instead.
  void Open(std::string_view connectionString, std::string_view user = {}, std::string_view password = {},
            int options = -1);
  // Runs a statement that returns no rows (delete, update, insert).
  // Returns the number of rows it changed.
  int Execute(const Sql& sql);
  // Rows [offset, offset + limit) of a select, each its row id (or null) and
  // then its columns (engine.h's Row): a few values read without a record set.
  std::vector<std::vector<Value>> rows(const Sql& sql, std::int64_t offset = 0, std::int64_t limit = 1);
  // Gives the engine connection back to this thread's pool. Record sets still
  // open on this connection must not be used afterwards.
  void Close();
  [[nodiscard]] bool isOpen() const { return engine_ != nullptr; }
  // The file path (or server URL) from the connection text.
  [[nodiscard]] const std::string& path() const { return path_; }

  // For the record sets of this layer.
  Engine& engine();
  std::shared_ptr<Engine> sharedEngine() const { return engine_; }

 private:
  std::shared_ptr<Engine> engine_;
  std::string path_;
};

// Text of a connection string's "Data Source=" key; empty when it has none.
[[nodiscard]] std::string dataSourceOf(std::string_view connectionString);

}  // namespace tovi::data
