#include "orders/sales_report.h"

#include <iconv.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "data/recordset.h"
#include "frame/alerts.h"
#include "frame/http_details.h"
#include "frame/component.h"
#include "frame/module1.h"
#include "frame/text.h"
#include "orders/order_lines.h"

namespace tovi::orders {
namespace {

class sales_report : public frame::Component {
 public:
  void main();
};


using namespace frame::Module1;
using frame::htmlEncode;

constexpr int kMaxDays = 3660;

std::int64_t dayNumber(const data::DateTime& d) { return data::DateTime{d.year, d.month, d.day}.serialSeconds() / 86400; }

std::string money(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  return buf;
}

std::string dateText(const data::DateTime& d) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
  return buf;
}

// A CSV field: quoted, and a leading character that would make a spreadsheet
// read the field as a formula is neutralised with an apostrophe.
std::string csvField(std::string_view text) {
  std::string t(text);
  if (!t.empty() && (t[0] == '=' || t[0] == '+' || t[0] == '-' || t[0] == '@' || t[0] == '\t' || t[0] == '\r'))
    t.insert(0, "'");
  return "\"" + frame::replaceAll(t, "\"", "\"\"") + "\"";
}

// UTF-8 text in GBK, as the pages are sent; a character GBK lacks as &#NNNN;.
std::string gbkBytes(const std::string& utf8) {
  iconv_t cd = iconv_open("GBK", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no GBK converter");
  std::string out;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const std::size_t start = pos;
    const char32_t c = frame::nextChar(utf8, pos);
    if (c < 0x80) {
      out += static_cast<char>(c);
      continue;
    }
    std::string one = utf8.substr(start, pos - start);
    char buf[8];
    char* in = one.data();
    char* to = buf;
    std::size_t inLeft = one.size(), outLeft = sizeof buf;
    if (iconv(cd, &in, &inLeft, &to, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0)
      out += "&#" + std::to_string(static_cast<std::uint32_t>(c)) + ";";
    else
      out.append(buf, sizeof buf - outLeft);
  }
  iconv_close(cd);
  return out;
}

void add(Figures& f, double takings) {
  ++f.orders;
  f.takings += takings;
}

// The report's chart: takings per day, all orders beside the settled ones.
std::string chart(const SalesReport& r) {
  const int width = 760, height = 260, left = 56, bottom = 30, top = 16;
  const int plotW = width - left - 10, plotH = height - bottom - top;
  double max = 0;
  for (const auto& d : r.days) max = std::max(max, d.all.takings);
  // A round scale: 1, 2 or 5 times a power of ten per gridline.
  double step = 1;
  if (max > 0) {
    double raw = max / 4, p = std::pow(10, std::floor(std::log10(raw)));
    step = raw <= p ? p : raw <= 2 * p ? 2 * p : raw <= 5 * p ? 5 * p : 10 * p;
  }
  const double scaleMax = step * 4;
  const double slot = static_cast<double>(plotW) / static_cast<double>(std::max<std::size_t>(1, r.days.size()));
  char buf[256];
  std::string svg = "<svg xmlns='http://www.w3.org/2000/svg' class='chart' width='" + std::to_string(width) +
                    "' height='" + std::to_string(height) + "' viewBox='0 0 " + std::to_string(width) + " " +
                    std::to_string(height) + "' role='img' aria-label='每日营业额'>\n";
  for (int i = 0; i <= 4; ++i) {
    double y = top + plotH - plotH * i / 4.0;
    std::snprintf(buf, sizeof buf,
                  "<line x1='%d' y1='%.1f' x2='%d' y2='%.1f' stroke='#ccd' />"
                  "<text x='%d' y='%.1f' font-size='10' text-anchor='end'>%s</text>\n",
                  left, y, width - 10, y, left - 4, y + 3, money(step * i).c_str());
    svg += buf;
  }
  const std::size_t labelEvery = std::max<std::size_t>(1, r.days.size() / 10);
  for (std::size_t i = 0; i < r.days.size(); ++i) {
    const auto& d = r.days[i];
    double x = left + slot * static_cast<double>(i), bar = std::max(1.0, slot * 0.4);
    double hAll = plotH * d.all.takings / scaleMax, hSettled = plotH * d.settled.takings / scaleMax;
    std::snprintf(buf, sizeof buf,
                  "<rect class='all' x='%.1f' y='%.1f' width='%.1f' height='%.1f' fill='#9395C0'><title>%s 全部 %s</title></rect>",
                  x + slot * 0.1, top + plotH - hAll, bar, hAll, dateText(d.date).c_str(), money(d.all.takings).c_str());
    svg += buf;
    std::snprintf(buf, sizeof buf,
                  "<rect class='settled' x='%.1f' y='%.1f' width='%.1f' height='%.1f' fill='#2B3170'><title>%s 已结帐 %s</title></rect>\n",
                  x + slot * 0.5, top + plotH - hSettled, bar, hSettled, dateText(d.date).c_str(),
                  money(d.settled.takings).c_str());
    svg += buf;
    if (i % labelEvery == 0) {
      std::snprintf(buf, sizeof buf, "<text x='%.1f' y='%d' font-size='10' text-anchor='middle'>%d-%d</text>\n",
                    x + slot / 2, height - bottom + 14, d.date.month, d.date.day);
      svg += buf;
    }
  }
  svg += "<rect x='" + std::to_string(left + 8) + "' y='2' width='10' height='10' fill='#9395C0'/><text x='" +
         std::to_string(left + 22) + "' y='11' font-size='11'>全部订单</text><rect x='" + std::to_string(left + 88) +
         "' y='2' width='10' height='10' fill='#2B3170'/><text x='" + std::to_string(left + 102) +
         "' y='11' font-size='11'>已结帐</text>\n</svg>\n";
  return svg;
}

std::string figureCells(const Figures& f) {
  return "<td class='n'>" + std::to_string(f.orders) + "</td><td class='n'>" + money(f.takings) + "</td>";
}

std::string dishCells(const DishFigures& f) {
  return "<td class='n'>" + std::to_string(f.quantity) + "</td><td class='n'>" + money(f.amount) + "</td>";
}

std::vector<std::pair<std::string, std::pair<DishFigures, DishFigures>>> dishesByAmount(const SalesReport& r) {
  std::vector<std::pair<std::string, std::pair<DishFigures, DishFigures>>> v(r.dishes.begin(), r.dishes.end());
  std::stable_sort(v.begin(), v.end(), [](const auto& a, const auto& b) { return a.second.first.amount > b.second.first.amount; });
  return v;
}

void page(const SalesReport& r, const std::string& from, const std::string& to) {
  const std::string query = "from=" + from + "&to=" + to;
  std::string out = R"(<html>
<head>
<meta http-equiv='Content-Type' content='text/html; charset=gb2312'>
<title>销售报表</title>
<link href='live/live.css' rel='stylesheet' type='text/css'>
</head>
<body class='report'>
<form method='get' action='sales_report.asp'>
销售报表：从 <input type='date' name='from' value=')" + htmlEncode(from) + R"('> 到 <input type='date' name='to' value=')" +
                    htmlEncode(to) + R"('> <input type='submit' value=' 查询 '>
<a href='sales_report.asp?)" + htmlEncode(query) + R"(&amp;format=csv&amp;charset=gbk'>下载 CSV（GBK）</a>
<a href='sales_report.asp?)" + htmlEncode(query) + R"(&amp;format=csv&amp;charset=utf8'>下载 CSV（UTF-8）</a>
<a href='live.asp'>返回实时订单</a>
</form>
<table class='tableBorder summary' cellspacing='1' cellpadding='3'>
<tr><th></th><th>订单数</th><th>金额（元）</th></tr>
<tr><td>全部订单</td>)" + figureCells(r.all) + R"(</tr>
<tr><td>已结帐</td>)" + figureCells(r.settled) + "</tr>\n</table>\n";
  if (r.unreadable > 0)
    out += "<p class='note'>有 " + std::to_string(r.unreadable) + " 个订单的总额不是数字，按 0 计。</p>\n";
  out += chart(r);
  out += R"(<h3>每日</h3>
<table class='tableBorder days' cellspacing='1' cellpadding='3'>
<tr><th>日期</th><th>全部订单</th><th>全部金额</th><th>已结帐订单</th><th>已结帐金额</th></tr>
)";
  for (const auto& d : r.days)
    out += "<tr><td>" + dateText(d.date) + "</td>" + figureCells(d.all) + figureCells(d.settled) + "</tr>\n";
  out += R"(</table>
<h3>每道菜</h3>
<table class='tableBorder dishes' cellspacing='1' cellpadding='3'>
<tr><th>菜品</th><th>全部份数</th><th>全部金额</th><th>已结帐份数</th><th>已结帐金额</th></tr>
)";
  for (const auto& [name, f] : dishesByAmount(r))
    out += "<tr><td>" + htmlEncode(name) + "</td>" + dishCells(f.first) + dishCells(f.second) + "</tr>\n";
  out += "</table>\n</body>\n</html>";
  Response().Write(out);
}

