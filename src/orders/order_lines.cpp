#include "orders/order_lines.h"

#include "data/value.h"

namespace tovi::orders {
namespace {

constexpr std::string_view kMark = "⊕";
constexpr std::string_view kTimes = "元 X ";
constexpr std::string_view kEquals = "份=";

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\n' || s.back() == '\r')) s.remove_suffix(1);
  while (!s.empty() && (s.front() == ' ' || s.front() == '\n' || s.front() == '\r')) s.remove_prefix(1);
  return s;
}

OrderLine parseOne(std::string_view piece) {
  OrderLine line;
  line.raw = std::string(piece);
  std::size_t times = piece.rfind(kTimes);
  if (times == std::string_view::npos) return line;
  std::size_t blank = piece.rfind(' ', times == 0 ? 0 : times - 1);
  if (blank == std::string_view::npos || blank == 0 || blank + 1 >= times) return line;
  std::string_view rest = piece.substr(times + kTimes.size());
  std::size_t equals = rest.find(kEquals);
  if (equals == std::string_view::npos || equals == 0) return line;
  std::string_view amount = rest.substr(equals + kEquals.size());
  if (amount.size() < 4 || amount.substr(amount.size() - 3) != "元") return line;
  line.name = std::string(piece.substr(0, blank));
  line.price = std::string(piece.substr(blank + 1, times - blank - 1));
  line.quantity = std::string(rest.substr(0, equals));
  line.amount = std::string(amount.substr(0, amount.size() - 3));
  line.parsed = true;
  return line;
}

}  // namespace

std::vector<OrderLine> parseOrderLines(std::string_view text) {
  std::vector<OrderLine> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t next = text.find(kMark, pos);
    std::string_view piece = text.substr(pos, next == std::string_view::npos ? std::string_view::npos : next - pos);
    piece = trimmed(piece);
    if (!piece.empty()) lines.push_back(parseOne(piece));
    if (next == std::string_view::npos) break;
    pos = next + kMark.size();
  }
  return lines;
}

std::string jsNumber(double value) { return data::Value(value).text(); }

std::string orderLine(std::string_view name, std::string_view price, long quantity) {
  double product = data::Value(price).toDouble() * static_cast<double>(quantity);
  return std::string(kMark) + std::string(name) + " " + std::string(price) + std::string(kTimes) +
         std::to_string(quantity) + std::string(kEquals) + jsNumber(product) + "元 \n\n";
}

}  // namespace tovi::orders
