#include "data/helper_tables.h"

#include <algorithm>

#include "data/list_planner.h"

namespace tovi::data::internal {
namespace {

std::string lowerText(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool sameTable(const jet::Statement& st, const char* table) {
  return lowerText(st.table) == lowerText(jet::quoteName(table));
}

}  // namespace

bool valueCondition(const std::string& where, const char* column) {
  const std::string name = lowerText(jet::quoteName(column)) + " ";
  if (!lowerText(where).starts_with(name)) return false;
  std::string_view rest = std::string_view(where).substr(name.size());
  auto number = [&] {
    std::size_t n = !rest.empty() && rest.front() == '-' ? 1 : 0, digits = n;
    while (n < rest.size() && rest[n] >= '0' && rest[n] <= '9') ++n;
    if (n == digits) return false;
    rest.remove_prefix(n);
    return true;
  };
  if (rest == "= ?") return true;
  if (rest.starts_with("= ")) {
    rest.remove_prefix(2);
    return number() && rest.empty();
  }
  if (!rest.starts_with("in (")) return false;
  rest.remove_prefix(4);
  while (number()) {
    if (rest == ")") return true;
    if (!rest.starts_with(", ")) return false;
    rest.remove_prefix(2);
  }
  return false;
}

std::optional<bool> orderedBy(const std::string& orderBy, const char* column) {
  std::string o = lowerText(orderBy), c = lowerText(jet::quoteName(column));
  if (o == c || o == c + " asc") return false;
  if (o == c + " desc") return true;
  return std::nullopt;
}

std::vector<std::string> patternGrams(std::string_view pattern) {
  std::vector<std::string> grams;
  std::vector<std::size_t> starts;  // of the present run's characters
  for (std::size_t i = 0; i <= pattern.size(); ++i) {
    const char c = i < pattern.size() ? pattern[i] : '%';
    if (c == '\0') return {};
    if (c == '%' || c == '_') {
      for (std::size_t k = 0; k + 3 <= starts.size(); ++k) {
        const std::size_t end = k + 3 < starts.size() ? starts[k + 3] : i;
        std::string g = lowerText(std::string(pattern.substr(starts[k], end - starts[k])));
        if (std::find(grams.begin(), grams.end(), g) == grams.end()) grams.push_back(std::move(g));
      }
      starts.clear();
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      starts.push_back(i);
    }
  }
  return grams;
}

DayPlace placeInDays(const std::vector<std::pair<std::string, std::int64_t>>& days, std::int64_t offset) {
  DayPlace p;
  while (p.at < days.size() && p.before + days[p.at].second <= offset) p.before += days[p.at++].second;
  p.total = p.before;
  for (std::size_t i = p.at; i < days.size(); ++i) p.total += days[i].second;
  return p;
}

// Plans follow the indexes and the helper tables may come and go (a restored
// copy), so what is learnt of them holds for one schema version.
void HelperTables::checkSchema() {
  sqlite3_stmt* v = db_.prepared("pragma schema_version");
  std::int64_t schema = 0;
  {
    Use use(v);
    schema = db_.step(v) ? sqlite3_column_int64(v, 0) : 0;
  }
  if (schema == schema_) return;
  ++schemaChanges_;
  ties_.clear();
  bounded_.clear();
  helpers_.clear();
  std::set<std::string> names;
  {
    sqlite3_stmt* s = db_.prepared("select lower(name) from sqlite_schema where type in ('table', 'trigger')");
    Use use(s);
    while (db_.step(s)) names.insert(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
  }
  auto present = [&](const std::string& helper) {
    if (!names.count(lowerText(helper))) return;
    for (const auto& trigger : triggersOf(helper))
      if (!names.count(lowerText(trigger))) return;
    helpers_.insert(lowerText(helper));
  };
  for (const Tally& t : tallies()) present(t.name);
  for (const NameSearch& n : nameSearches()) present(n.name);
  schema_ = schema;
}

const Tally* HelperTables::tallyFor(const jet::Statement& st) {
  if (st.where.empty()) return nullptr;
  checkSchema();
  for (const Tally& t : tallies())
    if (helpers_.count(lowerText(t.name)) && sameTable(st, t.table) && valueCondition(st.where, t.group)) return &t;
  return nullptr;
}

std::optional<HelperTables::Placed> HelperTables::tallyWindow(const jet::Statement& st, std::span<const Value> params,
                                                              std::int64_t offset, std::int64_t limit) {
  if (st.top) return std::nullopt;
  const Tally* t = tallyFor(st);
  if (!t) return std::nullopt;
  const std::optional<bool> desc = orderedBy(st.orderBy, t->day);
  if (!desc) return std::nullopt;
  const std::string from = "select " + st.table + ".rowid from " + st.table + " where (" + st.where + ") and " +
                           jet::quoteName(t->day) + (*desc ? " < ?" : " >= ?") + " order by " + st.orderBy;
  auto known = bounded_.find(st.text);
  if (known == bounded_.end()) {
    const std::string index = walkedIndex(db_.plan(keysText(st, false)));
    if (bounded_.size() > 256) bounded_.clear();
    known = bounded_.emplace(st.text, !index.empty() && walkedIndex(db_.plan(from)) == index).first;
  }
  if (!known->second) return std::nullopt;

  std::vector<std::pair<std::string, std::int64_t>> days;
  {
    sqlite3_stmt* s = db_.prepared("select day, sum(n) from " + jet::quoteName(t->name) + " where " + st.where +
                                   " group by day having sum(n) > 0 order by day " + (*desc ? "desc" : "asc"));
    Use use(s);
    db_.bindAll(s, params, 0);
    while (db_.step(s)) {
      const auto* d = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
      days.emplace_back(d ? d : "", sqlite3_column_int64(s, 1));
      if (days.back().first.size() != 10) return std::nullopt;
    }
  }
  const DayPlace place = placeInDays(days, offset);
  Placed out{{}, place.total};
  if (place.at == days.size()) return out;
  // Descending: every row before the day's end; ascending: every row from its start.
  std::string bound = days[place.at].first;
  if (*desc) ++bound.back();
  sqlite3_stmt* s = db_.prepared(from + " limit ? offset ?");
  Use use(s);
  int n = db_.bindAll(s, params, 3);
  db_.bindText(s, n + 1, bound);
  db_.bindInt(s, n + 2, limit);
  db_.bindInt(s, n + 3, offset - place.before);
  while (db_.step(s)) out.keys.push_back(sqlite3_column_int64(s, 0));
  return out;
}

// The ordering of the whole list's index walk, spelt out: the list's own
// terms, then the walked index's other columns and the row key (`key`), all
// in the walk's direction; with `columns` the names it may use (of the
// name search's table, whose columns compare as the index's do). Empty when
// the list is no walk of one index in one direction, or needs other columns.
std::string HelperTables::walkOrder(const jet::Statement& st, const std::string& key,
                                    const std::set<std::string>& columns) {
  checkSchema();
  const std::string cacheKey = st.text + '\n' + key;
  if (auto it = ties_.find(cacheKey); it != ties_.end()) return it->second;
  std::string order;
  const std::string index = walkedIndex(db_.plan(keysText(st, false)));
  std::optional<bool> desc;
  bool uniform = !st.orderBy.empty();
  std::set<std::string> ordered;  // the columns the list's own terms name
  for (std::string term : splitTerms(st.orderBy)) {
    term = lowerText(term);
    while (!term.empty() && term.front() == ' ') term.erase(0, 1);
    const bool d = term.ends_with(" desc");
    std::string name = term.substr(0, term.find(' '));
    ordered.insert(name);
    if (name.size() < 2 || name.front() != '"' || name.back() != '"' ||
        !columns.count(name.substr(1, name.size() - 2)) || (desc && *desc != d) ||
        (term != name && term != name + " asc" && term != name + " desc"))
      uniform = false;
    desc = d;
  }
  if (!index.empty() && uniform && index.find('"') == std::string::npos) {
    const std::string dir = *desc ? " desc" : " asc";
    order = st.orderBy;
    sqlite3_stmt* s = db_.prepared("pragma index_xinfo(\"" + index + "\")");
    Use use(s);
    while (db_.step(s)) {
      if (sqlite3_column_int(s, 5) == 0) continue;  // the row id, which is `key` here
      const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(s, 2));
      const auto* coll = reinterpret_cast<const char*>(sqlite3_column_text(s, 4));
      if (!name || !columns.count(lowerText(name)) || sqlite3_column_int(s, 3) != 0 || !coll ||
          lowerText(coll) != "binary") {
        order.clear();
        break;
      }
      // A column named twice would make the engine sort what the index gives in order.
      if (!ordered.count(lowerText(jet::quoteName(name)))) order += ", " + jet::quoteName(name) + dir;
    }
    if (!order.empty()) order += ", " + key + dir;
  }
  if (ties_.size() > 256) ties_.clear();
  ties_.emplace(cacheKey, order);
  return order;
}

std::optional<std::vector<std::int64_t>> HelperTables::searchKeys(const jet::Statement& st,
                                                                  std::span<const Value> params) {
  if (st.top || st.likes.empty()) return std::nullopt;
  checkSchema();
  for (const NameSearch& n : nameSearches()) {
    if (!helpers_.count(lowerText(n.name)) || !sameTable(st, n.table)) continue;
    std::set<std::string> columns{lowerText(n.key)};
    for (const char* c : n.columns) columns.insert(lowerText(c));
    if (!std::all_of(st.whereColumns.begin(), st.whereColumns.end(), [&](const auto& c) { return columns.count(c); }))
      continue;
    for (const auto& like : st.likes) {
      if (like.column != lowerText(n.column) || like.param < 0 || static_cast<std::size_t>(like.param) >= params.size())
        continue;
      const auto* pattern = std::get_if<std::string>(&params[static_cast<std::size_t>(like.param)].raw());
      if (!pattern) continue;
      const std::vector<std::string> grams = patternGrams(*pattern);
      if (grams.empty()) continue;
      const std::string order = walkOrder(st, jet::quoteName(n.key), columns);
      if (order.empty()) return std::nullopt;
      const std::string search = jet::quoteName(n.name);
      const std::string* rarest = &grams.front();
      if (grams.size() > 1) {
        // Counted from the pattern's end (a name's last characters tell it apart more often
        // than its first), each count stopping at the fewest found so far.
        sqlite3_stmt* s = db_.prepared("select count(*) from (select 1 from " + search + " where gram = ? limit ?)");
        std::int64_t fewest = kGramCount + 1;
        for (auto g = grams.rbegin(); g != grams.rend() && fewest > 0; ++g) {
          Use use(s);
          db_.bindText(s, 1, *g);
          db_.bindInt(s, 2, std::min(fewest, kGramCount));
          const std::int64_t rows = db_.step(s) ? sqlite3_column_int64(s, 0) : 0;
          if (rows < fewest) {
            fewest = rows;
            rarest = &*g;
          }
        }
      }
      sqlite3_stmt* s = db_.prepared("select " + jet::quoteName(n.key) + " from " + search + " where gram = ? and (" +
                                     st.where + ") order by " + order);
      Use use(s);
      db_.bindText(s, 1, *rarest);
      for (std::size_t i = 0; i < params.size(); ++i) db_.bind(s, static_cast<int>(i) + 2, params[i]);
      std::vector<std::int64_t> keys;
      while (db_.step(s)) keys.push_back(sqlite3_column_int64(s, 0));
      return keys;
    }
  }
  return std::nullopt;
}

}  // namespace tovi::data::internal
