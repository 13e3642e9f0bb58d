// A fresh PostgreSQL database for a test, when the suite runs on PostgreSQL:
// TOVI_TEST_ENGINE=postgresql (the CTest label postgresql sets it) and the
// server in TOVI_TEST_PG (scripts/with_postgres.sh). Without the label the
// tests use SQLite files.
//
//   ServerDb db;                    // "" on SQLite; else a new database, dropped with db
//   if (!db.url().empty()) ...
//   ServerDb always(ServerDb::kAlways);  // a database whatever the label (tests of several nodes)
#pragma once

#include <string>
#include <vector>

namespace tovi::testing {

// Whether the tests are to run on PostgreSQL; throws when asked to without TOVI_TEST_PG.
bool onServer();

class ServerDb {
 public:
  enum Need { kUnderLabel, kAlways };
  explicit ServerDb(Need need = kUnderLabel);
  ~ServerDb();
  ServerDb(const ServerDb&) = delete;
  ServerDb& operator=(const ServerDb&) = delete;
  const std::string& url() const { return url_; }

 private:
  std::string name_, url_;
};

// The first column of every row `sql` gives on the database at `url` ("" for null), each `?` bound to the
// next of `params` as text; throws.
std::vector<std::string> serverColumn(const std::string& url, const std::string& sql,
                                      const std::vector<std::string>& params = {});

}  // namespace tovi::testing
