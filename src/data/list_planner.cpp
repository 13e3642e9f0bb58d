#include "data/list_planner.h"

#include <algorithm>

namespace tovi::data::internal {

std::vector<std::string> splitTerms(const std::string& order) {
  std::vector<std::string> terms;
  std::string term;
  int depth = 0;
  char quote = 0;
  for (char c : order) {
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    } else if (c == ',' && depth == 0) {
      terms.push_back(term);
      term.clear();
      continue;
    }
    term += c;
  }
  terms.push_back(term);
  return terms;
}

std::string reversedOrder(const std::string& order) {
  std::string out;
  for (std::string t : splitTerms(order)) {
    while (!t.empty() && t.back() == ' ') t.pop_back();
    while (!t.empty() && t.front() == ' ') t.erase(0, 1);
    std::string upper(t);
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    if (upper.find("NULLS") != std::string::npos) return {};
    if (upper.ends_with(" DESC"))
      t = t.substr(0, t.size() - 5) + " asc";
    else if (upper.ends_with(" ASC"))
      t = t.substr(0, t.size() - 4) + " desc";
    else
      t += " desc";
    out += (out.empty() ? "" : ", ") + t;
  }
  return out;
}

std::string keysText(const jet::Statement& st, bool reverse) {
  std::string order = st.orderBy.empty() ? std::string("rowid") : st.orderBy;
  if (reverse) order = reversedOrder(order);
  std::string text = "select " + st.table + ".rowid from " + st.table;
  if (!st.where.empty()) text += " where " + st.where;
  return text + " order by " + order;
}

std::string rowText(const std::string& table) {
  return "select " + table + ".rowid, * from " + table + " where rowid=?";
}

std::vector<std::int64_t> slice(const std::vector<std::int64_t>& keys, std::int64_t offset, std::int64_t limit) {
  auto from = std::min<std::size_t>(static_cast<std::size_t>(offset), keys.size());
  auto to = std::min<std::size_t>(from + static_cast<std::size_t>(limit), keys.size());
  return {keys.begin() + static_cast<long>(from), keys.begin() + static_cast<long>(to)};
}

std::string walkedIndex(const std::vector<std::string>& plan) {
  if (plan.size() != 1 || plan[0].find("TEMP B-TREE") != std::string::npos) return {};
  auto at = plan[0].find("INDEX ");
  if (at == std::string::npos) return {};
  std::string name = plan[0].substr(at + 6);
  return name.substr(0, name.find(' '));
}

bool sameSingleWalk(const std::vector<std::string>& forward, const std::vector<std::string>& backward) {
  return forward.size() == 1 && forward == backward && forward[0].find("TEMP B-TREE") == std::string::npos;
}

Reach fromTheEnd(std::int64_t offset, std::int64_t limit, std::int64_t total) {
  const std::int64_t rest = total - offset;
  const std::int64_t rows = std::min(limit, rest);
  return {rest - rows, rows};
}

// The version is read before the list is, so a change landing in between
// makes the state look older than it is, never newer.
std::pair<std::int64_t, std::int64_t> ListPlanner::fileVersion() {
  sqlite3_stmt* s = db_.prepared("pragma data_version");
  Use use(s);
  std::int64_t v = db_.step(s) ? sqlite3_column_int64(s, 0) : 0;
  return {v, static_cast<std::int64_t>(sqlite3_total_changes64(db_.db()))};
}

ListPlanner::ListState& ListPlanner::list(const jet::Statement& st, std::span<const Value> params) {
  auto version = fileVersion();
  for (auto it = lists_.begin(); it != lists_.end(); ++it) {
    if (it->text != st.text || !std::equal(it->params.begin(), it->params.end(), params.begin(), params.end()))
      continue;
    if (it->version != version) {
      lists_.erase(it);
      break;
    }
    if (it != lists_.begin()) {
      ListState moved = std::move(*it);
      lists_.erase(it);
      lists_.push_front(std::move(moved));
    }
    return lists_.front();
  }
  ListState fresh;
  fresh.text = st.text;
  fresh.params.assign(params.begin(), params.end());
  fresh.version = version;
  lists_.push_front(std::move(fresh));
  if (lists_.size() > 4) lists_.pop_back();
  return lists_.front();
}

