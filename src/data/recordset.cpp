#include "data/recordset.h"

#include <algorithm>
#include <deque>
#include <unordered_map>

#include "data/engine.h"
#include "data/jet_sql.h"

namespace tovi::data {
namespace {

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

}  // namespace

// Positions are 1-based; 0 is before the first row, count + 1 after the last.
// Rows are fetched in windows starting at the row the cursor reaches; the row
// count is learnt from a short window or asked of the engine when needed.
class Recordset::Impl {
 public:
  std::shared_ptr<Engine> engine;
  std::shared_ptr<const jet::Statement> st;
  std::vector<Value> params;
  std::vector<Column> columns;
  std::unordered_map<std::string, int> byName;
  std::deque<Field> fields;
  bool readOnly = true;

  std::optional<std::int64_t> total;
  std::int64_t pos = 1;
  std::int64_t windowStart = 0;  // position of window[0]; 0 when nothing is fetched
  std::vector<Row> window;

  // Adding a row, or the row just added (which lies outside the windows).
  bool adding = false;
  std::optional<Row> added;
  // Assigned values not yet written, by column.
  std::vector<std::optional<Value>> edits;
  bool edited = false;

  long pageSize = 10;

  std::int64_t count() {
    if (!total) total = engine->count(*st, params);
    return *total;
  }

  void fetchAt(std::int64_t p) {
    window.clear();
    windowStart = p;
    std::int64_t limit = std::clamp<std::int64_t>(pageSize, 32, 1000);
    std::size_t got = engine->fetch(*st, params, p - 1, limit, window, nullptr);
    if ((got > 0 || p == 1) && static_cast<std::int64_t>(got) < limit) total = p - 1 + static_cast<std::int64_t>(got);
    // A window that reaches a `top` ends the rows, so stepping past it needs no count.
    else if (st->top && got > 0 && p - 1 + static_cast<std::int64_t>(got) >= *st->top) total = *st->top;
  }

  // Whether row p exists; fetches the window that holds it.
  bool exists(std::int64_t p) {
    if (p < 1) return false;
    if (total && p > *total) return false;
    if (windowStart == 0 || p < windowStart || p >= windowStart + static_cast<std::int64_t>(window.size())) {
      fetchAt(p);
      if (window.empty()) {
        // Fewer rows than counted: rows went away since; the end is where they stop.
        if (total) total = p - 1;
        else total = std::min(count(), p - 1);
        return false;
      }
    }
    return true;
  }

  const Row& current() {
    if (added) return *added;
    if (!exists(pos)) throw Error("no current row: the record set is at its beginning or end");
    return window[static_cast<std::size_t>(pos - windowStart)];
  }

  bool atEnd() {
    if (adding || added) return false;
    if (pos == 0) return count() == 0;
    return !exists(pos);
  }
  bool atBeginning() {
    if (adding || added) return false;
    return pos == 0 || (pos == 1 && !exists(1));
  }

  // The position the cursor stands for, counting the added row as the last one.
  std::int64_t position() {
    if (added) return count();
    return pos;
  }

  void requireWritable() const {
    if (readOnly) throw Error("the record set is read-only");
    if (st->table.empty()) throw Error("the rows of this query cannot be written: " + st->text);
  }

  const Value& value(int column) {
    if (const auto& e = edits[static_cast<std::size_t>(column)]) return *e;
    if (adding) {
      static const Value empty;
      return empty;
    }
    return current()[static_cast<std::size_t>(column) + 1];
  }

  void assign(int column, Value v) {
    requireWritable();
    if (!adding) (void)current();
    const Column& c = columns[static_cast<std::size_t>(column)];
    edits[static_cast<std::size_t>(column)] = toColumn(v, c.type, c.name);
    edited = true;
  }

  void update() {
    if (!adding && !edited) return;
    requireWritable();
    std::vector<std::string> names;
    std::vector<Value> values;
    for (std::size_t i = 0; i < edits.size(); ++i) {
      if (!edits[i]) continue;
      names.push_back(columns[i].name);
      values.push_back(*edits[i]);
    }
    std::optional<Row> fresh;
    if (adding)
      fresh = engine->insert(st->table, names, values);
    else if (!(fresh = engine->update(st->table, current()[0].toInteger(), names, values)))
      throw Error("the row to be updated no longer exists");
    if (adding || added) {
      added = std::move(fresh);
      total.reset();
      windowStart = 0;
      window.clear();
    } else {
      window[static_cast<std::size_t>(pos - windowStart)] = std::move(*fresh);
    }
    adding = false;
    clearEdits();
  }

