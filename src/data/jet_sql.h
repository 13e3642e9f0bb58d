// Translation of the pages' SQL dialect into the engine's.
//
//   auto st = jet::translate("select * from tdgl where fromdate>#2024-3-9 10:00:00# order by fromdate desc");
//   // st->kind == Select, st->table == "\"tdgl\"",
//   // st->where == "\"fromdate\" > '2024-03-09 10:00:00'", st->orderBy == "\"fromdate\" desc"
//
// What changes: date-times between '#' become ISO text literals (the form the
// store keeps them in, so text order is time order); true/false become 1/0;
// every name that is not a keyword is quoted, so column names such as `top`
// and `view` are plain names; text in double quotes is a text literal, as in
// the pages' dialect; "&" joins texts. Names stay case-insensitive and `like`
// keeps its case-insensitive matching.
// What is refused (data::Error with the reason): an empty text, a statement
// other than select/insert/update/delete, a second statement after ';',
// comments, unterminated literals, a date that is no real date, characters
// outside the dialect, unknown functions.
// For PostgreSQL (Dialect::Postgres) names are written in lower case and
// unquoted (quoted only where the server reserves the word), as the schema
// creates them; date-times become timestamp literals, true/false stay
// logicals, `like` becomes `ilike ... escape ''` (case-blind, and a backslash
// is an ordinary character as in the file engine) and the marks are $1, $2...
// Threads: translate() keeps a per-thread cache of recent translations.
#pragma once

#include <memory>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovi::data::jet {

struct Statement {
  enum class Kind { Select, Write };
  Kind kind = Kind::Select;
  // The whole statement in the engine's dialect.
  std::string text;
  // Number of '?' parameter marks.
  int params = 0;
  // For "select * from <table> [where ...] [order by ...]": the quoted table
  // name and the translated condition and ordering (empty when absent). The
  // rows of such a select can be counted, windowed and written back by row id.
  // Empty table for any other select.
  std::string table;
  std::string where;
  std::string orderBy;
  // "select top n ...": at most n rows.
  std::optional<std::int64_t> top;
  // Of such a select's condition, for the engine's helper structures: the
  // column names it reads (unquoted, lower case; empty when it holds a
  // subquery, which may read anything), and its conjuncts of the form
  // `column like ?` when the condition is a plain chain of `and` (each the
  // column and the number of its mark, 0-based).
  std::vector<std::string> whereColumns;
  struct Like {
    std::string column;
    int param = 0;
  };
  std::vector<Like> likes;
};

enum class Dialect { Sqlite, Postgres };

// Translates one statement; cached per thread. Throws data::Error.
std::shared_ptr<const Statement> translate(std::string_view sql, Dialect dialect = Dialect::Sqlite);

// Quotes a name for the engine ("a\"b" -> "\"a\"\"b\"").
std::string quoteName(std::string_view name);
// A name as PostgreSQL is to read it: lower case, quoted only when reserved ("Top" -> top, "user" -> "user").
std::string pgName(std::string_view name);

}  // namespace tovi::data::jet
