// The floating box that follows the pointer over a dish name (home page) or an
// order (order history): an absolutely placed division `overDiv` and the script
// behind `drc(text, title, pic)` and `nd()`.
//
//   storefront::writeHoverBox(storefront::HoverBox::dishes());   // inside the page body
//   <a onmouseover="drc('..','..','..'); return true;" onmouseout="nd(); return true;">
//
// `drc` writes its three arguments into the box as markup: callers escape what
// must stay text (htmlEncode, then jsInAttr for the attribute the call sits in).
// The script knows three kinds of browser: the layer kind, the all-collection
// kind and every standard-DOM browser; the placing rules are the same for all.
#pragma once

#include <string_view>

namespace tovi::storefront {

struct HoverBox {
  std::string_view fcolor;      // background of the text and picture rows
  std::string_view innerFrame;  // the thin frame around the three rows
  int direction;                // 0 left of the pointer, 1 right, 2 centred
  bool pictureRow;              // third row: an image of `pic` (true) or `pic` as markup

  // The home page's box: dish name, description and picture, left of the pointer.
  static constexpr HoverBox dishes() { return {"#EAF3E4", "#91D81B", 0, true}; }
  // The order history's box: name, phone and address, right of the pointer.
  static constexpr HoverBox orders() { return {"#EDFEFA", "#CCFFCC", 1, false}; }
};

// Writes the division and the script through Module1::Response().
void writeHoverBox(const HoverBox& box);

}  // namespace tovi::storefront
