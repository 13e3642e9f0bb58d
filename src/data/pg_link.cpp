#include "data/pg_link.h"

#include <charconv>
#include <cstdlib>

#include "data/connection.h"

namespace tovi::data::internal {
namespace {

// Type oids of pg_type that the site's columns and expressions have.
constexpr Oid kBool = 16, kInt8 = 20, kInt2 = 21, kInt4 = 23, kText = 25, kOid = 26, kFloat4 = 700, kFloat8 = 701,
              kBpchar = 1042, kVarchar = 1043, kDate = 1082, kTimestamp = 1114, kTimestamptz = 1184, kNumeric = 1700;

// Prepared statements kept per connection; texts with ids spliced in vary,
// so when this many are kept they are all dropped at once.
constexpr std::size_t kKept = 256;

bool whole(std::string_view t) { return t.find_first_of(".eEnN") == std::string_view::npos; }

}  // namespace

ColumnType pgColumnType(Oid type) {
  switch (type) {
    case kBool:
      return ColumnType::Boolean;
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
      return ColumnType::Integer;
    case kFloat4:
    case kFloat8:
    case kNumeric:
      return ColumnType::Decimal;
    case kText:
    case kBpchar:
    case kVarchar:
      return ColumnType::Text;
    case kDate:
    case kTimestamp:
    case kTimestamptz:
      return ColumnType::Date;
    default:
      return ColumnType::Other;
  }
}

Value PgResult::value(int row, int col) const {
  PGresult* r = r_.get();
  if (PQgetisnull(r, row, col)) return Value::null();
  std::string_view t(PQgetvalue(r, row, col), static_cast<std::size_t>(PQgetlength(r, row, col)));
  switch (pgColumnType(PQftype(r, col))) {
    case ColumnType::Boolean:
      return Value(t == "t");
    case ColumnType::Integer: {
      long long v = 0;
      std::from_chars(t.data(), t.data() + t.size(), v);
      return Value(v);
    }
    case ColumnType::Decimal:
      // A sum of whole numbers is a whole number, as the file engine gives it.
      if (PQftype(r, col) == kNumeric && whole(t)) {
        long long v = 0;
        if (std::from_chars(t.data(), t.data() + t.size(), v).ec == std::errc()) return Value(v);
      }
      return Value(std::strtod(std::string(t).c_str(), nullptr));
    case ColumnType::Date:
      if (auto d = DateTime::parse(t.substr(0, 19))) return Value(*d);
      return Value(t);
    default:
      return Value(t);
  }
}

Row PgResult::row(int r, int key, int from) const {
  Row out;
  out.reserve(static_cast<std::size_t>(columns() - from + 1));
  out.push_back(key < 0 ? Value::null() : value(r, key));
  for (int c = from; c < columns(); ++c) out.push_back(value(r, c));
  return out;
}

std::int64_t PgResult::changed() const {
  const char* n = r_ ? PQcmdTuples(r_.get()) : "";
  return *n ? std::atoll(n) : 0;
}

std::pair<std::string, bool> pgText(const Value& v) {
  using K = Value::Kind;
  switch (v.kind()) {
    case K::Empty:
    case K::Null:
      return {{}, false};
    case K::Date:
      return {v.toDate()->iso(), true};
    case K::Boolean:
      return {v.toBool() ? "1" : "0", true};  // a logical, a whole number or a text column takes these
    case K::Text: {
      const std::string& t = std::get<std::string>(v.raw());
      if (t.find('\0') != std::string::npos) throw Error("database: a text with a NUL character cannot be stored");
      return {t, true};
    }
    default:
      return {v.text(), true};
  }
}

PgLink::PgLink(std::string url) : url_(std::move(url)) { connect(); }

PgLink::~PgLink() {
  if (conn_) PQfinish(conn_);
}

void PgLink::connect() {
  if (conn_) {
    PQreset(conn_);
  } else {
    conn_ = PQconnectdb(url_.c_str());
  }
  cache_.clear();
  if (!conn_ || PQstatus(conn_) != CONNECTION_OK) {
    std::string msg = conn_ ? PQerrorMessage(conn_) : "out of memory";
    while (!msg.empty() && msg.back() == '\n') msg.pop_back();
    throw Error("cannot open database " + url_ + ": " + msg);
  }
  exec("set synchronous_commit = on; set datestyle = 'ISO, YMD'; set client_encoding = 'UTF8'; "
       "set client_min_messages = warning");
}

void PgLink::fail(const PGresult* r, const std::string& text) {
  std::string msg = r ? PQresultErrorMessage(r) : PQerrorMessage(conn_);
  if (msg.empty()) msg = PQerrorMessage(conn_);
  while (!msg.empty() && msg.back() == '\n') msg.pop_back();
  throw Error("database: " + msg + " in: " + text.substr(0, 300));
}

PgResult PgLink::exec(const std::string& text) {
  if (PQstatus(conn_) != CONNECTION_OK) connect();
  PgResult r(PQexec(conn_, text.c_str()));
  auto status = PQresultStatus(r.get());
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) fail(r.get(), text);
  return r;
}

const PgLink::Prepared& PgLink::prepared(const std::string& text) {
  if (auto it = cache_.find(text); it != cache_.end()) return it->second;
  if (cache_.size() >= kKept) {
    exec("deallocate all");
    cache_.clear();
  }
  Prepared p;
  p.name = "s" + std::to_string(++made_);
  PgResult made(PQprepare(conn_, p.name.c_str(), text.c_str(), 0, nullptr));
  if (PQresultStatus(made.get()) != PGRES_COMMAND_OK) fail(made.get(), text);
  PgResult d(PQdescribePrepared(conn_, p.name.c_str()));
  if (PQresultStatus(d.get()) != PGRES_COMMAND_OK) fail(d.get(), text);
  p.params = PQnparams(d.get());
  for (int c = 0; c < PQnfields(d.get()); ++c) p.columns.push_back({PQfname(d.get(), c), pgColumnType(PQftype(d.get(), c))});
  return cache_.emplace(text, std::move(p)).first->second;
}

std::vector<Column> PgLink::columnsOf(const std::string& text, int skip) {
  if (PQstatus(conn_) != CONNECTION_OK) connect();
  const auto& cols = prepared(text).columns;
  return {cols.begin() + std::min<std::ptrdiff_t>(skip, static_cast<std::ptrdiff_t>(cols.size())), cols.end()};
}

PgResult PgLink::run(const std::string& text, std::span<const Value> params, bool read) {
  std::vector<std::pair<std::string, bool>> texts;
  texts.reserve(params.size());
  for (const Value& v : params) texts.push_back(pgText(v));
  std::vector<const char*> values;
  for (const auto& [t, present] : texts) values.push_back(present ? t.c_str() : nullptr);
  for (int attempt = 0;; ++attempt) {
    if (PQstatus(conn_) != CONNECTION_OK) connect();
    try {
      const Prepared& p = prepared(text);
      if (p.params != static_cast<int>(params.size()))
        throw Error("statement has " + std::to_string(p.params) + " parameter marks but " +
                    std::to_string(params.size()) + " values were given");
      PgResult r(PQexecPrepared(conn_, p.name.c_str(), static_cast<int>(values.size()), values.data(), nullptr,
                                nullptr, 0));
      auto status = PQresultStatus(r.get());
      if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return r;
      fail(r.get(), text);
    } catch (const Error&) {
      // A broken connection: a read is tried once more on a new one.
      if (PQstatus(conn_) == CONNECTION_OK || !read || attempt > 0) throw;
    }
  }
}

}  // namespace tovi::data::internal
