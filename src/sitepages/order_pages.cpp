#include <memory>

#include "sitepages/components.h"
#include "sitepages/order_delete.h"
#include "sitepages/order_status.h"

namespace tovi::sitepages {

void registerOrderPages(frame::Registry& registry) {
  registry.add("tovi.ddgl2", [] { return std::make_unique<ddgl2>(); }, {frame::op("main", &ddgl2::main)});
  registry.add("tovi.ddgl3", [] { return std::make_unique<ddgl3>(); }, {frame::op("main", &ddgl3::main)});
}

}  // namespace tovi::sitepages
