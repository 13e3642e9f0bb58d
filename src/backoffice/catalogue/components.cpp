#include "backoffice/catalogue/components.h"

namespace tovi::backoffice::catalogue {

void registerComponents(frame::Registry& /*registry*/) {}

}  // namespace tovi::backoffice::catalogue
