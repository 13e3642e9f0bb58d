#include "storefront/demo_menu.h"

namespace tovi::storefront {

int seedDemoMenu(const std::string& /*databasePath*/) { return 0; }

}  // namespace tovi::storefront
