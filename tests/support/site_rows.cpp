#include "support/site_rows.h"

#include <filesystem>
#include <stdexcept>

#include "data/schema.h"
#include "frame/module1.h"
#include "frame/text.h"
#include "host/request_values.h"
#include "host/web_root.h"

namespace fs = std::filesystem;
using tovi::data::Value;

namespace tovi::testing {

namespace {

template <class Map>
typename Map::mapped_type valueIn(const Map& map, std::string_view key) {
  auto it = map.find(std::string(key));
  return it == map.end() ? typename Map::mapped_type() : it->second;
}

// The request, the session and the HTTP details over one FakeRequest; the
// answer into one PageResult.
class Host final : public frame::Context,
                   frame::RequestObject,
                   frame::ServerObject,
                   frame::SessionObject,
                   frame::HttpDetails {
 public:
  Host(FakeRequest& req, PageResult& out, const frame::Registry& registry, std::string root, std::string folder)
      : req_(req), out_(out), registry_(registry), root_(std::move(root)), folder_(std::move(folder)) {}

  frame::ResponseObject& response() override { return response_; }
  frame::RequestObject& request() override { return *this; }
  frame::ServerObject& server() override { return *this; }
  frame::ApplicationObject& application() override { return application_; }
  frame::SessionObject& session() override { return *this; }
  data::DateTime now() override { return req_.now ? *req_.now : data::DateTime::now(); }
  frame::HttpDetails* http() override { return req_.http ? this : nullptr; }

  std::string Item(std::string_view name) override {
    bool found = false;
    for (const auto* items : {&req_.query, &req_.form})
      if (std::string value = host::joined(*items, name, &found); found) return value;
    return Cookies(name);
  }
  std::string QueryString(std::string_view name) override { return host::joined(req_.query, name); }
  std::string Form(std::string_view name) override { return host::joined(req_.form, name); }
  std::string Cookies(std::string_view name, std::string_view key) override {
    return host::cookieSubKey(Cookies(name), key);
  }
  std::string Cookies(std::string_view name) override { return valueIn(req_.cookies, name); }

  frame::ObjectRef CreateObject(std::string_view progid) override { return frame::createObject(progid, registry_); }
  std::string MapPath(std::string_view path) override { return host::WebRoot(root_).mapPath(folder_, path); }
  std::string HTMLEncode(std::string_view text) override { return frame::htmlEncode(text); }

  Value Get(std::string_view key) override { return valueIn(req_.session, key); }
  void Set(std::string_view key, Value value) override { req_.session[std::string(key)] = std::move(value); }
  void Abandon() override { req_.session.clear(), out_.abandoned = true; }

  std::string method() override { return req_.method; }
  std::string header(std::string_view name) override { return valueIn(req_.headers, name); }
  std::string clientAddress() override { return req_.clientAddress; }
  bool secure() override { return false; }
  const std::vector<frame::UploadedFile>& files() override { return noFiles_; }
  void sendBinary(std::string_view contentType, std::string bytes) override {
    out_.binaryType = std::string(contentType);
    out_.binary = std::move(bytes);
  }
  void setStatus(int status) override { out_.status = status; }
  void setHeader(std::string_view name, std::string_view value) override { out_.headers[std::string(name)] = value; }
  void renewSession() override { out_.sessionRenewed = true; }
  void logLine(std::string_view) override {}
  std::string option(std::string_view) override { return ""; }
  std::string webRoot() override { return root_; }

 private:
  class Response final : public frame::ResponseObject {
   public:
    explicit Response(PageResult& out) : out_(out) {}
    void Write(std::string_view text) override {
      if (!out_.ended) out_.body.append(text);
    }
    [[noreturn]] void End() override {
      out_.ended = true;
      throw frame::PageEnd{};
    }
    [[noreturn]] void Redirect(std::string_view url) override {
      out_.body.clear();
      out_.redirect = std::string(url);
      End();
    }
    frame::ResponseCookie& Cookies(std::string_view name) override { return out_.cookies[std::string(name)]; }

   private:
    PageResult& out_;
  };

  FakeRequest& req_;
  PageResult& out_;
  const frame::Registry& registry_;
  std::string root_, folder_;
  Response response_{out_};
  frame::ApplicationObject application_;
  const std::vector<frame::UploadedFile> noFiles_;
};

}  // namespace

FakeSite::FakeSite() {
  char tmpl[] = "/tmp/tovi-site-XXXXXX";
  if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
  root_ = tmpl;
  for (const char* folder : {"/admin", "/database"}) fs::create_directories(root_ + folder);
  data::ensureDatabase(databasePath());
  db_->Open("Data Source=" + databasePath());
  // As `tovi init` leaves a site: its owner "admin" (right 1), whom
  // operatorOf() logs in. The back-office guards look the account up.
  db_->Execute("insert into wq_admin (admin, password, flag) values ('admin', '', 1)");
  frame::registerPages(registry_);
}

FakeSite::~FakeSite() {
  frame::pageContext() = {};  // let go of this site's connection before removing it
  db_.reset();
  std::error_code ec;
  fs::remove_all(root_, ec);
}

// Starts `component` on a host over `request`, runs `body` and ends it, as the real host does.
PageResult FakeSite::drive(frame::Component& component, FakeRequest& request, const std::string& folder,
                           const std::function<void()>& body) {
  PageResult out;
  Host host(request, out, registry_, root_, folder);
  component.onstartpage(host);
  struct End {
    frame::Component& component;
    ~End() { component.onendpage(); }
  } end{component};
  try {
    body();
  } catch (const frame::PageEnd&) {
  }
  return out;
}

PageResult FakeSite::runBody(const std::function<void()>& body, FakeRequest& request, const std::string& folder) {
  frame::Component component;
  return drive(component, request, folder, body);
}

PageResult FakeSite::run(const std::string& id, FakeRequest& request, const std::string& folder,
                         const std::string& operation) {
  const frame::ComponentType* type = registry_.find(id);
  const frame::Operation* op = type ? type->find(operation.empty() ? type->operations.at(2).name : operation) : nullptr;
  if (!op || !op->run) throw std::invalid_argument("no callable operation " + operation + " on " + id);
  std::unique_ptr<frame::Component> component = type->create();
  return drive(*component, request, folder, [&] { op->run(*component); });
}

}  // namespace tovi::testing