  void clearEdits() {
    std::fill(edits.begin(), edits.end(), std::nullopt);
    edited = false;
  }

  // Leaving a row writes what was assigned to it, as the pages' interface does.
  void leaveRow() {
    if (adding || edited) update();
    if (added) {
      pos = count();
      added.reset();
    }
  }

  void moveTo(std::int64_t target) {
    if (target < 1) {
      pos = 0;
    } else if (exists(target)) {
      pos = target;
    } else {
      pos = count() + 1;
    }
  }
};

const Value& Field::value() const { return rs_->impl().value(column_); }

Field& Field::operator=(Value v) {
  rs_->impl().assign(column_, std::move(v));
  return *this;
}

Recordset::Recordset() = default;
Recordset::~Recordset() = default;

Recordset::Impl& Recordset::impl() {
  if (!impl_) throw Error("the record set is not open");
  return *impl_;
}

void Recordset::Open(const Sql& sql, Connection& conn, int, int lockType) {
  auto st = jet::translate(sql.text, conn.engine().dialect());
  if (st->kind != jet::Statement::Kind::Select) throw Error("a record set needs a select statement: " + sql.text);
  if (st->params != static_cast<int>(sql.params.size()))
    throw Error("statement has " + std::to_string(st->params) + " parameter marks but " +
                std::to_string(sql.params.size()) + " values were given");
  auto impl = std::make_unique<Impl>();
  impl->engine = conn.sharedEngine();
  if (!impl->engine) throw Error("the connection is not open");
  impl->st = st;
  impl->params = sql.params;
  impl->columns = impl->engine->describe(*st);
  impl->readOnly = lockType == adLockReadOnly;
  impl->pageSize = pageSize_;
  impl->edits.resize(impl->columns.size());
  for (std::size_t i = 0; i < impl->columns.size(); ++i) {
    impl->byName.emplace(lower(impl->columns[i].name), static_cast<int>(i));
    impl->fields.push_back(Field(*this, impl->columns[i].name, static_cast<int>(i)));
  }
  impl_ = std::move(impl);
}

void Recordset::Close() { impl_.reset(); }
bool Recordset::isOpen() const { return impl_ != nullptr; }
bool Recordset::Eof() { return impl().atEnd(); }
bool Recordset::Bof() { return impl().atBeginning(); }

Field& Recordset::Fields(std::string_view name) {
  Impl& i = impl();
  auto it = i.byName.find(lower(name));
  if (it == i.byName.end()) throw Error("no field named '" + std::string(name) + "' in: " + i.st->text);
  if (!i.adding) (void)i.current();
  return i.fields[static_cast<std::size_t>(it->second)];
}

void Recordset::AddNew() {
  Impl& i = impl();
  i.requireWritable();
  i.leaveRow();
  i.adding = true;
  i.clearEdits();
}

void Recordset::Update() { impl().update(); }

void Recordset::MoveNext() {
  Impl& i = impl();
  if (i.atEnd()) throw Error("MoveNext past the last row");
  i.leaveRow();
  i.moveTo(i.pos + 1);
}

void Recordset::MoveFirst() {
  Impl& i = impl();
  i.leaveRow();
  i.moveTo(1);
}

void Recordset::Move(long n) {
  Impl& i = impl();
  if (n > 0 && i.atEnd()) throw Error("Move forward from the end");
  if (n < 0 && i.atBeginning()) throw Error("Move back from the beginning");
  i.leaveRow();
  i.moveTo(i.pos + n);
}

long Recordset::RecordCount() { return static_cast<long>(impl().count()); }

void Recordset::PageSize(long rows) {
  if (rows < 1) throw Error("page size must be at least 1");
  pageSize_ = rows;
  if (impl_) impl_->pageSize = rows;
}

long Recordset::PageCount() {
  std::int64_t n = impl().count();
  return static_cast<long>((n + pageSize_ - 1) / pageSize_);
}

void Recordset::AbsolutePage(long page) {
  Impl& i = impl();
  if (page < 1 || page > PageCount()) throw Error("page " + std::to_string(page) + " is out of range");
  i.leaveRow();
  i.moveTo((static_cast<std::int64_t>(page) - 1) * pageSize_ + 1);
}

long Recordset::AbsolutePage() {
  Impl& i = impl();
  if (i.adding || i.atEnd() || i.atBeginning()) return -1;
  return static_cast<long>((i.position() - 1) / pageSize_ + 1);
}

Value Recordset::Bookmark() {
  Impl& i = impl();
  if (i.adding || i.atEnd() || i.atBeginning()) throw Error("no current row for a bookmark");
  return Value(static_cast<long long>(i.position()));
}

}  // namespace tovi::data
