#include "backoffice/catalogue/components.h"

#include <memory>

#include "backoffice/catalogue/book_admin.h"
#include "backoffice/catalogue/bulletin.h"
#include "backoffice/catalogue/dish_form.h"
#include "backoffice/catalogue/list_page.h"
#include "backoffice/catalogue/news_form.h"

namespace tovi::backoffice::catalogue {

namespace {

void addList(frame::Registry& registry, const std::string& id, ListDesign (*design)()) {
  registry.add(
      id, [design] { return std::make_unique<ListPage>(design()); },
      {frame::op("main", &ListPage::main), frame::op("showContent", &ListPage::showContent), frame::op("showpage")});
}

}  // namespace

void registerComponents(frame::Registry& registry) {
  addList(registry, "mabex.kcdg", [] { return ListPage::dishes(1); });
  addList(registry, "mabex.jpsq", [] { return ListPage::dishes(2); });
  addList(registry, "mabex.ylxg", [] { return ListPage::dishes(3); });
  addList(registry, "mabex.cygl", &ListPage::homeDishes);
  addList(registry, "mabex.cyxw", &ListPage::news);

  const char* const names[] = {"kcdg", "jpsq", "ylxg"};
  for (int category = 1; category <= 3; ++category) {
    std::string name = names[category - 1];
    registry.add("mabex." + name + "add", [category] { return std::make_unique<DishAdd>(category); },
                 {frame::op("main", &DishAdd::main)});
    registry.add("mabex." + name + "edit", [category] { return std::make_unique<DishEdit>(category); },
                 {frame::op("main", &DishEdit::main)});
  }
  registry.add("mabex.cygledit", [] { return std::make_unique<DishEdit>(0); }, {frame::op("main", &DishEdit::main)});

  registry.addMain<NewsAdd>("mabex.cyxwadd");
  registry.addMain<NewsEdit>("mabex.cyxwedit");

  registry.add("mabex.book_admin", [] { return std::make_unique<book_admin>(); },
               {frame::op("main", &book_admin::main), frame::op("setup", &book_admin::setup),
                frame::op("delfeedback", &book_admin::delfeedback),
                frame::op("detailfeedback", &book_admin::detailfeedback),
                frame::op("listPages", &book_admin::listPages), frame::op("lleft")});
  registry.addMain<bulletin>("mabex.bulletin");
}

}  // namespace tovi::backoffice::catalogue
