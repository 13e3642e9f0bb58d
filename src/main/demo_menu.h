// The demo menu: dishes in the three categories and both home-page groups, each
// with its own picture and description, so a new site shows a living storefront.
#pragma once

#include <string>

namespace tovi::site {

// Adds the demo dishes to the database at `databasePath` when it holds no dish.
// Returns the number of dishes added.
int seedDemoMenu(const std::string& databasePath);

}  // namespace tovi::site
