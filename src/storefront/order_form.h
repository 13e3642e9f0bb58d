// The order form shared by the four storefront ordering pages (home page and
// the three category pages): the order summary script, the form `form3`, the
// title row with the date line, the dish field triples and the contact and
// delivery block at the bottom.
//
//   storefront::writeOrderPageStart("./images/kcdg.gif", "快餐订购");   // script .. title row
//   ... rows of the outer table with dishes, each ending in writeDishFields(..)
//   storefront::writeOrderBlock(storefront::OrderBlock::category);
//   storefront::writeOrderPageEnd();                           // </table></form>
//
// The browser script finds a dish's name and price as the two form elements
// right before its quantity field, so writeDishFields keeps them together.
// Every value is escaped for the attribute it goes into; the form posts the
// stored value unchanged. Everything is written through Module1::Response().
#pragma once

#include <string_view>

namespace tovi::storefront {

// Script block, style block, form start with `list` and `list1`, the outer
// table (565 wide), the banner rows and the title row with `titleImage`
// (`titleText` its alternative text).
void writeOrderPageStart(std::string_view titleImage, std::string_view titleText);

// The hidden dish name and price (fields `nameField`, `priceField`) and the
// quantity field `number`, named after the dish for screen readers.
void writeDishFields(std::string_view nameField, std::string_view priceField, std::string_view name,
                     std::string_view price);

enum class OrderBlock {
  category,  // heading table and form area as rows of the outer table
  home,      // one table of heading and form area, with the operator's Product.asp link
};
// The order heading, the contact and delivery fields, the order image and the
// service area.
void writeOrderBlock(OrderBlock kind);

// Closes the outer table and the form.
void writeOrderPageEnd();

}  // namespace tovi::storefront
