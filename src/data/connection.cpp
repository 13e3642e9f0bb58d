#include "data/connection.h"

#include "data/engine.h"
#include "data/jet_sql.h"

namespace tovi::data {

std::string dataSourceOf(std::string_view cs) {
  auto trim = [](std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
  };
  while (!cs.empty()) {
    std::size_t end = cs.find(';');
    std::string_view part = cs.substr(0, end);
    cs = end == std::string_view::npos ? std::string_view() : cs.substr(end + 1);
    std::size_t eq = part.find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view key = trim(part.substr(0, eq));
    std::string k;
    for (char c : key)
      if (c != ' ') k += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (k == "datasource") return std::string(trim(part.substr(eq + 1)));
  }
  return {};
}

Connection::Connection() = default;

Connection::Connection(const std::string& location) { Open("Data Source=" + location); }
Connection::~Connection() = default;

void Connection::Open(std::string_view connectionString, std::string_view, std::string_view, int) {
  std::string path = dataSourceOf(connectionString);
  if (path.empty()) throw Error("connection text names no Data Source");
  engine_ = openEngine(path);
  path_ = std::move(path);
}

int Connection::Execute(const Sql& sql) {
  Engine& e = engine();
  auto st = jet::translate(sql.text, e.dialect());
  return e.execute(*st, sql.params);
}

std::vector<std::vector<Value>> Connection::rows(const Sql& sql, std::int64_t offset, std::int64_t limit) {
  Engine& e = engine();
  std::vector<Row> out;
  e.fetch(*jet::translate(sql.text, e.dialect()), sql.params, offset, limit, out, nullptr);
  return out;
}

void Connection::Close() { engine_.reset(); }

Engine& Connection::engine() {
  if (!engine_) throw Error("the connection is not open");
  return *engine_;
}

}  // namespace tovi::data
