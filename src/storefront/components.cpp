#include "storefront/components.h"

namespace tovi::storefront {

void registerComponents(frame::Registry& /*registry*/) {}

}  // namespace tovi::storefront
