// The helper tables of schema.h (tallies and name searches) as the list
// planner reads them (internal to the data layer): a count read from a
// tally, a deep window placed by a tally's day counts, all keys of a list
// read from the rows of one trigram of a name search.
//
//   HelperTables helpers(db);
//   if (const Tally* t = helpers.tallyFor(st)) ... count from t->name
//   if (auto w = helpers.tallyWindow(st, params, 2000, 20)) keys = w->keys;
//   if (auto keys = helpers.searchKeys(st, params)) ...
//
// Each answers only when its helper table is in the file with all its
// triggers, and what is learnt of the file (which helpers it has, which
// plans let a helper answer) holds for one schema version.
// Threads: one thread at a time (the engine's).
// Errors: data::Error from the engine.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "data/jet_sql.h"
#include "data/schema.h"
#include "data/sqlite_statements.h"

namespace tovi::data::internal {

// Whether a condition is `column = ?`, `column = n` or `column in (n, ...)`
// with whole numbers n (`column` unquoted): one that reads only the column
// and holds for no row whose value is null (which a tally does not count).
bool valueCondition(const std::string& where, const char* column);
// Whether an ordering is the one column (unquoted), and which way: true for descending.
std::optional<bool> orderedBy(const std::string& orderBy, const char* column);
// The distinct trigrams (letters in lower case, as the name search keeps
// them) of a `like` pattern's runs between wildcards; every text the
// pattern matches holds each of them. Empty when no run has three
// characters, or the pattern holds a NUL (where `like` stops reading it).
std::vector<std::string> patternGrams(std::string_view pattern);

// Where row `offset` of a list lies among its days' counts (in the list's
// order): the day `at` that holds it, the rows `before` that day, and the
// list's `total`. `at` is days.size() when the list is shorter.
struct DayPlace {
  std::size_t at = 0;
  std::int64_t before = 0;
  std::int64_t total = 0;
};
DayPlace placeInDays(const std::vector<std::pair<std::string, std::int64_t>>& days, std::int64_t offset);

class HelperTables {
 public:
  explicit HelperTables(Statements& db) : db_(db) {}

  // Looks again at the file's helper tables when its schema moved.
  void checkSchema();
  // How many times checkSchema found the schema moved: what was learnt of
  // plans before the count moved is stale.
  std::uint64_t schemaChanges() const { return schemaChanges_; }

  // The tally that counts a one-table select's rows: one the file has, whose
  // group column is what the condition asks for (valueCondition).
  const Tally* tallyFor(const jet::Statement& st);

  // The keys of a deep window of a list in the order of a tally's day
  // column, found from the tally: the day that holds the window's first row
  // and how many of the list's rows come before it; then the window is read
  // from that day on. Nothing when no tally applies, when the tally cannot
  // place every row of the list (a time that is no date text), or when the
  // list read from a day on would not walk the same index as the whole list
  // (so its ties would differ).
  struct Placed {
    std::vector<std::int64_t> keys;
    std::int64_t total = 0;  // the list's count
  };
  std::optional<Placed> tallyWindow(const jet::Statement& st, std::span<const Value> params, std::int64_t offset,
                                    std::int64_t limit);

  // All keys of a list whose condition has `column like ?` on a column with a
  // name search and reads only columns the search keeps: read from the
  // search's rows of the pattern's rarest trigram, narrowed by the whole
  // condition (the `like` itself included, so the rows are exactly the
  // condition's), in the order the list's own index walk gives them.
  // Nothing when no search applies.
  std::optional<std::vector<std::int64_t>> searchKeys(const jet::Statement& st, std::span<const Value> params);

  // Rows of one trigram counted up to this many when choosing the rarest.
  static constexpr std::int64_t kGramCount = 4000;

 private:
  std::string walkOrder(const jet::Statement& st, const std::string& key, const std::set<std::string>& columns);

  Statements& db_;
  std::unordered_map<std::string, std::string> ties_;  // walkOrder by statement text and key
  std::unordered_map<std::string, bool> bounded_;      // whether tallyWindow may read from a day on
  std::set<std::string> helpers_;                      // helper tables the file has, lower case
  std::int64_t schema_ = -1;
  std::uint64_t schemaChanges_ = 0;
};

}  // namespace tovi::data::internal
