#include "data/engine.h"

#include <algorithm>

#include "data/connection.h"

namespace tovi::data {
namespace {

bool contains(const std::string& upper, std::string_view part) { return upper.find(part) != std::string::npos; }

[[noreturn]] void mismatch(const Value& v, std::string_view column, std::string_view wanted) {
  throw Error("field " + std::string(column) + " needs " + std::string(wanted) + ", not '" + v.text().substr(0, 80) +
              "'");
}

}  // namespace

ColumnType columnTypeOf(std::string_view declared) {
  std::string upper(declared);
  std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
  if (upper.empty()) return ColumnType::Other;
  if (contains(upper, "BOOL") || upper == "BIT" || upper == "YESNO") return ColumnType::Boolean;
  if (contains(upper, "DATE") || contains(upper, "TIME")) return ColumnType::Date;
  if (contains(upper, "INT") || upper == "COUNTER" || upper == "AUTOINCREMENT") return ColumnType::Integer;
  if (contains(upper, "CHAR") || contains(upper, "TEXT") || contains(upper, "CLOB") || contains(upper, "MEMO"))
    return ColumnType::Text;
  if (contains(upper, "REAL") || contains(upper, "FLOA") || contains(upper, "DOUB") || contains(upper, "DEC") ||
      contains(upper, "NUM") || contains(upper, "CURRENCY"))
    return ColumnType::Decimal;
  return ColumnType::Other;
}

Value toColumn(const Value& v, ColumnType type, std::string_view column) {
  using K = Value::Kind;
  if (v.isEmpty() || v.isNull()) return Value::null();
  switch (type) {
    case ColumnType::Integer:
      if (v.kind() == K::Date || !v.isNumeric()) mismatch(v, column, "a whole number");
      return Value(static_cast<long long>(v.toInteger()));
    case ColumnType::Decimal:
      if (v.kind() == K::Date || !v.isNumeric()) mismatch(v, column, "a number");
      return Value(v.toDouble());
    case ColumnType::Text:
      return v.kind() == K::Text ? v : Value(v.text());
    case ColumnType::Date: {
      auto d = v.toDate();
      if (!d) mismatch(v, column, "a date-time");
      return Value(*d);
    }
    case ColumnType::Boolean: {
      if (v.kind() == K::Boolean) return v;
      if (v.isNumeric()) return Value(v.toBool());
      std::string t = v.text();
      std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return std::tolower(c); });
      if (t == "true") return Value(true);
      if (t == "false") return Value(false);
      mismatch(v, column, "true or false");
    }
    case ColumnType::Other:
      break;
  }
  return v;
}

}  // namespace tovi::data
