// Stored orders per second from concurrent writers, each order on disk before
// its Update returns: Open + AddNew on "select * from tdgl" + Update per order.
//   data_inserts [threads=8] [orders per thread=500] [folder=/tmp]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "data/connection.h"
#include "data/recordset.h"
#include "data/schema.h"

namespace data = tovi::data;

int main(int argc, char** argv) {
  int threads = argc > 1 ? std::atoi(argv[1]) : 8;
  int each = argc > 2 ? std::atoi(argv[2]) : 500;
  std::string base = argc > 3 ? argv[3] : "/tmp";
  std::string tmpl = base + "/tovi-bench-XXXXXX";
  if (!mkdtemp(tmpl.data())) return 1;
  std::string path = tmpl + "/tamlo.mdb";
  data::ensureDatabase(path);
  std::string cs = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path;

  auto order = [&](int t, int i) {
    data::Connection conn;
    conn.Open(cs);
    data::Recordset rs;
    rs.Open("select * from tdgl", conn, data::adOpenKeyset, data::adLockOptimistic);
    rs.AddNew();
    data::DateTime now = data::DateTime::now();
    rs("yhm") = "客户" + std::to_string(t);
    rs("telsss") = "13800000000";
    rs("addresss") = "东区" + std::to_string(i) + "号";
    rs("dcqk") = "炒饭 x 2 = 17\n可乐 x 1 = 3";
    rs("dczj") = "20";
    rs("hours") = "12";
    rs("minutes") = "30";
    rs("qtbz") = "";
    rs("zffs") = "餐到付费";
    rs("fromdate") = now;
    rs("years") = now.year;
    rs("months") = now.month;
    rs("days") = now.day;
    rs("hourss") = now.hour;
    rs("minutess") = now.minute;
    rs("dczt") = 1;
    rs.Update();
  };

  for (int n : {1, threads}) {
    auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> pool;
    for (int t = 0; t < n; ++t)
      pool.emplace_back([&, t] {
        for (int i = 0; i < each; ++i) order(t, i);
      });
    for (auto& th : pool) th.join();
    double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d thread(s) x %d orders: %.0f orders/s (%.3f ms per order per thread)\n", n, each, n * each / secs,
                secs * 1000 / each);
  }
  data::Connection conn;
  conn.Open(cs);
  data::Recordset rs;
  rs.Open("select * from tdgl", conn, data::adOpenKeyset, data::adLockReadOnly);
  std::printf("rows stored: %ld (expected %d)\n", rs.RecordCount(), each * (1 + threads));
  rs.Close();
  conn.Close();
  std::filesystem::remove_all(tmpl);
  return 0;
}
