#include "sitepages/components.h"

namespace tovi::sitepages {

void registerComponents(frame::Registry& /*registry*/) {}

}  // namespace tovi::sitepages
