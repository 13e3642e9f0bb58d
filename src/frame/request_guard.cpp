#include "frame/request_guard.h"

#include <string>

#include "frame/http_details.h"
#include "frame/module1.h"
#include "frame/text.h"

namespace tovi::frame {
namespace {

// "http://host:port/path..." -> "host:port" (lower case); "" when it is no http(s) address.
std::string authorityOf(std::string_view url) {
  std::size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return "";
  std::string_view rest = url.substr(scheme + 3);
  std::size_t end = rest.find_first_of("/?#");
  return asciiLower(rest.substr(0, end));
}

}  // namespace

bool postedFromSite() {
  Context* mys = pageContext().mys;
  if (!mys) throw NoPageContext();
  HttpDetails* http = mys->http();
  if (!http) return true;
  if (!iequals(http->method(), "POST")) return false;
  std::string host = asciiLower(http->header("Host"));
  if (host.empty()) return false;
  std::string origin = http->header("Origin");
  if (!origin.empty() && origin != "null") return authorityOf(origin) == host;
  std::string referer = http->header("Referer");
  return !referer.empty() && authorityOf(referer) == host;
}

void requirePostFromSite() {
  if (postedFromSite()) return;
  Module1::Response().Write(
      "<script language=javascript>alert('操作被拒绝：更改只能从本站后台页面提交。');history.go(-1);</script>");
  Module1::Response().End();
}

}  // namespace tovi::frame
