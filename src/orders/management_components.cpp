#include <memory>

#include "orders/components.h"
#include "orders/ddgl.h"
#include "orders/ddgl1.h"
#include "orders/order_pass.h"

namespace tovi::orders {

void registerManagementComponents(frame::Registry& registry) {
  registry.add("mabex.ddgl", [] { return std::make_unique<ddgl>(); },
               {frame::op("main1", &ddgl::main1), frame::op("Strleft"), frame::op("Strlength"), frame::op("Checkstr")});
  registry.add("mabex.ddgl1", [] { return std::make_unique<ddgl1>(); }, {frame::op("main", &ddgl1::main)});
  registry.add("mabex.order_pass", [] { return std::make_unique<order_pass>(); },
               {frame::op("main", &order_pass::main)});
}

}  // namespace tovi::orders
