// Record sets: the rows of one query, walked one at a time, read and written
// by field name, as the pages use them.
//
//   auto rs = std::make_shared<data::Recordset>();
//   rs->Open("select * from cygl where lei2=1 order by dates desc", *conn, adOpenKeyset, adLockReadOnly);
//   rs->PageSize(20);
//   long total = rs->RecordCount();
//   rs->Move(20);                        // to the second page
//   while (!rs->Eof()) { write(rs->Fields("name").text()); rs->MoveNext(); }
//   rs->Close();
//
//   rs->Open("select * from tdgl", *conn, adOpenKeyset, adLockOptimistic);
//   rs->AddNew(); (*rs)("yhm") = name; (*rs)("dczt") = 1; rs->Update();
//
// A keyset record set knows its row count before any row is read and fetches
// rows as the cursor reaches them, so one page of a large table costs one page.
// Field names are compared without regard to letter case.
// Threads: as the connection it was opened on.
// Errors: data::Error for a failing statement, an unknown field, a move or a
// field access past either end, or a write on a read-only record set.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "data/connection.h"
#include "data/value.h"

namespace tovi::data {

enum CursorType { adOpenForwardOnly = 0, adOpenKeyset = 1, adOpenDynamic = 2, adOpenStatic = 3 };
enum LockType { adLockReadOnly = 1, adLockPessimistic = 2, adLockOptimistic = 3, adLockBatchOptimistic = 4 };
enum CursorLocation { adUseServer = 2, adUseClient = 3 };

class Recordset;

// One field of the current row: read it as a value, assign a new one (kept
// until Update writes the row).
class Field {
 public:
  [[nodiscard]] const Value& value() const;
  operator const Value&() const { return value(); }
  [[nodiscard]] std::string text() const { return value().text(); }
  [[nodiscard]] bool isNull() const { return value().isNull(); }
  [[nodiscard]] const std::string& name() const { return name_; }
  Field& operator=(Value v);
  // Copying a Field copies the handle; assigning one Field to another writes its value.
  Field(const Field&) = default;
  Field& operator=(const Field& other) { return *this = Value(other.value()); }

 private:
  friend class Recordset;
  Field(Recordset& rs, std::string name, int column) : rs_(&rs), name_(std::move(name)), column_(column) {}
  Recordset* rs_;
  std::string name_;
  int column_;
};

class Recordset {
 public:
  Recordset();
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  // Runs the query on the connection. The record set is then on its first row,
  // or at both ends when the query returned none. Lock type adLockReadOnly
  // refuses writes; the other lock types allow AddNew and field assignment.
  void Open(const Sql& sql, Connection& conn, int cursorType = adOpenForwardOnly, int lockType = adLockReadOnly);
  void Close();
  [[nodiscard]] bool isOpen() const;

  // At end: past the last row (or no rows). At beginning: before the first row
  // (or no rows). An empty result is at both.
  [[nodiscard]] bool Eof();
  [[nodiscard]] bool Bof();

  // The current row's field by name (any letter case); data::Error when the
  // query has no such column or the cursor is at either end.
  Field& Fields(std::string_view name);
  Field& operator()(std::string_view name) { return Fields(name); }

  // Starts a new row: every field empty, the cursor on it until Update.
  void AddNew();
  // Writes the new row, or the assigned fields of the current row. Returns
  // nothing; after adding, the new row's key field (if any) holds its number.
  void Update();

  void MoveNext();
  void MoveFirst();
  // Moves n rows from the current one (n may be negative); past the end leaves
  // the cursor at the end, before the start at the beginning.
  void Move(long n);

  // Number of rows of the query (exact, before any row is read).
  [[nodiscard]] long RecordCount();
  [[nodiscard]] long PageSize() const { return pageSize_; }
  void PageSize(long rows);
  // Rows divided by the page size, rounded up.
  [[nodiscard]] long PageCount();
  // Puts the cursor on the first row of page `page` (1-based).
  void AbsolutePage(long page);
  // The page of the current row (1-based); -1 when no row is current.
  [[nodiscard]] long AbsolutePage();
  // The current row's position (1-based), which Move and paging agree on.
  [[nodiscard]] Value Bookmark();
  void CursorLocation(int location) { cursorLocation_ = location; }
  [[nodiscard]] int CursorLocation() const { return cursorLocation_; }

 private:
  friend class Field;
  class Impl;
  Impl& impl();
  std::unique_ptr<Impl> impl_;
  long pageSize_ = 10;
  int cursorLocation_ = adUseServer;
};

}  // namespace tovi::data