// Counted by the engine over the narrowest index that holds the condition's
// columns. A condition that reads only a tally's group column is counted from
// the tally; one with a name a name search can narrow, by reading its keys.
std::int64_t ListPlanner::tableCount(const jet::Statement& st, std::span<const Value> params, ListState& l) {
  if (l.keys) return static_cast<std::int64_t>(l.keys->size());
  if (!l.count && searchAll(st, params, l)) return static_cast<std::int64_t>(l.keys->size());
  if (!l.count) {
    std::string text = "select count(*) from " + st.table;
    if (const Tally* t = helpers_.tallyFor(st)) text = "select coalesce(sum(n), 0) from " + jet::quoteName(t->name);
    if (!st.where.empty()) text += " where " + st.where;
    sqlite3_stmt* s = db_.prepared(text);
    Use use(s);
    db_.bindAll(s, params, 0);
    l.count = db_.step(s) ? sqlite3_column_int64(s, 0) : 0;
  }
  return *l.count;
}

std::int64_t ListPlanner::count(const jet::Statement& st, std::span<const Value> params) {
  return tableCount(st, params, list(st, params));
}

bool ListPlanner::searchAll(const jet::Statement& st, std::span<const Value> params, ListState& l) {
  if (l.searched) return false;
  l.searched = true;
  l.keys = helpers_.searchKeys(st, params);
  return l.keys.has_value();
}

void ListPlanner::remember(ListState& l, std::int64_t offset, std::int64_t limit, std::vector<std::int64_t> keys) {
  l.windows.push_front({offset, limit, std::move(keys)});
  if (l.windows.size() > 8) l.windows.pop_back();
}

std::vector<std::int64_t> ListPlanner::windowKeys(const jet::Statement& st, std::span<const Value> params,
                                                  std::int64_t offset, std::int64_t limit) {
  ListState& l = list(st, params);
  if (l.keys || searchAll(st, params, l)) return slice(*l.keys, offset, limit);
  for (const auto& w : l.windows)
    if (w.offset == offset && w.limit == limit) return w.keys;
  const bool deep = offset > kDeep;
  if (deep)
    if (auto placed = helpers_.tallyWindow(st, params, offset, limit)) {
      if (!l.count) l.count = placed->total;
      remember(l, offset, limit, placed->keys);
      return placed->keys;
    }
  const bool walking =
      std::any_of(l.windows.begin(), l.windows.end(), [&](const auto& w) { return w.offset + w.limit == offset; });
  if (deep && walking) {
    sqlite3_stmt* s = db_.prepared(keysText(st, false));
    Use use(s);
    db_.bindAll(s, params, 0);
    std::vector<std::int64_t> all;
    while (db_.step(s)) all.push_back(sqlite3_column_int64(s, 0));
    l.windows.clear();
    l.keys = std::move(all);
    return slice(*l.keys, offset, limit);
  }
  std::vector<std::int64_t> keys;
  bool reverse = false;
  std::int64_t from = offset, rows = limit;
  if (deep) {
    std::int64_t total = tableCount(st, params, l);
    if (total <= offset) return keys;
    if (total - offset < offset && !st.top && reversible(st)) {
      reverse = true;
      Reach r = fromTheEnd(offset, limit, total);
      from = r.from;
      rows = r.rows;
    }
  }
  sqlite3_stmt* s = db_.prepared(keysText(st, reverse) + " limit ? offset ?");
  Use use(s);
  int n = db_.bindAll(s, params, 2);
  db_.bindInt(s, n + 1, rows);
  db_.bindInt(s, n + 2, from);
  while (db_.step(s)) keys.push_back(sqlite3_column_int64(s, 0));
  if (reverse) std::reverse(keys.begin(), keys.end());
  remember(l, offset, limit, keys);
  return keys;
}

bool ListPlanner::reversible(const jet::Statement& st) {
  helpers_.checkSchema();
  if (helpers_.schemaChanges() != reversibleSchema_) {
    reversible_.clear();
    reversibleSchema_ = helpers_.schemaChanges();
  }
  if (auto it = reversible_.find(st.text); it != reversible_.end()) return it->second;
  bool ok = !reversedOrder(st.orderBy.empty() ? std::string("rowid") : st.orderBy).empty() &&
            sameSingleWalk(db_.plan(keysText(st, false)), db_.plan(keysText(st, true)));
  if (reversible_.size() > 256) reversible_.clear();
  reversible_.emplace(st.text, ok);
  return ok;
}

}  // namespace tovi::data::internal
