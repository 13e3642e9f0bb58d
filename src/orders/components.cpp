#include "orders/components.h"

namespace tovi::orders {

void registerComponents(frame::Registry& /*registry*/) {}

}  // namespace tovi::orders
