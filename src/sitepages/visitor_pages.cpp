// The site's own storefront pages around the component library: the
// navigation bar, members (sign-up, sign-in, sign-out), the public
// guestbook, the news and the bulletin.
#include "sitepages/bulletin_page.h"
#include "sitepages/components.h"
#include "sitepages/guestbook_page.h"
#include "sitepages/member_account.h"
#include "sitepages/nav_bar.h"
#include "sitepages/news_pages.h"

namespace tovi::sitepages {

void registerVisitorPages(frame::Registry& registry) {
  // The same bytes for every visitor: the page around it may be reused.
  registry.add("tovi.nav", [] { return std::make_unique<nav>(); }, {frame::op("main", &nav::main)},
               frame::Output::DatabaseOnly);
  // -- members
  registerMemberPages(registry);
  // -- guestbook, news, bulletin
  // Lists and the bulletin show the database alone (a query string, as for
  // another page or an item, is never answered from a copy).
  registerGuestbookPage(registry);
  registry.add("tovi.news", [] { return std::make_unique<news>(); }, {frame::op("main", &news::main)},
               frame::Output::DatabaseOnly);
  registry.addMain<newsitem>("tovi.newsitem");
  using Place = bulletinview::Place;
  for (const auto& where : {std::pair{"tovi.bulletin", Place::OwnPage}, std::pair{"tovi.bulletinbox", Place::HomePage}}) {
    Place place = where.second;
    registry.add(where.first, [place] { return std::make_unique<bulletinview>(place); },
                 {frame::op("main", &bulletinview::main)}, frame::Output::DatabaseOnly);
  }
}

}  // namespace tovi::sitepages
