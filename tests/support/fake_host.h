// A host in memory for component tests: the frame's objects without HTTP. Each
// run starts the component, calls its render operation and ends it, as the real
// host does; Response.End and Redirect end the run as they end a page.
//
//   FakeSite site;                              // temporary web root with a fresh database
//   FakeRequest req;  req.query = {{"id", "7"}};  req.session["admin"] = "boss";
//   PageResult page = site.run("mabex.kcdgedit", req, "admin");
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "data/connection.h"
#include "data/value.h"
#include "frame/component.h"
#include "frame/host.h"
#include "frame/http_details.h"
#include "frame/text.h"

namespace tovi::testing {

// Case-insensitive order for session keys and header names.
struct ILess {
  bool operator()(const std::string& a, const std::string& b) const {
    return tovi::frame::asciiLower(a) < tovi::frame::asciiLower(b);
  }
};

using Fields = std::vector<std::pair<std::string, std::string>>;  // names and texts, in order

struct FakeRequest {
  Fields query, form;                                       // repeated names allowed
  std::map<std::string, std::string, ILess> cookies;        // name -> value as sent ("k1=v1&k2=v2", GBK escaped)
  std::map<std::string, tovi::data::Value, ILess> session;        // kept across runs when reused
  std::optional<tovi::data::DateTime> now;                        // the clock; real local time when empty
  // HTTP details for the site's own pages; without `http` the page sees none.
  bool http = false;
  std::string method = "GET", clientAddress = "127.0.0.1";
  std::map<std::string, std::string, ILess> headers;  // e.g. Host, Origin, Referer
  // A same-site post, as the site's own forms send it.
  FakeRequest& sameSitePost() {
    http = true, method = "POST", headers = {{"Host", "127.0.0.1:8080"}, {"Origin", "http://127.0.0.1:8080"}};
    return *this;
  }
};

struct PageResult {
  std::string body, redirect;  // what the page wrote (empty after a redirect); Response.Redirect's target
  bool ended = false, abandoned = false;  // Response.End or Redirect stopped the page; Session.Abandon was called
  std::map<std::string, tovi::frame::ResponseCookie> cookies;
  // Through the HTTP details:
  int status = 200;
  std::string binaryType, binary;  // sendBinary
  std::map<std::string, std::string> headers;
  bool sessionRenewed = false;
};

class FakeSite {
 public:
  // A temporary web root with an `admin` folder and a fresh database/tamlo.mdb
  // holding one account: the site owner "admin" (right 1, no password).
  FakeSite();
  ~FakeSite();

  const std::string& root() const { return root_; }
  std::string databasePath() const { return root_ + "/database/tamlo.mdb"; }
  // A connection of the test's own on the site database.
  tovi::data::Connection& db() { return *db_; }

  // Runs component `id`'s operation `operation` as the page `folder`/x.asp
  // ("" for the storefront root, "admin" for the back office). The request's
  // session is updated with what the page stored.
  PageResult run(const std::string& id, FakeRequest& request, const std::string& folder = "",
                 const std::string& operation = "");

  // Runs `body` as the render operation of a page in `folder` (shared procedures).
  PageResult runBody(const std::function<void()>& body, FakeRequest& request, const std::string& folder = "");

 private:
  PageResult drive(tovi::frame::Component& component, FakeRequest& request, const std::string& folder,
                   const std::function<void()>& body);
  std::string root_;
  tovi::frame::Registry registry_;
  std::unique_ptr<tovi::data::Connection> db_ = std::make_unique<tovi::data::Connection>();
};

}  // namespace tovi::testing
