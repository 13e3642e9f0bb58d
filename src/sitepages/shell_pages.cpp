#include "sitepages/components.h"

namespace tovi::sitepages {

void registerShellPages(frame::Registry& /*registry*/) {}

}  // namespace tovi::sitepages
