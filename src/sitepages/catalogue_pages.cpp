// The site's own pages around the catalogue back office: the rich-text editor
// and the picture upload of the dish and news forms.
#include <memory>

#include "sitepages/components.h"
#include "sitepages/editor_page.h"
#include "sitepages/upload_page.h"

namespace tovi::sitepages {

void registerCataloguePages(frame::Registry& registry) {
  registry.add("tovi.ewebeditor", [] { return std::make_unique<ewebeditor>(); },
               {frame::op("main", &ewebeditor::main)});
  registry.add("tovi.up_bookpic", [] { return std::make_unique<up_bookpic>(); },
               {frame::op("main", &up_bookpic::main)});
}

}  // namespace tovi::sitepages
