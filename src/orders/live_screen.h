// admin/live.asp: the kitchen's live order screen.
//
//   GET  live.asp                    the screen: columns 等待中 / 制作当中 / 派送当中,
//                                    today's settled orders folded below; its script
//                                    (site/admin/live/live.js) follows /admin/live_events
//   GET  live.asp?action=board       the board alone, as JSON in <script id=board>
//                                    (the script reloads it after a reconnection,
//                                    and polls it when events cannot be used)
//   POST live.asp?action=move        id=<order>&from=<its status as shown>: moves the
//                                    order one status on; answers <div id=result
//                                    data-ok=1 data-status=N> or data-ok=0 with the reason
//
// Component tovi.live, operation main. Behind the back-office guard (rights 1
// and 2); the move only as a post from the site's own pages, and only while
// the order still has the status the screen showed (two screens clicking at
// once move it one step, not two). Every value reaches the page as JSON text
// that the script puts in as text.
#pragma once

#include "frame/component.h"

namespace tovi::orders {

class live : public frame::Component {
 public:
  void main();
};

}  // namespace tovi::orders
