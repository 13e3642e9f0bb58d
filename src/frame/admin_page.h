// Pieces the back office's save, confirmation and maintenance pages share:
// the head of a page they write, a framed table, and the page a delete link
// shows before anything is deleted.
//
//   Response().Write(pageHead("修改密码") + tableStart("修改密码") + rows + "</table>\n</body>\n</html>\n");
#pragma once

#include <string>
#include <string_view>

namespace tovi::frame {

// "<html><head>...<link ../css/style.css>...</head><body>" with `title` as the
// page title (the site name when empty).
[[nodiscard]] std::string pageHead(std::string_view title = {});
// A framed table opened with a header row: "<table class='tableBorder'...><tr><th...>heading</th></tr>".
[[nodiscard]] std::string tableStart(std::string_view heading, int columns = 2);

// The page a delete link (a GET) shows instead of deleting: `question` (markup,
// values already escaped) and a button that posts to `action`; `cancel` is the
// script the other button runs.
[[nodiscard]] std::string confirmDeletePage(std::string_view heading, std::string_view question,
                                            std::string_view action, std::string_view cancel);

}  // namespace tovi::frame
