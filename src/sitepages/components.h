// Registers the site's own pages (the pages around the component library:
// login check, code image, save pages, editor, upload, frameset, maintenance).
// Their ids are "tovi.<page>"; page files create them like any component.
#pragma once

#include "frame/component.h"

namespace tovi::sitepages {

void registerComponents(frame::Registry& registry);

// One per group of pages, each in its own file.
void registerShellPages(frame::Registry& registry);      // shell_pages.cpp
void registerOrderPages(frame::Registry& registry);      // order_pages.cpp
void registerCataloguePages(frame::Registry& registry);  // catalogue_pages.cpp

}  // namespace tovi::sitepages
