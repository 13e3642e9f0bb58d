#include "orders/ckdd.h"
#include "orders/components.h"
#include "orders/dctj.h"

namespace tovi::orders {

void registerSubmissionComponents(frame::Registry& registry) {
  registry.addMain<dctj>("mabex.dctj");
  registry.addMain<ckdd>("mabex.ckdd");
}

}  // namespace tovi::orders
