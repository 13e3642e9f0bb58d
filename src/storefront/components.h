// Registers the components of this folder with the site's registry.
#pragma once

#include "frame/component.h"

namespace tovi::storefront {

void registerComponents(frame::Registry& registry);

}  // namespace tovi::storefront
