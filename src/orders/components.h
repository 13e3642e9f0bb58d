// Registers the order pages with the site's registry.
#pragma once

#include "frame/component.h"

namespace tovi::orders {

void registerComponents(frame::Registry& registry);
// The customer's side (order submission, order history): submission_components.cpp.
void registerSubmissionComponents(frame::Registry& registry);
// The operator's side (order list, detail, filter settings): management_components.cpp.
void registerManagementComponents(frame::Registry& registry);

}  // namespace tovi::orders
