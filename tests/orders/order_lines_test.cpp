// The order lines text: what the form writes reads back, and what does not read as a line is kept whole.
#include "orders/order_lines.h"
#include "support/testing.h"

using namespace tovi::orders;

TEST(OrderLines, WrittenLinesReadBackOthersAreKeptWhole) {
  EXPECT_EQ(orderLine("宫保鸡丁", "12", 2), "⊕宫保鸡丁 12元 X 2份=24元 \n\n");
  EXPECT_EQ(orderLine("酸 辣 汤", "8.5", 3), "⊕酸 辣 汤 8.5元 X 3份=25.5元 \n\n");
  EXPECT_EQ(jsNumber(0.1 * 3), "0.30000000000000004");
  auto read = [](const std::string& text) {
    std::string out;
    for (const OrderLine& l : parseOrderLines(text))
      out += (l.parsed ? l.name + "|" + l.price + "|" + l.quantity + "|" + l.amount : "raw:" + l.raw) + ";";
    return out;
  };
  for (auto [text, lines] :
       {std::pair{orderLine("宫保鸡丁", "12", 2) + orderLine("酸 辣 汤", "8.5", 3) + "⊕可乐 3元 X 1份=NaN元 \n\n",
                  "宫保鸡丁|12|2|24;酸 辣 汤|8.5|3|25.5;可乐|3|1|NaN;"},
        {"宫保鸡丁 1份 12元", "raw:宫保鸡丁 1份 12元;"}, {"⊕12元 X 2份=24元", "raw:12元 X 2份=24元;"},
        {"⊕鸡 12元 X 2份=24", "raw:鸡 12元 X 2份=24;"}, {"⊕鸡 12元 X 份=24元 \n\n", "raw:鸡 12元 X 份=24元;"},
        {"<b>x</b>", "raw:<b>x</b>;"}, {"", ""}, {"⊕ \n\n⊕\n\n", ""}})
    EXPECT_EQ(read(text), lines) << text;
}
