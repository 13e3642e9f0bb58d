#include "orders/components.h"

namespace tovi::orders {

void registerManagementComponents(frame::Registry& /*registry*/) {}

}  // namespace tovi::orders
