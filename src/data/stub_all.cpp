// Placeholder bodies so the library links while the store is being written.
#include <stdexcept>

#include "data/connection.h"
#include "data/recordset.h"
#include "data/schema.h"
#include "data/value.h"

namespace tovi::data {
namespace {
[[noreturn]] void notYet() { throw Error("not implemented"); }
}  // namespace

DateTime DateTime::now() { notYet(); }
std::optional<DateTime> DateTime::parse(std::string_view) { notYet(); }
bool DateTime::valid() const { notYet(); }
std::string DateTime::iso() const { notYet(); }
std::string DateTime::general() const { notYet(); }
std::int64_t DateTime::serialSeconds() const { notYet(); }
DateTime DateTime::fromSerialSeconds(std::int64_t) { notYet(); }
DateTime DateTime::addSeconds(std::int64_t) const { notYet(); }
int DateTime::weekday() const { notYet(); }
bool Value::blank() const { notYet(); }
std::string Value::text() const { notYet(); }
bool Value::isNumeric() const { notYet(); }
std::int64_t Value::toInteger(std::int64_t) const { notYet(); }
std::int32_t Value::toInt32(std::int32_t) const { notYet(); }
double Value::toDouble(double) const { notYet(); }
bool Value::toBool() const { notYet(); }
std::optional<DateTime> Value::toDate() const { notYet(); }
bool operator==(const Value&, const Value&) { notYet(); }
bool isWholeNumber(std::string_view) { notYet(); }

class Engine {};
Connection::Connection() = default;
Connection::~Connection() = default;
void Connection::Open(std::string_view, std::string_view, std::string_view, int) { notYet(); }
int Connection::Execute(const Sql&) { notYet(); }
void Connection::Close() { engine_.reset(); }
Engine& Connection::engine() { notYet(); }
std::string dataSourceOf(std::string_view) { notYet(); }

class Recordset::Impl {};
const Value& Field::value() const { notYet(); }
Field& Field::operator=(Value) { notYet(); }
Recordset::Recordset() = default;
Recordset::~Recordset() = default;
void Recordset::Open(const Sql&, Connection&, int, int) { notYet(); }
void Recordset::Close() {}
bool Recordset::isOpen() const { return false; }
bool Recordset::Eof() { notYet(); }
bool Recordset::Bof() { notYet(); }
Field& Recordset::Fields(std::string_view) { notYet(); }
void Recordset::AddNew() { notYet(); }
void Recordset::Update() { notYet(); }
void Recordset::MoveNext() { notYet(); }
void Recordset::MoveFirst() { notYet(); }
void Recordset::Move(long) { notYet(); }
long Recordset::RecordCount() { notYet(); }
void Recordset::PageSize(long) { notYet(); }
long Recordset::PageCount() { notYet(); }
void Recordset::AbsolutePage(long) { notYet(); }
long Recordset::AbsolutePage() { notYet(); }
Value Recordset::Bookmark() { notYet(); }

bool ensureDatabase(const std::string&) { notYet(); }
}  // namespace tovi::data
