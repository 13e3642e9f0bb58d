#include "sitepages/components.h"

namespace tovi::sitepages {

void registerOrderPages(frame::Registry& /*registry*/) {}

}  // namespace tovi::sitepages
