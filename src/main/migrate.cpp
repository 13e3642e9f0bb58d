#include "main/migrate.h"

#include <libpq-fe.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iomanip>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>

#include "data/connection.h"
#include "data/engine.h"
#include "data/jet_sql.h"
#include "data/schema.h"
#include "frame/text.h"

namespace tovi::site {
namespace {

using data::Row;
using data::Value;

constexpr std::int64_t kChunk = 2000;  // rows read per statement
constexpr std::int64_t kAll = std::numeric_limits<std::int64_t>::max();

// One libpq connection for the copy (the engines work a statement at a time,
// each its own transaction; the copy is one).
class Server {
 public:
  explicit Server(const std::string& url) : conn_(PQconnectdb(url.c_str()), PQfinish) {
    if (PQstatus(conn_.get()) != CONNECTION_OK)
      throw data::Error("cannot connect to " + shownLocation(url) + ": " + PQerrorMessage(conn_.get()));
    PQsetClientEncoding(conn_.get(), "UTF8");
  }
  using Result = std::unique_ptr<PGresult, void (*)(PGresult*)>;
  Result run(const std::string& sql) {
    Result r(PQexec(conn_.get(), sql.c_str()), PQclear);
    ExecStatusType s = PQresultStatus(r.get());
    if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK && s != PGRES_COPY_IN) fail(sql);
    return r;
  }
  std::vector<std::vector<std::string>> rows(const std::string& sql) {
    Result r = run(sql);
    std::vector<std::vector<std::string>> out(static_cast<std::size_t>(PQntuples(r.get())));
    for (int i = 0; i < PQntuples(r.get()); ++i)
      for (int c = 0; c < PQnfields(r.get()); ++c) out[static_cast<std::size_t>(i)].emplace_back(PQgetvalue(r.get(), i, c));
    return out;
  }
  void copyData(const std::string& bytes) {
    if (PQputCopyData(conn_.get(), bytes.data(), static_cast<int>(bytes.size())) != 1) fail("copy");
  }
  void copyEnd() {
    if (PQputCopyEnd(conn_.get(), nullptr) != 1) fail("copy");
    bool ok = true;
    std::string why;
    while (PGresult* r = PQgetResult(conn_.get())) {
      if (PQresultStatus(r) != PGRES_COMMAND_OK) ok = false, why = PQresultErrorMessage(r);
      PQclear(r);
    }
    if (!ok) throw data::Error("copy: " + why);
  }

