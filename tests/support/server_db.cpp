#include "support/server_db.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <stdexcept>

namespace tovi::testing {

namespace {

void requireServer() {
  const char* pg = std::getenv("TOVI_TEST_PG");
  if (!pg || !*pg) throw std::runtime_error("no TOVI_TEST_PG for a test on PostgreSQL: run under scripts/with_postgres.sh");
}

}  // namespace

bool onServer() {
  const char* engine = std::getenv("TOVI_TEST_ENGINE");
  if (!engine || std::string(engine) != "postgresql") return false;
  requireServer();
  return true;
}

std::vector<std::string> serverColumn(const std::string& url, const std::string& sql,
                                      const std::vector<std::string>& params) {
  std::string text;
  int n = 0;
  for (char c : sql) text += c == '?' ? "$" + std::to_string(++n) : std::string(1, c);
  n = static_cast<int>(params.size());  // also for a text that has its own $1, $2...
  PGconn* c = PQconnectdb(url.c_str());
  std::vector<const char*> values;
  for (const auto& p : params) values.push_back(p.c_str());
  PGresult* r = PQstatus(c) == CONNECTION_OK
                    ? PQexecParams(c, text.c_str(), n, nullptr, n ? values.data() : nullptr, nullptr, nullptr, 0)
                    : nullptr;
  const auto status = PQresultStatus(r);
  std::vector<std::string> out;
  for (int i = 0; r && i < PQntuples(r); ++i) out.emplace_back(PQgetvalue(r, i, 0));
  const std::string why = r ? PQresultErrorMessage(r) : PQerrorMessage(c);
  PQclear(r);
  PQfinish(c);
  if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) throw std::runtime_error(why + " in: " + sql);
  return out;
}

ServerDb::ServerDb(Need need) {
  if (need == kAlways) requireServer();
  else if (!onServer()) return;
  static std::atomic<int> made{0};
  const std::string base = std::getenv("TOVI_TEST_PG");
  name_ = "tovi_test_" + std::to_string(::getpid()) + "_" + std::to_string(++made);
  serverColumn(base, "create database " + name_);
  url_ = base.substr(0, base.rfind('/') + 1) + name_;
}

ServerDb::~ServerDb() {
  if (name_.empty()) return;
  try {
    serverColumn(std::getenv("TOVI_TEST_PG"), "drop database if exists " + name_ + " with (force)");
  } catch (const std::exception&) {  // the server is going away with the test run
  }
}

}  // namespace tovi::testing
