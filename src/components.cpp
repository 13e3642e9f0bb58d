// Every component of the site, registered once at start.
#include "backoffice/catalogue/components.h"
#include "backoffice/shell/components.h"
#include "frame/component.h"
#include "frame/installation_check.h"
#include "orders/components.h"
#include "sitepages/components.h"
#include "storefront/components.h"

namespace tovi::frame {

void registerAllComponents(Registry& registry) {
  registerFrameComponents(registry);
  storefront::registerComponents(registry);
  orders::registerComponents(registry);
  backoffice::catalogue::registerComponents(registry);
  backoffice::shell::registerComponents(registry);
  sitepages::registerComponents(registry);
}

}  // namespace tovi::frame
