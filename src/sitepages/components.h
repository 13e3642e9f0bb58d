// Registers the site's own pages (the pages around the component library:
// login check, code image, save pages, editor, upload, frameset, maintenance,
// and the storefront's member, guestbook, news and bulletin pages).
// Their ids are "tovi.<page>"; page files create them like any component.
#pragma once

#include "frame/component.h"

namespace tovi::sitepages {

void registerComponents(frame::Registry& registry);

// One per group of pages, each in its own file.
void registerShellPages(frame::Registry& registry);      // shell_pages.cpp
void registerOrderPages(frame::Registry& registry);      // order_pages.cpp
void registerCataloguePages(frame::Registry& registry);  // catalogue_pages.cpp
void registerVisitorPages(frame::Registry& registry);    // visitor_pages.cpp

}  // namespace tovi::sitepages
