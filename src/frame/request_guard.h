// Guards for requests that change something: they must be posts, and they must
// come from the site's own pages, so another site cannot make a logged-in
// operator's browser change anything.
//
//   if (Request().QueryString("action") == "del") {
//     requirePostFromSite();      // alert and end the page otherwise
//     ...
//   }
//
// Works through the HTTP details of the request context; a host without them
// (a test's fake host that sets none) counts as a same-site post.
#pragma once

#include <string_view>

namespace tovi::frame {

// Whether the request is a POST whose Origin (or, without one, Referer) names
// this site's own host and port. A request with neither header is refused.
[[nodiscard]] bool postedFromSite();
// Unless postedFromSite(): writes an alert that the change was refused, goes back,
// and ends the page.
void requirePostFromSite();

}  // namespace tovi::frame
