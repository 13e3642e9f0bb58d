// ddgl.asp: the back office's order list ("订单管理").
//
// Lists the orders of tdgl twenty to a page, filtered by status (`lb`), by a
// range of order times (`years`..`minutes`, `years1`..`minutes1`) or by a
// fragment of the contact name (`find`), ordered by order time (`ob`: "asc" or
// "desc"). Each row links to ddgl1.asp (detail) and ddgl3.asp (delete). The
// paging form MyForm carries the filter over, so paging stays inside it.
// Component mabex.ddgl, render operation main1 (ddgl.cpp).
//
// tovi.ddgl3 (ddgl3.asp?id=<id>, also in ddgl.cpp) deletes one order: the
// list's link (a GET) only shows what would be deleted and a button that
// posts; the same-site post deletes and goes back to the list. An id that is
// missing, no whole number or names no order gets a clear alert, and nothing
// is deleted.
//
// How it fails: the back-office guard refuses visitors who are not logged in;
// a range that is no real date-time, a start without an end, an end before the
// start, a non-numeric `lb` or an `ob` other than the two words get an alert
// and the page ends; no matching order gives "暂无用户！！". A page number that
// is not numeric or outside the pages is corrected, never refused. Request
// values reach SQL only as bound parameters.
#pragma once

#include <string>
#include <string_view>

#include "data/value.h"
#include "frame/component.h"

namespace tovi::orders {

class ddgl : public frame::Component {
 public:
  // Renders the page (the render operation of this class is main1, not main).
  void main1();

  // Width of a text as the Chinese code page counts it: 1 per single-byte
  // character, 2 per other character (中文ab -> 6).
  static long Strlength(std::string_view str);
  // The text from its start up to and including the character with which the
  // running width reaches `l` (may be one unit wider; the first character alone
  // when l <= 1; the whole text when it is narrower).
  static std::string Strleft(std::string_view str, long l);
  // Quotes doubled, "%27" turned into doubled quotes, blanks trimmed at both
  // ends, then cut to `length` width units when length > 0. Null gives "".
  static std::string Checkstr(const data::Value& str, long length);
};

}  // namespace tovi::orders
