// Dishes for the storefront tests, added straight into the fake site's database.
#pragma once

#include <string>

#include "support/fake_host.h"

namespace tovi::testing {

struct TestDish {
  std::string name = "菜";
  std::string price = "10";
  std::string lei = "招牌老菜";
  int lei2 = 1;
  std::string content = "<b>好吃</b>";
  std::string pic = "images/dishes/d01.jpg";
};

inline void addDish(FakeSite& site, const TestDish& d) {
  site.db().Execute({"insert into cygl (name, jiage, pic, content, lei, lei2, dates) values (?, ?, ?, ?, ?, ?, ?)",
                     {d.name, d.price, d.pic, d.content, d.lei, d.lei2, data::DateTime{2024, 3, 1, 10, 0, 0}}});
}

// `count` dishes named prefix1, prefix2, ... of one group and category.
inline void addDishes(FakeSite& site, int count, const std::string& prefix, const std::string& lei, int lei2) {
  for (int i = 1; i <= count; ++i) addDish(site, {.name = prefix + std::to_string(i), .lei = lei, .lei2 = lei2});
}

inline int occurrences(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos + part.size())) ++n;
  return n;
}

}  // namespace tovi::testing
