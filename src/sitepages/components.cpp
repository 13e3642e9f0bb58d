#include "sitepages/components.h"

namespace tovi::sitepages {

void registerComponents(frame::Registry& registry) {
  registerShellPages(registry);
  registerOrderPages(registry);
  registerCataloguePages(registry);
  registerVisitorPages(registry);
}

}  // namespace tovi::sitepages
