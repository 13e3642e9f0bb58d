// Each value as a column of each declared type stores it, or refuses it (the
// texts a number or a date-time accepts: value_test).
#include "data/engine.h"

#include "data/connection.h"
#include "support/testing.h"

using namespace data;

TEST(ColumnTypes, ValuesAsTheirColumnsStoreThem) {
  const DateTime at{2024, 3, 9, 10, 0, 0};
  const std::tuple<const char*, Value, std::optional<Value>> cases[] = {  // declared type, value; nothing: refused
      {"INTEGER", " 12 ", 12},     {"counter", 2024.0, 2024},   {"int", "abc", {}},      {"int", Value(at), {}},
      {"CURRENCY", "12.5", 12.5},  {"varchar(50)", 7, "7"},     {"DATETIME", "2024-3-9 10:00", at},
      {"DATETIME", 5, {}},         {"BIT", "True", true},       {"yesno", 2, true},      {"BIT", "maybe", {}},
      {"MEMO", Value(), Value::null()},                         {"BLOB", "x", "x"}};
  for (const auto& [declared, in, stored] : cases) {
    SCOPED_TRACE(in.text() + " as " + declared);
    if (!stored) {
      EXPECT_THROW(toColumn(in, columnTypeOf(declared), "c"), Error);
      continue;
    }
    const Value out = toColumn(in, columnTypeOf(declared), "c");
    EXPECT_EQ(std::pair(out, out.kind()), std::pair(*stored, stored->kind()));
  }
}
