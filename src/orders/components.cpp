#include "orders/components.h"

namespace tovi::orders {

void registerComponents(frame::Registry& registry) {
  registerSubmissionComponents(registry);
  registerManagementComponents(registry);
}

}  // namespace tovi::orders
