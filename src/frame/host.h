// The contract between the pages and the web server that hosts them.
//
// A page sees the server only through these objects, handed out by the
// request context (`mys`) when the page starts:
//
//   Response  Write, End, Redirect, Cookies(name)
//   Request   Request(name), QueryString(name), Form(name), Cookies(name, key)
//   Server    CreateObject(progid), MapPath(path), HTMLEncode(text)
//   Session   Session(key) read and write, Abandon
//   Application  (handed out, never used)
//
// Texts are UTF-8 in both directions: the host decodes what the browser sent
// and encodes what the page wrote for the page's declared character set.
//
// Threads: a context and its objects belong to one request, served start to
// end on one thread. Nothing here may be kept past the request.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/value.h"

namespace tovi::frame {

class ObjectRef;
class HttpDetails;

// Thrown by Response.End and Response.Redirect: the page stops at once. The host
// catches it as the normal end of the page; pages never catch it. It is not a
// std::exception, so no handler meant for failures takes it by mistake.
struct PageEnd {};

// A cookie the page sets: either a plain value or sub-keys (name=k1=v1&k2=v2).
struct ResponseCookie {
  std::string value;
  std::vector<std::pair<std::string, std::string>> keys;  // in the order first set
  std::optional<data::DateTime> expires;                  // session cookie when empty
  std::string path;
  // Kept from the page's scripts, held back from other sites' requests, sent only over HTTPS.
  bool httpOnly = false;
  std::string sameSite;  // "Lax", "Strict"; not sent when empty
  bool secure = false;

  // Response.Cookies(name)(key) = value
  void set(std::string_view key, std::string_view v);
};

class ResponseObject {
 public:
  virtual ~ResponseObject() = default;
  // Appends text to the response body, in call order. Ignored after End.
  virtual void Write(std::string_view text) = 0;
  // Finishes the response: what was written is sent, nothing more is. Throws PageEnd.
  [[noreturn]] virtual void End() = 0;
  // Sends the browser to `url` (302); the body written so far is discarded. Throws PageEnd.
  [[noreturn]] virtual void Redirect(std::string_view url) = 0;
  // The cookie of that name to be sent with the response, created empty on first use.
  virtual ResponseCookie& Cookies(std::string_view name) = 0;
};

class RequestObject {
 public:
  virtual ~RequestObject() = default;
  // Request(name): the query string's value, else the posted form's, else the
  // cookie's; "" when absent. Several values of one name come joined with ", ".
  virtual std::string Item(std::string_view name) = 0;
  std::string operator()(std::string_view name) { return Item(name); }
  // The query string's value only.
  virtual std::string QueryString(std::string_view name) = 0;
  // The posted form's value only (url-encoded or multipart).
  virtual std::string Form(std::string_view name) = 0;
  // A request cookie's sub-key; "" when the cookie or the key is absent.
  virtual std::string Cookies(std::string_view name, std::string_view key) = 0;
  // A request cookie's whole value; "" when absent.
  virtual std::string Cookies(std::string_view name) = 0;
};

class ServerObject {
 public:
  virtual ~ServerObject() = default;
  // "ADODB.Connection", "ADODB.Recordset" (any letter case) or a registered
  // component id such as "mabex.kcdg". Throws std::invalid_argument for others.
  virtual ObjectRef CreateObject(std::string_view progid) = 0;
  // The file-system path of `path` taken relative to the current page's folder.
  // Throws std::invalid_argument when the result would lie outside the web root.
  virtual std::string MapPath(std::string_view path) = 0;
  // `text` with & < > " ' replaced by entities.
  virtual std::string HTMLEncode(std::string_view text) = 0;
};

class SessionObject {
 public:
  virtual ~SessionObject() = default;
  // The value stored under `key` (any letter case); Empty when never set.
  virtual data::Value Get(std::string_view key) = 0;
  data::Value operator()(std::string_view key) { return Get(key); }
  // Stores the value for this visitor until changed or the session ends.
  virtual void Set(std::string_view key, data::Value value) = 0;
  // Discards the session and all its keys.
  virtual void Abandon() = 0;
};

class ApplicationObject {
 public:
  virtual ~ApplicationObject() = default;
};

// The request context `mys` handed to onstartpage.
class Context {
 public:
  virtual ~Context() = default;
  virtual ResponseObject& response() = 0;
  virtual RequestObject& request() = 0;
  virtual ServerObject& server() = 0;
  virtual ApplicationObject& application() = 0;
  virtual SessionObject& session() = 0;
  // The server's local date and time: the clock every page reads (tests set it).
  virtual data::DateTime now() = 0;
  // The HTTP details the site's own pages need beyond the contract above;
  // null where the host has none.
  virtual HttpDetails* http() { return nullptr; }
  // Kept for this request only and shared by all its script blocks: the
  // back-office right the guards read from the database (module1.h), so they
  // read it once. Null where the host keeps nothing per request; the guards
  // then read it each time.
  virtual std::optional<data::Value>* checkedRight() { return nullptr; }
};

}  // namespace tovi::frame
