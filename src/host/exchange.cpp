#include "host/exchange.h"

#include <sodium.h>
#include <sys/stat.h>

#include <deque>
#include <optional>

#include <restinio/helpers/http_field_parsers/content-disposition.hpp>
#include <restinio/helpers/http_field_parsers/content-type.hpp>
#include <restinio/helpers/multipart_body.hpp>

#include "data/change_stamp.h"
#include "frame/host.h"
#include "frame/http_details.h"
#include "frame/text.h"
#include "host/gbk.h"
#include "host/request_values.h"
#include "host/security_headers.h"
#include "host/static_files.h"

namespace tovi::host {
namespace {

using namespace std::string_view_literals;

// Short pages for the answers the host gives itself (sent in GBK).
std::string notice(std::string_view title, std::string_view text) {
  return std::string(R"(<html><head><meta http-equiv='Content-Type' content='text/html; charset=gb2312'><title>)") +
         std::string(title) + "</title></head><body><p>" + std::string(text) + "</p></body></html>";
}

Reply noticeReply(int status, std::string_view title, std::string_view text) {
  Reply r;
  r.status = status;
  r.headers.emplace_back("Content-Type", "text/html; charset=gb2312");
  r.body = toGbk(notice(title, text));
  return r;
}

Reply notFound() { return noticeReply(404, "找不到网页", "您要找的网页不存在。"); }

// The generic text a failed page ends with; the request id lets the operator
// find the details in the error log.
std::string pageErrorText(const std::string& id) { return "服务器处理本页时出错，请稍后再试。（编号 " + id + "）"; }

std::string cookieDate(const data::DateTime& when) {
  std::tm tm{};
  tm.tm_year = when.year - 1900;
  tm.tm_mon = when.month - 1;
  tm.tm_mday = when.day;
  tm.tm_hour = when.hour;
  tm.tm_min = when.minute;
  tm.tm_sec = when.second;
  tm.tm_isdst = -1;
  return httpDate(std::mktime(&tm));
}

std::string cookiePart(std::string_view utf8) { return percentEncode(toGbk(utf8)); }

// A URL for a Location header: bytes above ASCII percent-encoded as GBK.
std::string locationUrl(std::string_view url) {
  if (isAscii(url)) return std::string(url);
  std::string gbk = toGbk(url), out;
  static const char kHex[] = "0123456789ABCDEF";
  for (unsigned char c : gbk) {
    if (c < 0x80 && c > 0x20) out += static_cast<char>(c);
    else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

// Everything one page request holds while the page runs.
class PageExchange final : public frame::Context,
                           private frame::RequestObject,
                           private frame::ServerObject,
                           private frame::SessionObject,
                           private frame::HttpDetails {
 public:
  PageExchange(HostState& state, const restinio::request_t& req, std::string folder)
      : state_(state), req_(req), folder_(std::move(folder)), body_(scratch()) {
    body_.clear();
  }
  ~PageExchange() {
    // A very large page does not keep its memory on the thread.
    if (body_.capacity() > kKeptScratch) std::string().swap(body_);
  }
  PageExchange(const PageExchange&) = delete;
  PageExchange& operator=(const PageExchange&) = delete;

  // Runs the page file; throws what the page throws.
  void run(const PageFile& page) {
    body_.clear();
    for (const PageBlock& block : page.blocks) {
      body_ += block.before;
      std::unique_ptr<frame::Component> component = block.type->create();
      component->onstartpage(*this);
      try {
        for (const frame::Operation* op : block.calls) op->run(*component);
      } catch (const frame::PageEnd&) {
        ended_ = true;
      } catch (...) {
        component->onendpage();
        throw;
      }
      component->onendpage();
      if (ended_) return;  // Response.End ends the whole page, not just its block
    }
    body_ += page.after;
  }

  // The answer after run(); `failure` appends the generic error text.
  Reply reply(const std::string* failureId) {
    Reply r;
    r.status = status_;
    bool typeSet = false, cacheSet = false;
    for (auto& [name, value] : headers_) {
      if (frame::iequals(name, "Content-Type")) typeSet = true;
      if (frame::iequals(name, "Cache-Control")) cacheSet = true;
      r.headers.emplace_back(name, value);
    }
    if (failureId) {
      r.status = 500;
      binary_.reset();
      redirect_.reset();
      body_ += "<p>" + pageErrorText(*failureId) + "</p>";
    }
    if (redirect_) {
      r.status = 302;
      r.headers.emplace_back("Location", locationUrl(*redirect_));
    } else if (binary_) {
      r.headers.emplace_back("Content-Type", binaryType_);
      r.body = std::move(*binary_);
    } else {
      if (!typeSet) r.headers.emplace_back("Content-Type", "text/html; charset=gb2312");
      r.body = toGbk(std::string_view(body_));
    }
    if (!cacheSet) r.headers.emplace_back("Cache-Control", "private");
    for (const auto& [name, cookie] : cookies_) r.headers.emplace_back("Set-Cookie", setCookieLine(name, cookie));
    if (sessionCookie_) r.headers.emplace_back("Set-Cookie", *sessionCookie_);
    return r;
  }

  // Whether the answer after a successful run() is the same for every
  // request of this page: the page read nothing that differs from one
  // visitor or moment to the next and ended plainly with a 200 text page.
  [[nodiscard]] bool impersonal() const {
    return !personal_ && !redirect_ && !binary_ && status_ == 200 && cookies_.empty() && !sessionLooked_ &&
           !sessionCookie_;
  }

  // frame::Context
  frame::ResponseObject& response() override { return response_; }
  frame::RequestObject& request() override { return *this; }
  frame::ServerObject& server() override { return *this; }
  frame::ApplicationObject& application() override { return application_; }
  frame::SessionObject& session() override { return *this; }
  data::DateTime now() override {
    personal_ = true;
    return data::DateTime::now();
  }
  frame::HttpDetails* http() override { return this; }
  std::optional<data::Value>* checkedRight() override { return &checkedRight_; }

 private:
  // Response: its own object, as its Cookies() differs from the request's only in its result.
  class ResponseSide final : public frame::ResponseObject {
   public:
    explicit ResponseSide(PageExchange& x) : x_(x) {}
    void Write(std::string_view text) override {
      if (!x_.ended_) x_.body_.append(text);
    }
    [[noreturn]] void End() override {
      x_.ended_ = true;
      throw frame::PageEnd{};
    }
    [[noreturn]] void Redirect(std::string_view url) override {
      x_.body_.clear();
      x_.redirect_ = std::string(url);
      x_.ended_ = true;
      throw frame::PageEnd{};
    }
    frame::ResponseCookie& Cookies(std::string_view name) override {
      for (auto& [n, c] : x_.cookies_)
        if (frame::iequals(n, name)) return c;
      return x_.cookies_.emplace_back(std::string(name), frame::ResponseCookie{}).second;
    }

   private:
    PageExchange& x_;
  };

  static std::string setCookieLine(const std::string& name, const frame::ResponseCookie& c) {
    std::string line = cookiePart(name) + "=";
    if (c.keys.empty()) {
      line += cookiePart(c.value);
    } else {
      bool first = true;
      for (const auto& [k, v] : c.keys) {
        if (!first) line += '&';
        line += cookiePart(k) + "=" + cookiePart(v);
        first = false;
      }
    }
    if (c.expires) line += "; expires=" + cookieDate(*c.expires);
    line += "; path=" + (c.path.empty() ? std::string("/") : c.path);
    return line;
  }

  // Request
  const Pairs& query() {
    if (!query_) query_ = parsePairs(req_.header().query());
    return *query_;
  }
  const Pairs& form() {
    personal_ = true;
    if (!form_) readForm();
    return *form_;
  }
  const Pairs& requestCookies() {
    personal_ = true;
    if (!cookiesIn_) cookiesIn_ = parseCookieHeader(req_.header().get_field_or(restinio::http_field::cookie, ""));
    return *cookiesIn_;
  }
  const std::string* rawCookie(std::string_view name) {
    for (const auto& [n, v] : requestCookies())
      if (frame::iequals(n, name)) return &v;
    return nullptr;
  }

  void readForm() {
    form_.emplace();
    std::string type = req_.header().get_field_or(restinio::http_field::content_type, "");
    if (req_.body().empty()) return;
    namespace hfp = restinio::http_field_parsers;
    auto parsed = hfp::content_type_value_t::try_parse(type);
    if (parsed && frame::iequals(parsed->media_type.type, "multipart")) {
      readMultipart();
      return;
    }
    if (!type.empty() && !(parsed && frame::iequals(parsed->media_type.subtype, "x-www-form-urlencoded"))) return;
    *form_ = parsePairs(req_.body());
  }

  void readMultipart() {
    namespace mb = restinio::multipart_body;
    namespace hfp = restinio::http_field_parsers;
    auto result = mb::enumerate_parts(
        req_,
        [this](mb::parsed_part_t part) {
          auto disposition = part.fields.opt_value_of(restinio::http_field::content_disposition);
          if (!disposition) return mb::handling_result_t::continue_enumeration;
          auto parsed = hfp::content_disposition_value_t::try_parse(*disposition);
          if (!parsed || !frame::iequals(parsed->value, "form-data")) return mb::handling_result_t::continue_enumeration;
          auto name = hfp::find_first(parsed->parameters, "name");
          if (!name) return mb::handling_result_t::continue_enumeration;
          auto fileName = hfp::find_first(parsed->parameters, "filename");
          if (fileName) {
            frame::UploadedFile f;
            f.field = fromGbk(*name);
            f.fileName = fromGbk(*fileName);
            f.contentType = std::string(part.fields.get_field_or(restinio::http_field::content_type, ""));
            f.bytes = std::string(part.body);
            files_.push_back(std::move(f));
          } else {
            form_->emplace_back(fromGbk(*name), fromGbk(part.body));
          }
          return mb::handling_result_t::continue_enumeration;
        },
        "multipart", "form-data");
    (void)result;  // a malformed body reads as an empty form
  }

  std::string Item(std::string_view name) override {
    bool found = false;
    std::string v = joined(query(), name, &found);
    if (found) return v;
    v = joined(form(), name, &found);
    if (found) return v;
    return Cookies(name);
  }
  std::string QueryString(std::string_view name) override { return joined(query(), name); }
  std::string Form(std::string_view name) override { return joined(form(), name); }
  std::string Cookies(std::string_view name, std::string_view key) override {
    const std::string* raw = rawCookie(name);
    return raw ? cookieSubKey(*raw, key) : "";
  }
  std::string Cookies(std::string_view name) override {
    const std::string* raw = rawCookie(name);
    return raw ? cookieText(*raw) : "";
  }

  // Server
  frame::ObjectRef CreateObject(std::string_view progid) override {
    return frame::createObject(progid, state_.registry);
  }
  std::string MapPath(std::string_view path) override { return state_.root.mapPath(folder_, path); }
  std::string HTMLEncode(std::string_view text) override { return frame::htmlEncode(text); }

  // Session: looked up only when a page asks, created only when a page stores.
  Session* currentSession() {
    if (!sessionLooked_) {
      sessionLooked_ = true;
      if (const std::string* id = rawCookie(kSessionCookie)) session_ = state_.sessions.find(*id);
    }
    return session_.get();
  }
  void issueSessionCookie() {
    std::string line = std::string(kSessionCookie) + "=" + session_->id() + "; Path=/; HttpOnly; SameSite=Lax";
    if (client().https) line += "; Secure";
    sessionCookie_ = std::move(line);
  }
  data::Value Get(std::string_view key) override {
    Session* s = currentSession();
    return s ? s->get(key) : data::Value();
  }
  void Set(std::string_view key, data::Value value) override {
    if (!currentSession()) {
      session_ = state_.sessions.create();
      issueSessionCookie();
    }
    session_->set(key, std::move(value));
  }
  void Abandon() override {
    if (currentSession()) state_.sessions.remove(session_->id());
    session_.reset();
    if (rawCookie(kSessionCookie) || sessionCookie_)
      sessionCookie_ = std::string(kSessionCookie) + "=; Path=/; Max-Age=0; HttpOnly; SameSite=Lax";
  }

  // HttpDetails
  std::string method() override { return std::string(req_.header().method().c_str()); }
  std::string header(std::string_view name) override {
    personal_ = true;
    return req_.header().get_field_or(name, "");
  }
  std::string clientAddress() override {
    personal_ = true;
    return client().address;
  }
  bool secure() override { return client().https; }
  const std::vector<frame::UploadedFile>& files() override {
    form();
    return files_;
  }
  void sendBinary(std::string_view contentType, std::string bytes) override {
    binaryType_ = std::string(contentType);
    binary_ = std::move(bytes);
  }
  void setStatus(int status) override { status_ = status; }
  void setHeader(std::string_view name, std::string_view value) override {
    for (auto& [n, v] : headers_)
      if (frame::iequals(n, name)) {
        v = std::string(value);
        return;
      }
    headers_.emplace_back(std::string(name), std::string(value));
  }
  void renewSession() override {
    if (currentSession()) state_.sessions.renew(*session_);
    else session_ = state_.sessions.create();
    issueSessionCookie();
  }
  std::string option(std::string_view name) override {
    auto it = state_.options.options.find(std::string(name));
    return it == state_.options.options.end() ? "" : it->second;
  }
  std::string webRoot() override { return state_.root.path(); }

  const Client& client() {
    if (!client_) client_ = clientOf(state_, req_);
    return *client_;
  }

  HostState& state_;
  const restinio::request_t& req_;
  std::optional<Client> client_;
  std::optional<data::Value> checkedRight_;
  std::string folder_;
  frame::ApplicationObject application_;
  ResponseSide response_{*this};

  // The page's text as written (UTF-8), in a buffer each worker thread keeps
  // from page to page: it is encoded into the answer, never sent itself, so a
  // page's writes do not grow a new string every time.
  static constexpr std::size_t kKeptScratch = 1u << 20;
  static std::string& scratch() {
    thread_local std::string buffer;
    return buffer;
  }
  std::string& body_;
  bool ended_ = false;
  int status_ = 200;
  std::optional<std::string> redirect_;
  std::optional<std::string> binary_;
  std::string binaryType_;
  std::vector<std::pair<std::string, std::string>> headers_;
  std::deque<std::pair<std::string, frame::ResponseCookie>> cookies_;  // references stay valid

  std::optional<Pairs> query_, form_, cookiesIn_;
  std::vector<frame::UploadedFile> files_;

  bool personal_ = false;  // read a cookie, the form, a header, the address or the clock
  bool sessionLooked_ = false;
  std::shared_ptr<Session> session_;
  std::optional<std::string> sessionCookie_;
};

std::string requestId(HostState& state) {
  return state.idPrefix + "-" + std::to_string(state.nextRequest.fetch_add(1, std::memory_order_relaxed));
}

Reply staticReply(const restinio::request_t& req, const std::shared_ptr<const StaticFile>& file,
                  const std::string& path) {
  Reply r;
  r.headers.reserve(5);
  r.headers.emplace_back("Last-Modified", file->lastModified);
  r.headers.emplace_back("ETag", file->etag);
  r.headers.emplace_back("Cache-Control", std::string(kStaticCacheControl));
  auto inm = req.header().opt_value_of(restinio::http_field::if_none_match);
  auto ims = req.header().opt_value_of(restinio::http_field::if_modified_since);
  if (file->bytes) r.shared = file->bytes;
  else r.filePath = path;
  if ((inm && inm->find(file->etag) != std::string_view::npos) || (!inm && ims && *ims == file->lastModified)) {
    r.status = 304;
    r.bodyless = true;  // a 304 may only announce the length the 200 would have
    return r;
  }
  r.headers.emplace_back("Content-Type", file->contentType);
  return r;
}

Reply staticFile(HostState& state, const restinio::request_t& req, const std::string& path) {
  std::shared_ptr<const StaticFile> file = state.files.get(path);
  if (!file) return notFound();
  return staticReply(req, file, path);
}

// Whether the answer to `req` may come from a rendered copy of `page`.
// (Any '?' counts as a query string, an empty one too.)
bool mayReuse(const restinio::request_t& req, const PageFile& page) {
  auto method = req.header().method();
  return page.databaseOnly() &&
         req.header().request_target().find('?') == std::string_view::npos && req.body().empty() &&
         (method == restinio::http_method_get() || method == restinio::http_method_head());
}

// The kept copy of `page`, when the database has not changed since it was rendered.
std::optional<Reply> reused(HostState& state, const std::string& path, const PageFile& page) {
  std::shared_ptr<const RenderedPages::Copy> copy = state.rendered.find(path, &page);
  if (!copy) return std::nullopt;
  try {
    if (data::changeStamp(copy->database) != copy->stamp) return std::nullopt;
  } catch (const std::exception&) {
    return std::nullopt;
  }
  Reply r;
  r.status = copy->status;
  r.headers = copy->headers;
  r.shared = copy->body;
  return r;
}

Reply runPage(HostState& state, const restinio::request_t& req, const Resolved& target) {
  std::shared_ptr<const PageFile> page;
  try {
    page = state.pages.get(target.path);
  } catch (const std::exception& e) {
    std::string id = requestId(state);
    state.errors.write("request " + id + " " + std::string(req.header().method().c_str()) + " " +
                       std::string(req.header().path()) + ": " + e.what());
    return noticeReply(500, "服务器错误", pageErrorText(id));
  }
  if (!page) return notFound();  // deleted since its path was looked up
  // A page that may be answered from its rendered copy. The stamp is taken
  // before the page reads the database, so a change landing while it runs
  // makes the copy look older than it is, never newer.
  std::optional<std::uint64_t> stamp;
  std::string database;
  if (mayReuse(req, *page)) {
    if (std::optional<Reply> r = reused(state, target.path, *page)) return std::move(*r);
    try {
      database = state.root.mapPath(target.folder, "./database/tamlo.mdb");
      stamp = data::changeStamp(database);
    } catch (const std::exception&) {
      // No database to stamp: the page runs, and reports what is wrong.
    }
  }
  PageExchange exchange(state, req, target.folder);
  try {
    exchange.run(*page);
    Reply r = exchange.reply(nullptr);
    if (stamp && exchange.impersonal() && r.status == 200 && r.filePath.empty() && !r.shared) {
      auto copy = std::make_shared<RenderedPages::Copy>();
      copy->database = std::move(database);
      copy->stamp = *stamp;
      copy->status = r.status;
      copy->headers = r.headers;
      copy->body = std::make_shared<const std::string>(std::move(r.body));
      r.body.clear();
      r.shared = copy->body;
      state.rendered.keep(target.path, page, std::move(copy));
    }
    return r;
  } catch (const std::exception& e) {
    std::string id = requestId(state);
    state.errors.write("request " + id + " " + std::string(req.header().method().c_str()) + " " +
                       std::string(req.header().request_target()) + ": " + e.what());
    return exchange.reply(&id);
  } catch (...) {
    std::string id = requestId(state);
    state.errors.write("request " + id + " " + std::string(req.header().method().c_str()) + " " +
                       std::string(req.header().request_target()) + ": a failure that is no std::exception");
    return exchange.reply(&id);
  }
}

void sweepSessions(HostState& state) {
  std::int64_t now =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
  std::int64_t last = state.lastSweep.load(std::memory_order_relaxed);
  if (now - last < 60) return;
  if (!state.lastSweep.compare_exchange_strong(last, now)) return;  // another worker sweeps
  state.sessions.sweep();
}

// database/ and uploadpic/ where the options keep them.
WebRoot::Mounts mountsOf(const ServeOptions& o) {
  WebRoot::Mounts m;
  if (!o.dataDir.empty()) m.emplace_back("database", o.dataDir);
  if (!o.uploadDir.empty()) m.emplace_back("uploadpic", o.uploadDir);
  return m;
}

std::string randomPrefix() {
  if (sodium_init() < 0) throw std::runtime_error("libsodium could not start");
  unsigned char bytes[3];
  randombytes_buf(bytes, sizeof bytes);
  char hex[7];
  sodium_bin2hex(hex, sizeof hex, bytes, sizeof bytes);
  return hex;
}

}  // namespace

HostState::HostState(const ServeOptions& o, const frame::Registry& r)
    : options(o),
      registry(r),
      root(o.root, mountsOf(o)),
      pages(r),
      sessions(o.sessionTimeout),
      access(o.accessLog),
      errors(o.errorLog),
      proxies(o.trustedProxies),
      answerHeaders(securityHeaders(o.https)),
      idPrefix(randomPrefix()) {
  prepareGbk();
}

Client clientOf(const HostState& state, const restinio::request_t& req) {
  std::string peer = req.remote_endpoint().address().to_string();
  if (state.proxies.empty()) return Client{std::move(peer), state.options.https};
  // Several headers of one name read as one list, in the order received.
  auto joined = [&req](std::string_view name) {
    std::string all;
    req.header().for_each_value_of(name, [&all](std::string_view v) {
      if (!all.empty()) all += ',';
      all += v;
      return restinio::http_header_fields_t::continue_enumeration();
    });
    return all;
  };
  return state.proxies.client(std::move(peer), joined("X-Forwarded-For"), joined("X-Forwarded-Proto"),
                              state.options.https);
}

const char* reasonPhrase(int status) {
  switch (status) {
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 304: return "Not Modified";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 413: return "Payload Too Large";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return status < 400 ? "OK" : "Error";
  }
}

namespace {

std::optional<Reply> quickStaticOf(HostState& state, const restinio::request_t& req, const Resolved& target) {
  auto method = req.header().method();
  if ((method != restinio::http_method_get() && method != restinio::http_method_head()) || !req.body().empty())
    return std::nullopt;
  std::shared_ptr<const StaticFile> file = state.files.kept(target.path);
  if (!file) return std::nullopt;
  return staticReply(req, file, target.path);
}

std::optional<Reply> quickPageOf(HostState& state, const restinio::request_t& req, const Resolved& target) {
  if (!req.body().empty() || req.header().request_target().find('?') != std::string_view::npos)
    return std::nullopt;
  std::shared_ptr<const PageFile> page = state.pages.fresh(target.path);
  if (!page || !mayReuse(req, *page)) return std::nullopt;
  return reused(state, target.path, *page);
}

}  // namespace

std::optional<Reply> quickAnswer(HostState& state, const restinio::request_t& req, Resolved& target) {
  try {
    target = state.root.remembered(req.header().path());
    switch (target.kind) {
      case Resolved::Kind::File: return quickStaticOf(state, req, target);
      case Resolved::Kind::Page: return quickPageOf(state, req, target);
      default: return std::nullopt;
    }
  } catch (const std::exception&) {
    target = {};
    return std::nullopt;  // the worker answers it, and logs what went wrong
  }
}

Reply handle(HostState& state, const restinio::request_t& req) { return handle(state, req, Resolved{}); }

Reply handle(HostState& state, const restinio::request_t& req, Resolved known) {
  try {
    sweepSessions(state);
    auto method = req.header().method();
    bool head = method == restinio::http_method_head();
    if (method != restinio::http_method_get() && method != restinio::http_method_post() && !head) {
      Reply r = noticeReply(405, "不支持的请求", "服务器不支持这种请求方式。");
      r.headers.emplace_back("Allow", "GET, HEAD, POST");
      return r;
    }
    if (req.body().size() > state.options.maxBodyBytes)
      return noticeReply(413, "提交的内容太大", "提交的内容太大，服务器不能接收。");

    std::string_view path = req.header().path();
    Resolved target = known.kind == Resolved::Kind::None ? state.root.resolveCached(path) : std::move(known);
    if (target.kind == Resolved::Kind::Directory) {
      if (path.empty() || path.back() != '/') {
        Reply r;
        r.status = 301;
        std::string location = std::string(path) + "/";
        if (!req.header().query().empty()) {
          location += '?';
          location += req.header().query();
        }
        r.headers.emplace_back("Location", location);
        return r;
      }
      target = state.root.defaultDocument(target);
    }
    switch (target.kind) {
      case Resolved::Kind::Page: return runPage(state, req, target);
      case Resolved::Kind::File: return staticFile(state, req, target.path);
      default: return notFound();
    }
  } catch (const std::exception& e) {
    std::string id = requestId(state);
    state.errors.write("request " + id + ": " + e.what());
    return noticeReply(500, "服务器错误", std::string("服务器出错了。（编号 ") + id + "）");
  }
}

}  // namespace tovi::host
