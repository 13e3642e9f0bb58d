// The orders of the kitchen's live screen, read from tdgl, and their JSON form
// as the screen's script and the event stream carry them.
//
//   data::Connection conn; conn.Open("Data Source=" + path);
//   Board b = readBoard(conn, data::DateTime::now());
//   std::string json = boardJson(b);
//   for (const BoardOrder& o : ordersAbove(conn, lastId, 500)) send(orderJson(o));
//
// The board holds the open orders (any status but 4, shown as waiting unless
// 2 or 3) placed since the start of yesterday, and the orders settled today,
// each group its newest kBoardLimit. JSON is pure ASCII (\u escapes), so it
// passes every charset edge unchanged; the screen puts every value in as text.
// Threads: as the connection. Errors: data::Error from the data layer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/connection.h"
#include "data/value.h"

namespace tovi::orders {

inline constexpr int kBoardLimit = 300;

struct BoardOrder {
  std::int64_t id = 0;
  int status = 1;  // tdgl.dczt as stored
  std::string time, name, phone, address, arrive, total, remark, dishes, taker;
};

struct Board {
  std::int64_t last = 0;      // the highest order id in tdgl (0 when none)
  std::vector<BoardOrder> orders;  // open ones first, each group newest first
  std::int64_t olderOpen = 0;  // open orders before yesterday, not on the board
};

[[nodiscard]] Board readBoard(data::Connection& conn, const data::DateTime& now);
// Orders with id > `after` (and <= `upTo` when upTo > 0), ascending; at most
// `limit`, the newest of them when there are more.
[[nodiscard]] std::vector<BoardOrder> ordersAbove(data::Connection& conn, std::int64_t after, std::int64_t upTo,
                                                  int limit);
// The current status of each of `ids` that still exists (id, dczt).
[[nodiscard]] std::vector<std::pair<std::int64_t, int>> statusesOf(data::Connection& conn,
                                                                    const std::vector<std::int64_t>& ids);
// One order by id; id 0 when there is none.
[[nodiscard]] BoardOrder orderById(data::Connection& conn, std::int64_t id);

// {"id":7,"status":1,"time":"...","name":"...",...,"dishes":"..."}
[[nodiscard]] std::string orderJson(const BoardOrder& o);
// {"last":N,"olderOpen":N,"orders":[...]}
[[nodiscard]] std::string boardJson(const Board& b);

}  // namespace tovi::orders