 private:
  [[noreturn]] void fail(const std::string& what) {
    throw data::Error(what.substr(0, 200) + ": " + PQerrorMessage(conn_.get()));
  }
  std::unique_ptr<PGconn, void (*)(PGconn*)> conn_;
};

// A field as the checksum reads it: the same text for the same value whichever
// engine gave it (a whole decimal as an integer, a logical as 1/0).
std::string sumText(const Value& v) {
  using K = Value::Kind;
  switch (v.kind()) {
    case K::Empty:
    case K::Null:
      return "\x01";
    case K::Boolean:
      return v.toBool() ? "1" : "0";
    case K::Date:
      return v.toDate()->iso();
    case K::Decimal: {
      double d = std::get<double>(v.raw());
      if (std::nearbyint(d) == d && std::fabs(d) < 1e15) return std::to_string(static_cast<std::int64_t>(d));
      char buf[32];
      return std::string(buf, std::to_chars(buf, buf + sizeof buf, d).ptr);
    }
    default:
      return v.text();
  }
}

// A field in COPY's text form.
std::string copyText(const Value& v) {
  using K = Value::Kind;
  if (v.kind() == K::Empty || v.kind() == K::Null) return "\\N";
  std::string text = v.kind() == K::Boolean ? (v.toBool() ? "t" : "f") : v.kind() == K::Text ? v.text() : sumText(v);
  std::string out;
  for (char c : text) {
    if (c == '\\') out += "\\\\";
    else if (c == '\t') out += "\\t";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
  return out;
}

// Reads `table` in chunks: by `key` ascending, or all of it at once without
// one. `each` gets the columns and each chunk's rows.
template <class Each>
void readTable(data::Engine& engine, const std::string& table, const std::string& key, Each each) {
  const std::string from = "select * from " + table;
  if (key.empty()) {
    std::vector<Row> rows;
    std::vector<data::Column> columns;
    engine.fetch(*data::jet::translate(from, engine.dialect()), {}, 0, kAll, rows, &columns);
    each(columns, rows);
    return;
  }
  auto st = data::jet::translate(from + " where " + key + " > ? order by " + key, engine.dialect());
  for (Value after = Value(std::numeric_limits<std::int64_t>::min());;) {
    std::vector<Row> rows;
    std::vector<data::Column> columns;
    const Value params[] = {after};
    engine.fetch(*st, params, 0, kChunk, rows, &columns);
    if (rows.empty()) return;
    each(columns, rows);
    after = rows.back()[0];
  }
}

// Where each of `wanted` sits in a row of `columns` (0: not there; a row's
// element 0 is its id).
std::vector<std::size_t> places(const std::vector<data::Column>& columns, const std::vector<std::string>& wanted) {
  std::vector<std::size_t> out;
  for (const std::string& w : wanted) {
    auto it = std::find_if(columns.begin(), columns.end(),
                           [&](const data::Column& c) { return frame::asciiLower(c.name) == frame::asciiLower(w); });
    out.push_back(it == columns.end() ? 0 : static_cast<std::size_t>(it - columns.begin()) + 1);
  }
  return out;
}

struct Fnv {
  std::uint64_t h = 14695981039346656037ull;
  void add(std::string_view s) {
    for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
  }
};

// The site's tables on the server: name -> its auto-number key ("" for a
// settings table, whose key is hidden and generated).
std::map<std::string, std::string> serverKeys(Server& db) {
  std::map<std::string, std::string> out;
  for (auto& r : db.rows("select table_name, column_name, identity_generation from information_schema.columns "
                         "where table_schema = current_schema() and is_identity = 'YES'"))
    out[r[0]] = r[2] == "ALWAYS" ? "" : r[1];
  return out;
}

// What a database that should be empty holds: "tdgl (3 rows)" ...
std::vector<std::string> heldRows(Server& db) {
  const auto keys = serverKeys(db);
  std::vector<std::string> held;
  for (auto& t : db.rows("select table_name from information_schema.tables "
                         "where table_schema = current_schema() and table_type = 'BASE TABLE' order by 1")) {
    const std::string& name = t[0];
    const long n = std::stol(db.rows("select count(*) from " + data::jet::pgName(name))[0][0]);
    auto key = keys.find(name);
    const bool settings = key != keys.end() && key->second.empty();
    if (n > (settings ? 1 : 0)) held.push_back(name + " (" + std::to_string(n) + (n == 1 ? " row)" : " rows)"));
  }
  return held;
}

// The site's tables in the file, without the helper tables its triggers fill.
std::vector<std::string> fileTables(data::Engine& file) {
  std::set<std::string> helpers;
  for (const auto& t : data::tallies()) helpers.insert(frame::asciiLower(t.name));
  for (const auto& s : data::nameSearches()) helpers.insert(frame::asciiLower(s.name));
  std::vector<Row> rows;
  file.fetch(*data::jet::translate("select name from sqlite_schema where type = 'table' order by name"), {}, 0, kAll,
             rows, nullptr);
  std::vector<std::string> out;
  for (const Row& r : rows) {
    std::string name = r[1].text();
    if (!frame::asciiLower(name).starts_with("sqlite_") && !helpers.count(frame::asciiLower(name)))
      out.push_back(name);
  }
  return out;
}

// The highest auto-number the file gave in each table (lower-case name).
std::map<std::string, std::int64_t> fileSequences(data::Engine& file) {
  std::map<std::string, std::int64_t> out;
  std::vector<Row> rows;
  try {
    file.fetch(*data::jet::translate("select name, seq from sqlite_sequence"), {}, 0, kAll, rows, nullptr);
  } catch (const data::Error&) {
    return out;  // no table with an auto-number ever had a row
  }
  for (const Row& r : rows) out[frame::asciiLower(r[1].text())] = r[2].toInteger();
  return out;
}

}  // namespace

TableSum sumTable(data::Engine& engine, const std::string& table, const std::string& key,
                  const std::vector<std::string>& columns) {
  TableSum sum;
  Fnv fnv;
  std::vector<std::string> lines;
  readTable(engine, table, key, [&](const std::vector<data::Column>& cols, const std::vector<Row>& rows) {
    const std::vector<std::size_t> at = places(cols, columns);
    for (const Row& r : rows) {
      std::string line;
      for (std::size_t p : at) line += (p ? sumText(r[p]) : sumText(Value::null())) + '\x1f';
      line += '\n';
      ++sum.rows;
      if (key.empty()) lines.push_back(std::move(line));
      else fnv.add(line);
    }
  });
  std::sort(lines.begin(), lines.end());
  for (const std::string& l : lines) fnv.add(l);
  sum.checksum = fnv.h;
  return sum;
}

bool Migration::same() const {
  return std::all_of(tables.begin(), tables.end(), [](const Table& t) { return t.file == t.server; });
}

Migration migrate(const std::string& file, const std::string& url) {
  Migration m{shownLocation(url), {}};
  Server db(url);
  if (std::vector<std::string> held = heldRows(db); !held.empty()) {
    std::string list;
    for (const std::string& h : held) list += (list.empty() ? "" : ", ") + h;
    throw std::runtime_error(m.to + " is not empty: it holds " + list +
                             "; migrate copies a site into an empty database only");
  }
  data::ensureDatabase(url);
  auto source = data::openEngine(file);
  const std::map<std::string, std::string> keys = serverKeys(db);
  const std::map<std::string, std::int64_t> sequences = fileSequences(*source);
  struct Plan {
    std::string table, key;
    std::vector<std::string> columns;
  };
  std::vector<Plan> plans;
  for (const std::string& table : fileTables(*source)) {
    auto key = keys.find(frame::asciiLower(table));
    if (key == keys.end()) throw data::Error("the server's schema has no table " + table + " of the file");
    plans.push_back({table, key->second, {}});
  }

  db.run("begin");
  for (Plan& p : plans) {
    const std::string name = data::jet::pgName(p.table);
    db.run("delete from " + name);  // a settings table's row, made with the schema
    std::int64_t highest = 0;
    bool copying = false;
    readTable(*source, p.table, p.key, [&](const std::vector<data::Column>& cols, const std::vector<Row>& rows) {
      if (!copying) {
        std::string list;
        for (const data::Column& c : cols) {
          p.columns.push_back(c.name);
          list += (list.empty() ? "" : ", ") + data::jet::pgName(c.name);
        }
        db.run("copy " + name + " (" + list + ") from stdin");
        copying = true;
      }
      std::string chunk;
      for (const Row& r : rows) {
        for (std::size_t i = 1; i < r.size(); ++i) chunk += copyText(r[i]) + (i + 1 < r.size() ? "\t" : "\n");
        if (!p.key.empty()) highest = std::max(highest, r[0].toInteger());
      }
      db.copyData(chunk);
    });
    if (copying) db.copyEnd();
    auto seq = sequences.find(frame::asciiLower(p.table));
    if (seq != sequences.end()) highest = std::max(highest, seq->second);
    if (!p.key.empty() && highest > 0)
      db.run("select setval(pg_get_serial_sequence('" + name + "', '" + data::jet::pgName(p.key) + "'), " +
             std::to_string(highest) + ")");
  }
  db.run("commit");

  auto target = data::openEngine(url);
  for (const Plan& p : plans)
    m.tables.push_back({p.table, sumTable(*source, p.table, p.key, p.columns),
                        sumTable(*target, p.table, p.key, p.columns)});
  return m;
}

void printMigration(const Migration& m, std::ostream& out) {
  auto hex = [](std::uint64_t v) {
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
    return std::string(buf);
  };
  out << std::left << std::setw(20) << "table" << std::right << std::setw(10) << "file" << std::setw(10) << "server"
      << "  " << std::setw(16) << "file checksum" << "  " << std::setw(16) << "server checksum" << "\n";
  std::int64_t rows = 0;
  for (const Migration::Table& t : m.tables) {
    rows += t.file.rows;
    out << std::left << std::setw(20) << t.name << std::right << std::setw(10) << t.file.rows << std::setw(10)
        << t.server.rows << "  " << hex(t.file.checksum) << "  " << hex(t.server.checksum) << "  "
        << (t.file == t.server ? "same" : "DIFFERENT") << "\n";
  }
  if (m.same())
    out << "tovi: copied " << rows << " rows of " << m.tables.size() << " tables into " << m.to
        << "; every table holds the same rows\n";
  else
    out << "tovi: the copy in " << m.to << " differs from the file in the tables marked DIFFERENT\n";
}

std::string shownLocation(std::string_view location) {
  std::string s(location);
  if (!data::isServerLocation(s)) return s;
  const std::size_t scheme = s.find("://") + 3, at = s.find('@', scheme), slash = s.find('/', scheme);
  if (at != std::string::npos && at < slash) {
    const std::size_t colon = s.find(':', scheme);
    if (colon < at) s.erase(colon, at - colon);
  }
  for (std::size_t p = s.find("password="); p != std::string::npos; p = s.find("password=", p + 1)) {
    if (p == 0 || (s[p - 1] != '?' && s[p - 1] != '&')) continue;
    std::size_t end = s.find('&', p);
    s.replace(p + 9, end == std::string::npos ? std::string::npos : end - p - 9, "***");
  }
  return s;
}

}  // namespace tovi::site
