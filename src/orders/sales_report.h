// admin/sales_report.asp: orders and takings over a date range, per day and
// per dish, for all orders and for the settled ones (status 4) apart.
//
//   GET sales_report.asp?from=2026-12-01&to=2026-12-07          the report, with an SVG chart
//   GET sales_report.asp?from=...&to=...&format=csv&charset=gbk  the same figures as CSV
//                                             (charset=utf8: UTF-8 with a byte-order mark)
//
// Days run from 00:00 of `from` to the end of `to` on tdgl.fromdate; without
// dates the last seven days. Takings are the orders' totals (dczj); per dish,
// the quantities and amounts of the order lines (order_lines.h). A total or
// amount that is no number counts 0 and is told apart.
//
// Component tovi.sales_report (sales_report.cpp), operation main. Behind the
// back-office guard.
// What fails: a date that is no date, or a range that ends before it starts
// or spans more than 3660 days: an alert. Dish names come from the customers'
// order texts, so they are escaped in the page and made inert in the CSV
// (no spreadsheet formula can start a field). In the GBK file a character GBK
// lacks is written &#NNNN;, as in the pages.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "data/connection.h"
#include "data/value.h"

namespace tovi::orders {

struct Figures {
  std::int64_t orders = 0;
  double takings = 0;
};
struct DishFigures {
  std::int64_t quantity = 0;
  double amount = 0;
};

struct SalesReport {
  struct Day {
    data::DateTime date;
    Figures all, settled;
  };
  std::vector<Day> days;  // every day of the range, in order, empty days too
  std::map<std::string, std::pair<DishFigures, DishFigures>> dishes;  // name -> (all, settled)
  Figures all, settled;
  std::int64_t unreadable = 0;  // orders whose total is no number
};

// The figures of the orders placed from `first` 00:00 to the end of `last`.
[[nodiscard]] SalesReport readSalesReport(data::Connection& conn, const data::DateTime& first,
                                          const data::DateTime& last);

// The figures as CSV text (UTF-8, CRLF line ends): per day, a blank line, per dish.
[[nodiscard]] std::string salesCsv(const SalesReport& report);

}  // namespace tovi::orders
