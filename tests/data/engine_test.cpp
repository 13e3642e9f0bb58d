// Each value as a column of each declared type stores it, or refuses it.
#include "data/engine.h"

#include "data/connection.h"
#include "support/testing.h"

using namespace data;
using T = ColumnType;

TEST(ColumnTypes, ValuesAsTheirColumnsStoreThem) {
  for (auto [declared, type] : {std::pair{"counter", T::Integer}, {"BIT", T::Boolean}, {"DATETIME", T::Date},
                                {"varchar(50)", T::Text}, {"CURRENCY", T::Decimal}, {"BLOB", T::Other}})
    EXPECT_EQ(columnTypeOf(declared), type) << declared;
  const DateTime at{2024, 3, 9, 10, 0, 0};
  const std::tuple<Value, ColumnType, std::optional<Value>> cases[] = {  // nothing: refused
      {" 12 ", T::Integer, 12},   {2024.0, T::Integer, 2024},      {"abc", T::Integer, {}},
      {"", T::Integer, {}},       {"1; drop", T::Integer, {}},     {Value(at), T::Integer, {}},
      {"12.5", T::Decimal, 12.5}, {7, T::Decimal, 7.0},            {7, T::Text, "7"},
      {"", T::Text, ""},          {"2024-3-9 10:00", T::Date, at}, {"2024-2-30", T::Date, {}},
      {5, T::Date, {}},           {"True", T::Boolean, true},      {2, T::Boolean, true},
      {"maybe", T::Boolean, {}},  {Value(), T::Integer, Value::null()}};
  for (const auto& [in, type, stored] : cases) {
    SCOPED_TRACE(in.text() + " as " + std::to_string(static_cast<int>(type)));
    if (!stored) {
      EXPECT_THROW(toColumn(in, type, "c"), Error);
      continue;
    }
    const Value out = toColumn(in, type, "c");
    EXPECT_EQ(std::pair(out, out.kind()), std::pair(*stored, stored->kind()));
  }
}
