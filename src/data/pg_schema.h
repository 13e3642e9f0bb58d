// The site's schema on PostgreSQL (internal to the data layer): the tables
// of schema.cpp with the same columns, defaults and indexes, and the change
// stamp's sequence and triggers (pg_stamp.h).
//
//   ensureServerSchema(url, shapes, indexes);   // from ensureDatabase for a postgresql:// location
//
// Names are created in lower case and unquoted (PostgreSQL folds unquoted
// names), so statements and operators' tools reach them as written. Types:
// INTEGER -> bigint, DATETIME -> timestamp(0), TEXT -> text, BOOLEAN ->
// boolean; an auto-number key is an identity column (never reused); a table
// without one gets the hidden key tovi_row (pg_engine.h). The work runs in
// one transaction under an advisory lock, so nodes starting together make
// the schema once; it only adds what is missing.
// Errors: data::Error with the server's message; nothing is changed then.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tovi::data::internal {

struct TableShape {
  std::string name;
  std::string key;                                          // auto-number key column; empty: none
  std::vector<std::pair<std::string, std::string>> columns;  // name, declared type ("INTEGER DEFAULT 0")
  std::string row;  // the single row of a settings table, "(columns) values (...)"; empty: none
};
struct IndexShape {
  std::string name, table, columns;
};

// The PostgreSQL type of a declared type with its default ("BOOLEAN DEFAULT 0" -> "boolean default false").
std::string pgType(const std::string& declared);

// Creates or completes the schema; returns true when the database held none of it.
bool ensureServerSchema(const std::string& url, const std::vector<TableShape>& tables,
                        const std::vector<IndexShape>& indexes);

}  // namespace tovi::data::internal
