// Small pieces the back office's own save and maintenance pages share: their
// answers (an alert, then back or on), the head of a page they write, and the
// reading of a whole-number id.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "frame/alerts.h"

namespace tovi::sitepages::kit {

using frame::alertBack;
using frame::alertGo;

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

// `text` as a positive whole number that fits 32 bits; empty otherwise
// ("", "abc", "1.5", "-3", "0", "99999999999").
[[nodiscard]] std::optional<long> positiveId(std::string_view text);

}  // namespace tovi::sitepages::kit
