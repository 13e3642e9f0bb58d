// The catering news for visitors, from the table the back office's news pages
// (cyxw) keep.
//
// tovi.news (news.asp): the items newest (dates) first, twenty a page, with the
// query's `page` (no number: page 1; past the last: the last); each title (as
// text) links to newsitem.asp?id=N and shows its date. Without a query string
// the list depends on the database only, so the host may answer it from a
// rendered copy.
//
// tovi.newsitem (newsitem.asp?id=N): one item's title, date and body; the body
// is the operator's markup from the rich-text editor and is written as stored.
// A missing, malformed or unknown id gets a short notice (status 404) with a
// link to the list.
#pragma once

#include <string>
#include <string_view>

#include "frame/component.h"

namespace tovi::sitepages {

class news : public frame::Component {
 public:
  void main();
};

class newsitem : public frame::Component {
 public:
  void main();
};

// The page links under a storefront list of `total` rows: "共N<unit>", first,
// previous, next, last (plain text where they lead nowhere) and "第p页/共n页",
// linking to `file`?page=N. Empty when there is at most one page.
[[nodiscard]] std::string listPageLinks(std::string_view file, long page, long pages, long total,
                                        std::string_view unit);

}  // namespace tovi::sitepages
