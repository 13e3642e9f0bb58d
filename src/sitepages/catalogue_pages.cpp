#include "sitepages/components.h"

namespace tovi::sitepages {

void registerCataloguePages(frame::Registry& /*registry*/) {}

}  // namespace tovi::sitepages
