// The dish forms: the add page of a sales category (kcdgadd, jpsqadd, ylxgadd)
// and the edit page of a category (kcdgedit, jpsqedit, ylxgedit) or of any
// dish (cygledit: category 0, which keeps the dish's own category).
//
//   registry.add("mabex.kcdgedit", [] { return std::make_unique<DishEdit>(1); }, {op("main", &DishEdit::main)});
//
// Both pages show form1 (name, price, home-page group, picture path with the
// upload button, the rich-text editor) and post to themselves. A save must be a
// same-site post and carry a name and a plain-number price (12 or 8.5);
// otherwise an alert answers and nothing is stored. Name, price and picture path
// are stored trimmed; "xp" in `fblx` stores "新品推荐", anything else "招牌老菜".
// The add page stamps `dates` and `lei2`; an edit changes neither.
// An edit whose `id` is missing, not a whole number, or names no dish the page
// may edit answers "非法访问!" and changes nothing.
#pragma once

#include "frame/component.h"

namespace tovi::backoffice::catalogue {

class DishAdd : public frame::Component {
 public:
  explicit DishAdd(int category) : category_(category) {}
  void main();

 private:
  int category_;
};

class DishEdit : public frame::Component {
 public:
  // 1 to 3: the category's edit page; 0: the home-page dish edit page.
  explicit DishEdit(int category) : category_(category) {}
  void main();

 private:
  int category_;
};

}  // namespace tovi::backoffice::catalogue
