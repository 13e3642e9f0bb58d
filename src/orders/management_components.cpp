#include <memory>

#include "orders/components.h"
#include "orders/ddgl.h"
#include "orders/ddgl1.h"
#include "orders/order_pass.h"

namespace tovi::orders {

void registerManagementComponents(frame::Registry& registry) {
  registry.add("mabex.ddgl", [] { return std::make_unique<ddgl>(); },
               {frame::op("main1", &ddgl::main1), frame::op("Strleft"), frame::op("Strlength"), frame::op("Checkstr")});
  registry.addMain<ddgl1>("mabex.ddgl1");
  registry.add("mabex.order_pass", [] { return std::make_unique<order_pass>(); },
               {frame::op("main", &order_pass::main)});
}

}  // namespace tovi::orders
