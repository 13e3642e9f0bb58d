// tovi.nav: the navigation bar above every storefront page (the site's own
// block of each storefront page file, written before the page's component).
//
// The bar is the same for every visitor, so the pages around it stay
// answerable from their rendered copies: who is signed in is filled in by
// js/front.js in the browser, from member.asp (member_pages.h). Without
// script the bar still offers sign-in, sign-up and the order look-up by name.
#pragma once

#include "frame/component.h"

namespace tovi::sitepages {

class nav : public frame::Component {
 public:
  void main();
};

}  // namespace tovi::sitepages
