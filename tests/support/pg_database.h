// A PostgreSQL database of a test's own on the server TOVI_TEST_PG names
// (scripts/with_postgres.sh starts one), and its rows read as psql would.
//
//   PgDatabase db;                       // created empty; dropped at the end
//   LiveServer node({.args = {"--database", db.url}});
//   EXPECT_EQ(pgColumn(db.url, "select count(*) from tdgl"), std::vector<std::string>{"1"});
#pragma once

#include <libpq-fe.h>

#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace tovi::testing {

// The first column of every row `sql` gives on the database at `url` (NULL as ""); throws.
inline std::vector<std::string> pgColumn(const std::string& url, const std::string& sql) {
  std::unique_ptr<PGconn, void (*)(PGconn*)> c(PQconnectdb(url.c_str()), PQfinish);
  std::unique_ptr<PGresult, void (*)(PGresult*)> r(PQexec(c.get(), sql.c_str()), PQclear);
  const ExecStatusType s = PQresultStatus(r.get());
  if (s != PGRES_TUPLES_OK && s != PGRES_COMMAND_OK) throw std::runtime_error(url + ": " + PQerrorMessage(c.get()));
  std::vector<std::string> out;
  for (int i = 0; i < PQntuples(r.get()); ++i) out.emplace_back(PQgetvalue(r.get(), i, 0));
  return out;
}

struct PgDatabase {
  std::string server = std::getenv("TOVI_TEST_PG") ? std::getenv("TOVI_TEST_PG") : "";
  std::string name = "tovi_test_" + std::to_string(std::random_device{}());
  std::string url = server.substr(0, server.rfind('/') + 1) + name;
  PgDatabase() {
    if (server.empty()) throw std::runtime_error("TOVI_TEST_PG is not set: run under scripts/with_postgres.sh");
    pgColumn(server, "create database " + name);
  }
  ~PgDatabase() { pgColumn(server, "drop database " + name + " with (force)"); }
  PgDatabase(const PgDatabase&) = delete;
};

}  // namespace tovi::testing
