// Moving an order to another status: the one rule the status-change page
// (ddgl2.asp) and the live screen's one-click move share.
//
//   switch (moveOrder(conn, id, 2)) { case StatusMove::Moved: ... }
//   moveOrder(conn, id, nextStatus(from), from);   // only if nobody moved it meanwhile
//
// Threads: as the connection. Errors: data::Error from the data layer.
#pragma once

#include <optional>

#include "data/connection.h"

namespace tovi::orders {

enum class StatusMove {
  Moved,        // dczt now holds the new status
  NoOrder,      // no order of that id
  BadStatus,    // the new status is not 1 to 4
  Changed,      // the order is no longer at `from` (another screen moved it)
};

// Sets tdgl.dczt of order `id` to `status`; with `from`, only while the order
// is still at that status.
[[nodiscard]] StatusMove moveOrder(data::Connection& conn, long long id, long long status,
                                   std::optional<long long> from = std::nullopt);

// The status an order at `status` moves on to with one click: waiting (and
// any code shown as waiting) to in the kitchen, then out for delivery, then
// settled; nothing after settled.
[[nodiscard]] std::optional<int> nextStatus(long long status);

}  // namespace tovi::orders
