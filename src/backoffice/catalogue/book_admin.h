// Guestbook administration (book_admin.asp): the review switch, the message
// list (10 a page, pinned first), deleting ticked messages, and the detail form
// that corrects a message, saves the reply and sets pinned/visible.
//
// main() dispatches on `action`: "" the list, "setup" the switch, "删除" the
// delete, "replay" the detail form (saved when `send` is "ok"), "loginout" ends
// the session. Every change must be a same-site post; ids must be whole numbers
// and the switch, pin and visibility values 0 or 1, else an alert answers and
// nothing changes. A message is a visitor's text: shown escaped everywhere,
// its stored "<BR>" line breaks kept as line breaks.
// Failures: database errors propagate to the host.
#pragma once

#include <string>
#include <string_view>

#include "frame/component.h"

namespace tovi::backoffice::catalogue {

class book_admin : public frame::Component {
 public:
  static constexpr long kPageSize = 10;

  void main();
  void setup();
  void delfeedback();
  void detailfeedback();
  void listPages();
  // The beginning of `content` that fits `lef` width units (2 for a double-byte
  // character of the Chinese code page, 1 otherwise); the character that uses
  // the budget up is kept. The whole text when it fits.
  static std::string lleft(std::string_view content, int lef);

 private:
  void writeSwitch();
  void writeList();

  std::string ids_;      // for delfeedback
  std::string id_;       // for detailfeedback
  long total_ = 0, pages_ = 0, page_ = 1;
};

}  // namespace tovi::backoffice::catalogue
