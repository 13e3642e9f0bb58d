#include "orders/components.h"

namespace tovi::orders {

void registerSubmissionComponents(frame::Registry& /*registry*/) {}

}  // namespace tovi::orders