std::optional<data::DateTime> dateOf(const std::string& text) {
  auto d = data::DateTime::parse(text);
  if (!d) return std::nullopt;
  return data::DateTime{d->year, d->month, d->day};
}

// Counts one order of the report's query into the figures.
void count(SalesReport& r, data::Recordset& rs, std::int64_t firstDay, std::int64_t lastDay) {
  std::optional<data::DateTime> when = rs("fromdate").value().toDate();
  const data::Value total = rs("dczj").value();
  const bool settled = rs("dczt").value().toInteger() == 4;
  double takings = total.isNumeric() ? total.toDouble() : 0;
  if (!total.isNumeric() || !std::isfinite(takings)) {
    takings = 0;
    ++r.unreadable;
  }
  if (when) {
    std::int64_t n = dayNumber(*when);
    if (n >= firstDay && n <= lastDay) {
      SalesReport::Day& day = r.days[static_cast<std::size_t>(n - firstDay)];
      add(day.all, takings);
      add(r.all, takings);
      if (settled) {
        add(day.settled, takings);
        add(r.settled, takings);
      }
    }
  }
  for (const OrderLine& l : parseOrderLines(rs("dcqk").text())) {
    if (!l.parsed) continue;
    const std::int64_t quantity = data::Value(l.quantity).toInteger();
    double amount = data::Value(l.amount).toDouble();
    if (!std::isfinite(amount)) amount = 0;
    auto& f = r.dishes[l.name];
    f.first.quantity += quantity;
    f.first.amount += amount;
    if (settled) {
      f.second.quantity += quantity;
      f.second.amount += amount;
    }
  }
}

}  // namespace

