// The site bulletin (bulletin.asp): one rich-text notice, the first row of table
// `bulletin`. The page shows it in the editor form ("暂时没有消息！！" when there
// is none) and `?action=save` (a same-site post) stores the posted `content`
// into the first row, adding the row when the table is empty. Rows are never
// deleted. Failures: database errors propagate to the host.
#pragma once

#include "frame/component.h"

namespace tovi::backoffice::catalogue {

class bulletin : public frame::Component {
 public:
  void main();
};

}  // namespace tovi::backoffice::catalogue
