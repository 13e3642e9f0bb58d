#include "host/page_exchange.h"

#include <deque>
#include <optional>

#include "frame/host.h"
#include "frame/http_details.h"
#include "frame/text.h"
#include "host/gbk.h"
#include "host/request_body.h"
#include "host/request_values.h"
#include "host/response_values.h"

namespace tovi::host {
namespace {

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

  // Keeps what the page changed in its session: a shared store writes it now.
  void saveSession() {
    if (session_) state_.sessions->save(*session_);
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
    PostedForm posted = parseForm(req_.header().get_field_or(restinio::http_field::content_type, ""), req_.body());
    form_ = std::move(posted.fields);
    files_ = std::move(posted.files);
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
      if (const std::string* id = rawCookie(kSessionCookie)) session_ = state_.sessions->find(*id);
    }
    return session_.get();
  }
  void issueSessionCookie() { sessionCookie_ = sessionCookieLine(session_->id(), client().https); }
  data::Value Get(std::string_view key) override {
    Session* s = currentSession();
    return s ? s->get(key) : data::Value();
  }
  void Set(std::string_view key, data::Value value) override {
    if (!currentSession()) {
      session_ = state_.sessions->create();
      issueSessionCookie();
    }
    session_->set(key, std::move(value));
  }
  void Abandon() override {
    if (currentSession()) state_.sessions->remove(session_->id());
    session_.reset();
    if (rawCookie(kSessionCookie) || sessionCookie_)
      sessionCookie_ = endedSessionCookieLine();
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
    if (currentSession()) state_.sessions->renew(*session_);
    else session_ = state_.sessions->create();
    issueSessionCookie();
  }
  void logLine(std::string_view text) override { state_.errors.write(text); }
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

}  // namespace

PageOutcome runPageFile(HostState& state, const restinio::request_t& req, std::string folder, const PageFile& page) {
  PageExchange exchange(state, req, std::move(folder));
  auto failed = [&](std::string_view what) {
    try {
      exchange.saveSession();  // what the page set before it failed stays, as it does in this process
    } catch (const std::exception&) {
    }
    std::string id = requestId(state);
    state.errors.write("request " + id + " " + std::string(req.header().method().c_str()) + " " +
                       std::string(req.header().request_target()) + ": " + std::string(what));
    return PageOutcome{exchange.reply(&id), false};
  };
  try {
    exchange.run(page);
    exchange.saveSession();
    Reply r = exchange.reply(nullptr);
    bool impersonal = exchange.impersonal() && r.status == 200 && r.filePath.empty() && !r.shared;
    return {std::move(r), impersonal};
  } catch (const std::exception& e) {
    return failed(e.what());
  } catch (...) {
    return failed("a failure that is no std::exception");
  }
}

}  // namespace tovi::host