SalesReport readSalesReport(data::Connection& conn, const data::DateTime& first, const data::DateTime& last) {
  SalesReport r;
  const std::int64_t firstDay = dayNumber(first), lastDay = dayNumber(last);
  for (std::int64_t n = firstDay; n <= lastDay; ++n)
    r.days.push_back({data::DateTime::fromSerialSeconds(n * 86400), {}, {}});
  // The orders of the range lie between the lowest and the highest id placed
  // in it (orders are numbered as they come, so nearly all ids between are in
  // it too; count() skips the others). They are read in windows along the key,
  // each starting where the last ended: one pass, however long the range.
  const data::Value from = data::DateTime{first.year, first.month, first.day};
  const data::Value to = data::DateTime{last.year, last.month, last.day}.addDays(1);
  std::int64_t after = 0, highest = 0;
  {
    data::Recordset ids;
    ids.Open({"select min(id) as low, max(id) as high from tdgl where fromdate>=? and fromdate<?", {from, to}}, conn,
             data::adOpenForwardOnly, data::adLockReadOnly);
    if (!ids.Eof() && !ids("low").isNull()) {
      after = ids("low").value().toInteger() - 1;
      highest = ids("high").value().toInteger();
    }
    ids.Close();
  }
  // Windows of at most 1000 keys, bounded by key rather than by a row limit:
  // the record set then learns each window's end from a short fetch.
  while (after < highest) {
    const std::int64_t upTo = std::min(highest, after + 1000);
    data::Recordset rs;
    rs.PageSize(1000);
    rs.Open({"select id, fromdate, dczt, dczj, dcqk from tdgl where id>? and id<=? order by id", {after, upTo}}, conn,
            data::adOpenForwardOnly, data::adLockReadOnly);
    while (!rs.Eof()) {
      count(r, rs, firstDay, lastDay);
      rs.MoveNext();
    }
    rs.Close();
    after = upTo;
  }
  return r;
}

std::string salesCsv(const SalesReport& r) {
  std::string csv = "日期,全部订单,全部金额,已结帐订单,已结帐金额\r\n";
  for (const auto& d : r.days)
    csv += dateText(d.date) + "," + std::to_string(d.all.orders) + "," + money(d.all.takings) + "," +
           std::to_string(d.settled.orders) + "," + money(d.settled.takings) + "\r\n";
  csv += "合计," + std::to_string(r.all.orders) + "," + money(r.all.takings) + "," + std::to_string(r.settled.orders) +
         "," + money(r.settled.takings) + "\r\n\r\n菜品,全部份数,全部金额,已结帐份数,已结帐金额\r\n";
  for (const auto& [name, f] : dishesByAmount(r))
    csv += csvField(name) + "," + std::to_string(f.first.quantity) + "," + money(f.first.amount) + "," +
           std::to_string(f.second.quantity) + "," + money(f.second.amount) + "\r\n";
  return csv;
}

void sales_report::main() {
  openAdminDb();
  checkAdmin();
  const data::DateTime today = Now();
  std::string from = Request().QueryString("from"), to = Request().QueryString("to");
  std::optional<data::DateTime> last = to.empty() ? std::optional<data::DateTime>(data::DateTime{today.year, today.month, today.day}) : dateOf(to);
  std::optional<data::DateTime> first = from.empty() && last ? last->addDays(-6) : dateOf(from);
  if (!first || !last) frame::alertBack("请输入正确的日期，例如 2026-12-01！");
  if (*last < *first) frame::alertBack("结束日期不能早于开始日期！");
  if (dayNumber(*last) - dayNumber(*first) >= kMaxDays) frame::alertBack("日期范围太长，最多十年！");
  from = dateText(*first);
  to = dateText(*last);

  const SalesReport report = readSalesReport(*conn(), *first, *last);
  if (Request().QueryString("format") != "csv") return page(report, from, to);

  frame::HttpDetails& http = Http();
  http.setHeader("Content-Disposition", "attachment; filename=\"sales-" + from + "-" + to + ".csv\"");
  http.setHeader("Cache-Control", "private, no-store");
  // Sent as bytes: the guard's text written before stays out of the file.
  if (Request().QueryString("charset") == "utf8") return http.sendBinary("text/csv; charset=utf-8", "\xEF\xBB\xBF" + salesCsv(report));
  http.sendBinary("text/csv; charset=gbk", gbkBytes(salesCsv(report)));
}

namespace {

const frame::PageRegistration pages([](frame::Registry& registry) {
  registry.addMain<sales_report>("tovi.sales_report");
});

}  // namespace
}  // namespace tovi::orders
