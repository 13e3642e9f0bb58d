// The site's own storefront pages around the component library: the
// navigation bar, members (sign-up, sign-in, sign-out), the public
// guestbook, the news and the bulletin.
#include "sitepages/components.h"
#include "sitepages/member_account.h"
#include "sitepages/nav_bar.h"

namespace tovi::sitepages {

void registerVisitorPages(frame::Registry& registry) {
  // The same bytes for every visitor: the page around it may be reused.
  registry.add("tovi.nav", [] { return std::make_unique<nav>(); }, {frame::op("main", &nav::main)},
               frame::Output::DatabaseOnly);
  // -- members
  registerMemberPages(registry);
  // -- guestbook, news, bulletin
}

}  // namespace tovi::sitepages
