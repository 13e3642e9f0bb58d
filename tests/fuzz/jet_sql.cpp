// The SQL dialect translation. A text is refused with data::Error, or becomes
// one statement for the engine: every literal and quoted name closed, no
// comment, nothing after it (SQLite's own sqlite3_complete says so), its
// parts (table, condition, ordering) taken from it; and when the engine
// prepares it against the site's schema, one statement with as many
// parameters as the translation counted.
#include "data/jet_sql.h"

#include <sqlite3.h>

#include "data/connection.h"
#include "fuzz.h"

using namespace tovi::fuzz;
using tovi::data::jet::Statement;

static sqlite3* schemaDb() {
  static sqlite3* db = [] {
    char tmpl[] = "/tmp/tovi-fuzz-sql-XXXXXX";
    if (!mkdtemp(tmpl)) std::abort();
    std::string path = std::string(tmpl) + "/tamlo.mdb";
    tovi::data::ensureDatabase(path);
    sqlite3* d = nullptr;
    if (sqlite3_open_v2(path.c_str(), &d, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) std::abort();
    std::filesystem::remove_all(tmpl);  // the open file stays readable
    return d;
  }();
  return db;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string sql(asText(data, size));
  std::shared_ptr<const Statement> st;
  try {
    st = tovi::data::jet::translate(sql);
  } catch (const tovi::data::Error&) {
    return 0;
  }
  const std::string& text = st->text;
  // A NUL can only stand in a text literal; the engine would end the text there.
  if (text.find('\0') != std::string::npos) return 0;
  check(sqlite3_complete(text.c_str()) == 0 && sqlite3_complete((text + ";").c_str()) == 1,
        "a translation leaves a literal, a name or a comment open, or holds a second statement");
  if (!st->table.empty()) {
    check(st->kind == Statement::Kind::Select, "a table of a statement that is no select");
    check(text.find(st->table) != std::string::npos && text.find(st->where) != std::string::npos &&
              text.find(st->orderBy) != std::string::npos,
          "a part of the select is not in its text");
  }
  sqlite3_stmt* stmt = nullptr;
  const char* tail = nullptr;
  if (sqlite3_prepare_v2(schemaDb(), text.c_str(), static_cast<int>(text.size()), &stmt, &tail) == SQLITE_OK && stmt) {
    check(*tail == '\0', "the engine read less than the whole translation");
    check(sqlite3_bind_parameter_count(stmt) == st->params, "parameter count differs from the engine's");
    check((st->kind == Statement::Kind::Select) == (sqlite3_stmt_readonly(stmt) != 0),
          "a select that writes, or a write that only reads");
  }
  sqlite3_finalize(stmt);
  return 0;
}
