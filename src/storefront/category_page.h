// kcdgbody, jpsqbody, ylxgbody: the three category ordering pages, one design
// with the sales category (`cygl.lei2`) as its parameter.
//
// main() writes the page body: the order script and form, the banner, the
// title row, a grid of at most 3 x 3 dishes of the category (in the order the
// database returns them) and the order block. An empty category gives an empty
// grid and no message. The host page supplies html, head, body and the
// stylesheet with class `com1`. Database failures propagate to the host.
#pragma once

#include "frame/component.h"

namespace tovi::storefront {

class categorybody : public frame::Component {
 public:
  // `lei2`: 1 fast food (kcdgbody), 2 premium dishes (jpsqbody), 3 drinks (ylxgbody).
  explicit categorybody(int lei2) : lei2_(lei2) {}
  void main();

 private:
  int lei2_;
};

}  // namespace tovi::storefront
