// Who may use the back office: the one rule behind the page guards
// (module1.h), the picture upload and the kitchen's live stream.
//
//   data::Value right = presentRight(session("flag"), heldRight);   // heldRight: wq_admin.flag, or none
//   if (admitsBackOffice(right)) ...                                 // 1 or 2
//   if (admitsOwner(right)) ...                                      // 1 only
//
// Rights are the whole numbers of session key flag and wq_admin.flag:
// 1 site owner, 2 administrator. Pure functions: no page context needed.
#pragma once

#include <optional>

#include "data/value.h"

namespace tovi::frame {

// The right a login holds now: what it granted (`granted`, the session's
// flag), lowered to what the account holds in wq_admin (`held`; 1 above 2).
// A promotion counts from the next login only. Empty when the account is gone
// (`held` is nullopt).
[[nodiscard]] data::Value presentRight(const data::Value& granted, const std::optional<data::Value>& held);

// Whether `right` opens the back office: 1 or 2.
[[nodiscard]] bool admitsBackOffice(const data::Value& right);
// Whether `right` opens the owner's pages (accounts, maintenance): 1.
[[nodiscard]] bool admitsOwner(const data::Value& right);

}  // namespace tovi::frame
