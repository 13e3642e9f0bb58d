// A fresh site database in a temporary folder with a connection of the test's
// own, for the data layer's tests on real files; under the CTest label
// postgresql a fresh PostgreSQL database instead (support/server_db.h).
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <vector>

#include "data/connection.h"
#include "data/recordset.h"
#include "data/schema.h"
#include "support/server_db.h"
#include "support/site_rows.h"
#include "support/testing.h"

namespace tovi::testing {

using Strings = std::vector<std::string>;

class TempDb : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tovi-data-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    path_ = server_.url().empty() ? dir_ + "/tamlo.mdb" : server_.url();
    ASSERT_TRUE(data::ensureDatabase(path_));
    conn_.Open(connectionText());
  }
  void TearDown() override {
    conn_.Close();
    std::filesystem::remove_all(dir_);
  }
  std::string connectionText() const { return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path_; }

  // Runs `sql` (one statement or several) on the file straight through SQLite,
  // as another program would: column `col` of every row it gives, its
  // parameters bound as numbers when they are numeric, else as stored texts.
  Strings raw(const std::string& sql, const std::vector<data::Value>& params = {}, int col = 0) {
    if (!server_.url().empty()) {
      Strings texts;
      for (const data::Value& v : params) texts.push_back(v.kind() == data::Value::Kind::Date ? v.toDate()->iso() : v.text());
      return serverColumn(path_, sql, texts);
    }
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 5000);
    Strings out;
    for (const char* next = sql.c_str(); *next;) {
      sqlite3_stmt* s = nullptr;
      EXPECT_EQ(sqlite3_prepare_v2(db, next, -1, &s, &next), SQLITE_OK) << sqlite3_errmsg(db) << " in: " << sql;
      if (!s) break;
      for (int i = 0; i < static_cast<int>(params.size()); ++i) {
        const data::Value& v = params[static_cast<std::size_t>(i)];
        const std::string text = v.kind() == data::Value::Kind::Date ? v.toDate()->iso() : v.text();
        if (v.isNumeric()) sqlite3_bind_int64(s, i + 1, v.toInteger());
        else sqlite3_bind_text(s, i + 1, text.c_str(), -1, SQLITE_TRANSIENT);
      }
      int rc = SQLITE_ROW;
      while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(s, col);
        out.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
      }
      EXPECT_EQ(rc, SQLITE_DONE) << sqlite3_errmsg(db) << " in: " << sql;
      sqlite3_finalize(s);
    }
    sqlite3_close(db);
    return out;
  }
  long long add(const std::string& table, const Row& fields, const char* key = "id") {
    return insertRow(conn_, table, fields, key);
  }
  long long addOrder(const std::string& yhm, data::DateTime at) {
    return add("tdgl", {{"yhm", yhm}, {"fromdate", at}, {"dczt", 1}});
  }
  Strings column(const data::Sql& sql, const std::string& field) { return valuesOf(conn_, sql, field); }

  ServerDb server_;
  std::string dir_, path_;
  data::Connection conn_;
};

}  // namespace tovi::testing
