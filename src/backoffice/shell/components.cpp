#include "backoffice/shell/components.h"

namespace tovi::backoffice::shell {

void registerComponents(frame::Registry& /*registry*/) {}

}  // namespace tovi::backoffice::shell
