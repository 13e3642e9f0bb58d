#include "orders/ckdd.h"
#include "orders/components.h"
#include "orders/dctj.h"

namespace tovi::orders {

void registerSubmissionComponents(frame::Registry& registry) {
  registry.add("mabex.dctj", [] { return std::make_unique<dctj>(); }, {frame::op("main", &dctj::main)});
  registry.add("mabex.ckdd", [] { return std::make_unique<ckdd>(); }, {frame::op("main", &ckdd::main)});
}

}  // namespace tovi::orders
