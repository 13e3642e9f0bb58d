// The deep-paging planner: the keys of one window of a one-table list, and
// the list's count, without reading the rows the window skips (internal to
// the data layer).
//
//   ListPlanner lists(db);
//   std::int64_t n = lists.count(st, params);
//   std::vector<std::int64_t> keys = lists.windowKeys(st, params, /*offset=*/2000, /*limit=*/20);
//
// A window near the start is read from the start. A deep one is placed by a
// tally (helper_tables.h) when the list allows it, or read from the nearer
// end over the index that orders the list. A deep window that continues the
// previous one (a walk through the list) reads all keys once; they serve
// every window until the file changes. A list with a name search reads all
// its keys from the search. What is known of a list (its count, its windows,
// its keys) is forgotten as soon as the file changes, by anyone.
// Threads: one thread at a time (the engine's).
// Errors: data::Error from the engine.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "data/helper_tables.h"
#include "data/jet_sql.h"
#include "data/sqlite_statements.h"

namespace tovi::data::internal {

// Deeper than this, a window is reached from whichever end of the list is nearer.
inline constexpr std::int64_t kDeep = 1000;

// The terms of an ordering, split at the commas outside quotes and brackets.
std::vector<std::string> splitTerms(const std::string& order);
// The ordering with every term turned the other way; empty when a term says
// where nulls go (turning it would not reverse the rows).
std::string reversedOrder(const std::string& order);
// The keys of one table's select in its order (or the reverse). Without an
// ordering the rows come in key order; ties of an ordering come in the order
// of the index or sort that answers it, which is the same for every window.
std::string keysText(const jet::Statement& st, bool reverse);
// One row of a table by key, the key first.
std::string rowText(const std::string& table);
// Keys [offset, offset + limit) of `keys`, fewer at its end.
std::vector<std::int64_t> slice(const std::vector<std::int64_t>& keys, std::int64_t offset, std::int64_t limit);
// The index a plan walks, when the plan (its lines) is that one walk with no sort; else empty.
std::string walkedIndex(const std::vector<std::string>& plan);
// Whether two plans are the same single walk with no sort: a list read both
// ways then visits the same entries in opposite orders, ties included.
bool sameSingleWalk(const std::vector<std::string>& forward, const std::vector<std::string>& backward);

// Where a deep window [offset, offset + limit) of a list of `total` rows
// lies in the reversed list: `rows` rows from `from` (fewer than `limit` at
// the list's start). For a window past the middle, with offset < total.
struct Reach {
  std::int64_t from = 0;
  std::int64_t rows = 0;
};
Reach fromTheEnd(std::int64_t offset, std::int64_t limit, std::int64_t total);

class ListPlanner {
 public:
  explicit ListPlanner(Statements& db) : db_(db), helpers_(db) {}

  // Number of rows of a one-table select.
  std::int64_t count(const jet::Statement& st, std::span<const Value> params);
  // The keys of rows [offset, offset + limit) of a one-table select.
  std::vector<std::int64_t> windowKeys(const jet::Statement& st, std::span<const Value> params, std::int64_t offset,
                                       std::int64_t limit);

 private:
  // What is known of one list with its values at one version of the file.
  struct ListState {
    std::string text;
    std::vector<Value> params;
    std::pair<std::int64_t, std::int64_t> version;
    std::optional<std::int64_t> count;
    struct Window {
      std::int64_t offset = 0, limit = 0;
      std::vector<std::int64_t> keys;
    };
    std::deque<Window> windows;  // most recent first
    std::optional<std::vector<std::int64_t>> keys;
    bool searched = false;  // whether a name search was tried for all the keys
  };

  std::pair<std::int64_t, std::int64_t> fileVersion();
  ListState& list(const jet::Statement& st, std::span<const Value> params);
  std::int64_t tableCount(const jet::Statement& st, std::span<const Value> params, ListState& l);
  bool searchAll(const jet::Statement& st, std::span<const Value> params, ListState& l);
  static void remember(ListState& l, std::int64_t offset, std::int64_t limit, std::vector<std::int64_t> keys);
  bool reversible(const jet::Statement& st);

  Statements& db_;
  HelperTables helpers_;
  std::deque<ListState> lists_;                       // most recently used first
  std::unordered_map<std::string, bool> reversible_;  // by statement text
  std::uint64_t reversibleSchema_ = 0;                // helpers_.schemaChanges() when reversible_ was learnt
};

}  // namespace tovi::data::internal
