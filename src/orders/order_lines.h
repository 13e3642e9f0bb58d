// The order lines text of tdgl.dcqk, as the storefront's order form builds it
// and as phone orders are stored:
//
//   "⊕宫保鸡丁 12元 X 2份=24元 \n\n⊕可乐 3元 X 1份=3元 \n\n"
//
//   for (const OrderLine& l : parseOrderLines(order("dcqk").text())) ...
//   std::string text = orderLine("宫保鸡丁", "12", 2);   // one line, as the form writes it
//
// The text comes from the customer's browser, so anything may be in it: a
// piece that does not read as a line is kept whole in `raw` with `parsed`
// false, and callers show it as text. Pure functions, any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tovi::orders {

struct OrderLine {
  bool parsed = false;
  std::string name;      // dish name as stored in the line
  std::string price;     // as written ("12", "8.5")
  std::string quantity;  // as typed ("2")
  std::string amount;    // price × quantity as the browser wrote it ("24", "NaN")
  std::string raw;       // the line's text without its leading ⊕ and trailing blanks
};

// The lines of an order lines text, in order; empty pieces are skipped.
[[nodiscard]] std::vector<OrderLine> parseOrderLines(std::string_view text);

// One line in the form's format, the product written as the browser writes
// a number (shortest form that reads back: 24, 25.5). `price` must be numeric.
[[nodiscard]] std::string orderLine(std::string_view name, std::string_view price, long quantity);

// A number as the browser's script writes it (24, 12.5, 0.30000000000000004).
[[nodiscard]] std::string jsNumber(double value);

}  // namespace tovi::orders
