// One page of the order list over 100,000 orders: open the database, run the
// list's statement, position on a page, read its 20 rows. Each figure is the
// median / 99th percentile of `runs` views, in milliseconds.
//   data_paging [orders=100000] [folder=/tmp] [runs=101]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <sqlite3.h>

#include "data/connection.h"
#include "data/recordset.h"
#include "data/schema.h"

namespace data = tovi::data;
using Clock = std::chrono::steady_clock;

namespace {

// Median and 99th percentile of `runs` timings, in milliseconds, as "median / p99".
const char* median(int runs, const std::function<void()>& f, const std::function<void()>& before = {}) {
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    if (before) before();
    auto start = Clock::now();
    f();
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  static char texts[4][64];  // a few figures may be in one printf
  static int next = 0;
  char* out = texts[next++ % 4];
  std::snprintf(out, sizeof texts[0], "%7.3f / %7.3f", ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 99 / 100)]);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  long orders = argc > 1 ? std::atol(argv[1]) : 100000;
  std::string base = argc > 2 ? argv[2] : "/tmp";
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 101;
  std::string tmpl = base + "/tovi-bench-XXXXXX";
  if (!mkdtemp(tmpl.data())) return 1;
  std::string path = tmpl + "/tamlo.mdb";
  data::ensureDatabase(path);

  // Filling goes straight to the file in one transaction: the subject here is reading.
  {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db,
                       "insert into tdgl (yhm, telsss, addresss, dcqk, dczj, hours, minutes, qtbz, zffs, fromdate, "
                       "years, months, days, hourss, minutess, dczt) values (?, '13800000000', ?, "
                       "'炒饭 x 2 = 17', '17', '12', '30', '', '餐到付费', ?, ?, ?, ?, ?, ?, ?)",
                       -1, &s, nullptr);
    data::DateTime t{2020, 1, 1, 0, 0, 0};
    for (long i = 0; i < orders; ++i) {
      data::DateTime at = t.addSeconds(i * 97);
      std::string name = "客户" + std::to_string(i % 5000), addr = "东区" + std::to_string(i) + "号", iso = at.iso();
      sqlite3_bind_text(s, 1, name.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(s, 2, addr.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(s, 3, iso.c_str(), -1, SQLITE_TRANSIENT);
      int parts[] = {at.year, at.month, at.day, at.hour, at.minute, static_cast<int>(i % 4) + 1};
      for (int p = 0; p < 6; ++p) sqlite3_bind_int(s, 4 + p, parts[p]);
      sqlite3_step(s);
      sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }

  const std::string cs = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path;
  const std::string list = "select * from tdgl where dczt in (1,2,3,4) order by fromdate desc";
  long total = 0;
  auto view = [&](const data::Sql& sql, long wanted, bool count) {
    data::Connection conn;
    conn.Open(cs);
    data::Recordset rs;
    rs.PageSize(20);
    rs.Open(sql, conn, data::adOpenKeyset, data::adLockOptimistic);
    if (rs.Eof()) return;
    if (count) total = rs.RecordCount();
    if (wanted > 1) rs.AbsolutePage(std::min(wanted, rs.PageCount()));
    std::size_t bytes = 0;
    for (int i = 0; i < 20 && !rs.Eof(); ++i) {
      bytes += rs("yhm").text().size() + rs("fromdate").text().size() + rs("dczt").text().size();
      rs.MoveNext();
    }
    if (bytes == 0) std::printf("no rows read\n");
  };
  auto page = [&](long wanted, bool count) { view(data::Sql(list), wanted, count); };

  page(1, true);  // warm the file cache and this thread's engine
  long pages = (total + 19) / 20;
  std::printf("%ld orders, %ld listed, %ld pages of 20; median / p99 of %d views\n", orders, total, pages, runs);
  // A new order between views: the list's keys must be read again.
  auto newOrder = [&] {
    data::Connection conn;
    conn.Open(cs);
    data::Recordset rs;
    rs.Open("select * from tdgl", conn, data::adOpenKeyset, data::adLockOptimistic);
    rs.AddNew();
    rs("yhm") = "新客户";
    rs("fromdate") = data::DateTime{2019, 1, 1, 0, 0, 0};
    rs("dczt") = 1;
    rs.Update();
  };
  std::printf("after a new order:\n");
  std::printf("  open + first page (no count):     %s ms\n", median(runs, [&] { page(1, false); }, newOrder));
  std::printf("  open + first page + RecordCount:  %s ms\n", median(runs, [&] { page(1, true); }, newOrder));
  std::printf("  open + page 5000 + RecordCount:   %s ms\n", median(runs, [&] { page(5000, true); }, newOrder));
  std::printf("  RecordCount alone:                %s ms\n", median(runs, [&] {
                data::Connection conn;
                conn.Open(cs);
                data::Recordset rs;
                rs.Open(list, conn, data::adOpenKeyset, data::adLockReadOnly);
                total = rs.RecordCount();
              }, newOrder));
  const data::Sql oneStatus("select * from tdgl where dczt=? order by fromdate desc", {data::Value(2)});
  const data::Sql byName("select * from tdgl where dczt in (1,2,3,4) and yhm like ? order by fromdate desc",
                         {data::Value("%客户12%")});
  const data::Sql inRange("select * from tdgl where dczt in (1,2,3,4) and fromdate>? and fromdate<? order by "
                          "fromdate desc",
                          {data::DateTime{2020, 2, 1, 0, 0, 0}, data::DateTime{2020, 3, 1, 0, 0, 0}});
  std::printf("  open + page 2500 + RecordCount:   %s ms\n", median(runs, [&] { page(2500, true); }, newOrder));
  std::printf("  dczt=2, first page + RecordCount: %s ms\n", median(runs, [&] { view(oneStatus, 1, true); }, newOrder));
  std::printf("  dczt=2, last page + RecordCount:  %s ms\n", median(runs, [&] { view(oneStatus, 1250, true); }, newOrder));
  std::printf("  a month, first page + RecordCount: %s ms\n", median(runs, [&] { view(inRange, 1, true); }, newOrder));
  std::printf("  a name, first page + RecordCount: %s ms\n", median(runs, [&] { view(byName, 1, true); }, newOrder));
  std::printf("  page 4999 just after page 5000:   %s ms\n", median(runs, [&] { page(4999, true); }, [&] {
                newOrder();
                page(5000, true);
              }));
  std::printf("file unchanged since the last view:\n");
  std::printf("  open + first page (no count):       %s ms\n", median(runs, [&] { page(1, false); }));
  std::printf("  open + first page + RecordCount:    %s ms\n", median(runs, [&] { page(1, true); }));
  std::printf("  open + page 5000 + RecordCount:     %s ms\n", median(runs, [&] { page(std::min(5000L, pages), true); }));
  std::printf("  RecordCount alone:                  %s ms\n", median(runs, [&] {
                data::Connection conn;
                conn.Open(cs);
                data::Recordset rs;
                rs.Open(list, conn, data::adOpenKeyset, data::adLockReadOnly);
                total = rs.RecordCount();
              }));
  std::printf("  Connection::Open alone:             %s ms\n", median(runs, [&] {
                data::Connection conn;
                conn.Open(cs);
              }));
  if (std::getenv("TOVI_BENCH_KEEP")) std::printf("kept %s\n", path.c_str());
  else std::filesystem::remove_all(tmpl);
  return 0;
}
