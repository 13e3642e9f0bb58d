#include "storefront/components.h"

#include "storefront/category_page.h"
#include "storefront/indexbody.h"

namespace tovi::storefront {

void registerComponents(frame::Registry& registry) {
  // The home page and the category pages show the dishes table and nothing
  // else: the host may answer them from a rendered copy until the file changes.
  struct Category {
    const char* id;
    int lei2;
  };
  for (Category c : {Category{"mabex.kcdgbody", 1}, Category{"mabex.jpsqbody", 2}, Category{"mabex.ylxgbody", 3}}) {
    int lei2 = c.lei2;
    registry.add(c.id, [lei2] { return std::make_unique<categorybody>(lei2); },
                 {frame::op("main", &categorybody::main)}, frame::Output::DatabaseOnly);
  }
  registry.add("mabex.indexbody", [] { return std::make_unique<indexbody>(); }, {frame::op("main", &indexbody::main)},
               frame::Output::DatabaseOnly);
}

}  // namespace tovi::storefront
