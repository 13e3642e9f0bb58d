// Paging terms of the lists. The page selector of the back office's long lists (orders, members): four
// bracketed links that move a CurrentPage list, the list itself, and the
// script that submits its form with the chosen page.
//
//   Response().Write(pageSelectorScript("MyForm"));
//   long page = wantedPage(Request()("CurrentPage"), pages);
//   ... "<form name='MyForm' ...>" + pageSelectorLinks(page, pages) + "第<select name=CurrentPage ...>"
#pragma once

#include <string>
#include <string_view>

namespace tovi::frame {

// "<script ...>" with PageFirst, PagePrior, PageNext, PageLast and PageCurrent,
// all addressing document.<form>.CurrentPage.
[[nodiscard]] std::string pageSelectorScript(std::string_view form);
// The four bracketed entries: plain text where they lead nowhere (first and
// previous on page 1, next and last on the last page), links otherwise.
[[nodiscard]] std::string pageSelectorLinks(long page, long pages);
// The page asked for as a whole number in 1..pages; 1 when `asked` is no number.
[[nodiscard]] long wantedPage(std::string_view asked, long pages);

// The page links under a storefront list of `total` rows: "共N<unit>", first,
// previous, next, last (plain text where they lead nowhere) and "第p页/共n页",
// linking to `file`?page=N (`file` may hold a query already, written for an
// attribute: then &amp;page=N). Empty when there is at most one page.
[[nodiscard]] std::string listPageLinks(std::string_view file, long page, long pages, long total,
                                        std::string_view unit);

}  // namespace tovi::frame
