// The order lines text: what the form writes reads back, and what does not
// read as a line is kept whole.
#include <gtest/gtest.h>

#include "orders/order_lines.h"

using namespace tovi::orders;

namespace {

TEST(OrderLines, WrittenLinesReadBack) {
  EXPECT_EQ(orderLine("宫保鸡丁", "12", 2), "⊕宫保鸡丁 12元 X 2份=24元 \n\n");
  EXPECT_EQ(orderLine("酸 辣 汤", "8.5", 3), "⊕酸 辣 汤 8.5元 X 3份=25.5元 \n\n");
  EXPECT_EQ(jsNumber(0.1 * 3), "0.30000000000000004");
  const std::vector<OrderLine> lines =
      parseOrderLines(orderLine("宫保鸡丁", "12", 2) + orderLine("酸 辣 汤", "8.5", 3) + "⊕可乐 3元 X 1份=NaN元 \n\n");
  ASSERT_EQ(lines.size(), 3u);
  struct Want {
    const char *name, *price, *quantity, *amount;
  };
  const Want want[] = {{"宫保鸡丁", "12", "2", "24"}, {"酸 辣 汤", "8.5", "3", "25.5"}, {"可乐", "3", "1", "NaN"}};
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(lines[i].parsed);
    EXPECT_EQ(lines[i].name, want[i].name);
    EXPECT_EQ(lines[i].price, want[i].price);
    EXPECT_EQ(lines[i].quantity, want[i].quantity);
    EXPECT_EQ(lines[i].amount, want[i].amount);
  }
}

TEST(OrderLines, WhatDoesNotReadAsALineIsKeptWhole) {
  struct Case {
    const char *text, *raw;
  };
  for (const Case& c : {Case{"宫保鸡丁 1份 12元", "宫保鸡丁 1份 12元"}, Case{"⊕12元 X 2份=24元", "12元 X 2份=24元"},
                        Case{"⊕鸡 12元 X 2份=24", "鸡 12元 X 2份=24"}, Case{"⊕鸡 12元 X 份=24元 \n\n", "鸡 12元 X 份=24元"},
                        Case{"<b>x</b>", "<b>x</b>"}}) {
    SCOPED_TRACE(c.text);
    std::vector<OrderLine> lines = parseOrderLines(c.text);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_FALSE(lines[0].parsed);
    EXPECT_EQ(lines[0].raw, c.raw);
  }
  EXPECT_TRUE(parseOrderLines("").empty());
  EXPECT_TRUE(parseOrderLines("⊕ \n\n⊕\n\n").empty());
}

}  // namespace
