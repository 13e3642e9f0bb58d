#include <memory>

#include "sitepages/components.h"
#include "sitepages/order_delete.h"
#include "sitepages/order_status.h"

namespace tovi::sitepages {

void registerOrderPages(frame::Registry& registry) {
  registry.addMain<ddgl2>("tovi.ddgl2");
  registry.addMain<ddgl3>("tovi.ddgl3");
}

}  // namespace tovi::sitepages
