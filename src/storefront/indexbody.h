// indexbody: the storefront home page.
//
// main() writes the page body: the order script and form, the banner, the
// title row, the new dishes (`lei` '新品推荐', at most 4 rows of 2) with the
// hover box, the signature dishes (`lei` '招牌老菜', at most 8 rows of 3) and
// the order block, all inside one form so both lists order together. Pointing
// at a dish name shows its description and picture in the hover box. The host
// page supplies html, head, body and the classes `com1` and `c6`. Database
// failures propagate to the host.
#pragma once

#include "frame/component.h"

namespace tovi::storefront {

class indexbody : public frame::Component {
 public:
  void main();
};

}  // namespace tovi::storefront
