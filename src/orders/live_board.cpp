#include "orders/live_board.h"


#include "data/recordset.h"
#include "frame/text.h"
#include "orders/order_lines.h"

namespace tovi::orders {
namespace {

BoardOrder fromRow(data::Recordset& rs) {
  BoardOrder o;
  o.id = rs("id").value().toInteger();
  o.status = rs("dczt").value().toInt32();
  o.time = rs("fromdate").text();
  o.name = rs("yhm").text();
  o.phone = rs("telsss").text();
  o.address = rs("addresss").text();
  o.arrive = rs("hours").text() + "点" + rs("minutes").text() + "分";
  o.total = rs("dczj").text();
  o.remark = rs("qtbz").text();
  o.dishes = rs("dcqk").text();
  o.taker = rs("taker").text();
  return o;
}

// The rows of a "select top `limit`" query. It never moves past the last of
// `limit` rows: there the record set would count every row the query has
// without its top (the whole order table for ordersAbove).
std::vector<BoardOrder> readAll(data::Connection& conn, const data::Sql& sql, int limit = 1) {
  std::vector<BoardOrder> out;
  data::Recordset rs;
  rs.PageSize(limit);
  rs.Open(sql, conn, data::adOpenKeyset, data::adLockReadOnly);
  while (!rs.Eof()) {
    out.push_back(fromRow(rs));
    if (static_cast<int>(out.size()) == limit) break;
    rs.MoveNext();
  }
  rs.Close();
  return out;
}

std::int64_t scalar(data::Connection& conn, const data::Sql& sql) {
  data::Recordset rs;
  rs.Open(sql, conn, data::adOpenForwardOnly, data::adLockReadOnly);
  std::int64_t v = rs.Eof() ? 0 : rs("n").value().toInteger();
  rs.Close();
  return v;
}

}  // namespace

Board readBoard(data::Connection& conn, const data::DateTime& now) {
  Board b;
  const data::DateTime today{now.year, now.month, now.day, 0, 0, 0};
  const data::DateTime yesterday = today.addDays(-1);
  const std::string top = std::to_string(kBoardLimit);
  b.last = scalar(conn, "select max(id) as n from tdgl");
  b.orders = readAll(conn, {"select top " + top + " * from tdgl where dczt<>4 and fromdate>=? order by id desc",
                            {yesterday}}, kBoardLimit);
  for (BoardOrder& o : readAll(conn, {"select top " + top + " * from tdgl where dczt=4 and fromdate>=? order by id desc",
                                      {today}}, kBoardLimit))
    b.orders.push_back(std::move(o));
  b.olderOpen = scalar(conn, {"select count(*) as n from tdgl where dczt<>4 and fromdate<?", {yesterday}});
  return b;
}

std::vector<BoardOrder> ordersAbove(data::Connection& conn, std::int64_t after, std::int64_t upTo, int limit) {
  std::string sql = "select top " + std::to_string(limit) + " * from tdgl where id>?";
  std::vector<data::Value> params{after};
  if (upTo > 0) {
    sql += " and id<=?";
    params.emplace_back(upTo);
  }
  std::vector<BoardOrder> out = readAll(conn, {sql + " order by id desc", std::move(params)}, limit);
  return {out.rbegin(), out.rend()};
}

std::vector<std::pair<std::int64_t, int>> statusesOf(data::Connection& conn, const std::vector<std::int64_t>& ids) {
  std::vector<std::pair<std::int64_t, int>> out;
  if (ids.empty()) return out;
  std::string marks;
  std::vector<data::Value> params;
  for (std::int64_t id : ids) {
    marks += marks.empty() ? "?" : ",?";
    params.emplace_back(id);
  }
  data::Recordset rs;
  rs.Open({"select id, dczt from tdgl where id in (" + marks + ")", std::move(params)}, conn, data::adOpenKeyset,
          data::adLockReadOnly);
  rs.PageSize(1000);
  while (!rs.Eof()) {
    out.emplace_back(rs("id").value().toInteger(), rs("dczt").value().toInt32());
    rs.MoveNext();
  }
  rs.Close();
  return out;
}

BoardOrder orderById(data::Connection& conn, std::int64_t id) {
  std::vector<BoardOrder> found = readAll(conn, {"select * from tdgl where id=?", {id}});
  return found.empty() ? BoardOrder{} : found.front();
}

std::string orderJson(const BoardOrder& o) {
  std::string j = "{\"id\":" + std::to_string(o.id) + ",\"status\":" + std::to_string(o.status);
  auto field = [&j](const char* name, const std::string& v) { j += std::string(",\"") + name + "\":" + frame::jsonString(v); };
  field("time", o.time);
  field("name", o.name);
  field("phone", o.phone);
  field("address", o.address);
  field("arrive", o.arrive);
  field("total", o.total);
  field("remark", o.remark);
  field("taker", o.taker);
  j += ",\"lines\":[";
  bool first = true;
  for (const OrderLine& l : parseOrderLines(o.dishes)) {
    j += first ? "[" : ",[";
    first = false;
    if (l.parsed)
      j += frame::jsonString(l.name) + "," + frame::jsonString(l.price) + "," + frame::jsonString(l.quantity) + "," + frame::jsonString(l.amount);
    else
      j += frame::jsonString(l.raw);
    j += "]";
  }
  return j + "]}";
}

std::string boardJson(const Board& b) {
  std::string j = "{\"last\":" + std::to_string(b.last) + ",\"olderOpen\":" + std::to_string(b.olderOpen) +
                  ",\"orders\":[";
  for (std::size_t i = 0; i < b.orders.size(); ++i) j += (i ? "," : "") + orderJson(b.orders[i]);
  return j + "]}";
}

}  // namespace tovi::orders
