// Fills a site database with orders for the order-list benchmark:
//   orders_seed <database file> <count>
// Orders are one minute apart from 2025-01-01 08:00, statuses 1 to 4 in turn,
// written in one transaction (the site's own write path commits per order,
// which would make seeding 100,000 orders take minutes).
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "data/value.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: orders_seed <database file> <count>\n");
    return 2;
  }
  const long count = std::strtol(argv[2], nullptr, 10);
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "orders_seed: cannot open %s\n", argv[1]);
    return 1;
  }
  auto fail = [&](const char* what) {
    std::fprintf(stderr, "orders_seed: %s: %s\n", what, sqlite3_errmsg(db));
    sqlite3_close(db);
    return 1;
  };
  if (sqlite3_exec(db, "begin", nullptr, nullptr, nullptr) != SQLITE_OK) return fail("begin");
  sqlite3_stmt* st = nullptr;
  const char* sql =
      "insert into tdgl (dcqk, dczj, yhm, telsss, zffs, addresss, qtbz, years, months, days, fromdate, minutess, "
      "hourss, minutes, hours, dczt) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
  if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) return fail("prepare");
  const tovi::data::DateTime base{2025, 1, 1, 8, 0, 0};
  for (long i = 0; i < count; ++i) {
    const tovi::data::DateTime t = base.addSeconds(60L * i);
    const std::string name = "客户" + std::to_string(i % 500);
    const std::string iso = t.iso();
    int k = 1;
    auto text = [&](const std::string& v) { sqlite3_bind_text(st, k++, v.c_str(), -1, SQLITE_TRANSIENT); };
    auto whole = [&](long v) { sqlite3_bind_int64(st, k++, v); };
    text("宫保鸡丁 1份 12元\n可乐 2听 6元");
    text("18");
    text(name);
    text("0591-8700" + std::to_string(1000 + i % 9000));
    text("餐到付费");
    text("鼓楼区五四路" + std::to_string(i % 300) + "号");
    text(i % 7 == 0 ? "少放辣" : "");
    whole(t.year);
    whole(t.month);
    whole(t.day);
    text(iso);
    whole(t.minute);
    whole(t.hour);
    text("30");
    text("12");
    whole(1 + i % 4);
    if (sqlite3_step(st) != SQLITE_DONE) return fail("insert");
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  if (sqlite3_exec(db, "commit", nullptr, nullptr, nullptr) != SQLITE_OK) return fail("commit");
  sqlite3_close(db);
  std::printf("orders_seed: %ld orders in %s\n", count, argv[1]);
  return 0;
}
