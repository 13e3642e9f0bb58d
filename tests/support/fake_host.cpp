#include "support/fake_host.h"

#include <filesystem>
#include <stdexcept>

#include "data/schema.h"
#include "frame/module1.h"
#include "frame/text.h"

namespace fs = std::filesystem;
using tovi::data::Value;

namespace tovi::testing {

bool ILess::operator()(const std::string& a, const std::string& b) const {
  return frame::asciiLower(a) < frame::asciiLower(b);
}

namespace {

std::string joined(const std::vector<std::pair<std::string, std::string>>& items, std::string_view name) {
  std::string out;
  bool found = false;
  for (const auto& [k, v] : items) {
    if (!frame::iequals(k, name)) continue;
    if (found) out += ", ";
    out += v;
    found = true;
  }
  return out;
}

std::string subKey(const std::string& whole, std::string_view key) {
  std::size_t pos = 0;
  while (pos <= whole.size()) {
    std::size_t amp = whole.find('&', pos);
    std::string_view part = std::string_view(whole).substr(pos, amp == std::string::npos ? std::string::npos : amp - pos);
    std::size_t eq = part.find('=');
    if (eq != std::string_view::npos && frame::iequals(part.substr(0, eq), key)) return std::string(part.substr(eq + 1));
    if (amp == std::string::npos) break;
    pos = amp + 1;
  }
  return "";
}

struct State {
  FakeRequest& req;
  PageResult& out;
  const frame::Registry& registry;
  std::string root, folder;
};

class Response final : public frame::ResponseObject {
 public:
  explicit Response(State& s) : s_(s) {}
  void Write(std::string_view text) override {
    if (!s_.out.ended) s_.out.body.append(text);
  }
  [[noreturn]] void End() override {
    s_.out.ended = true;
    throw frame::PageEnd{};
  }
  [[noreturn]] void Redirect(std::string_view url) override {
    s_.out.body.clear();
    s_.out.redirect = std::string(url);
    s_.out.ended = true;
    throw frame::PageEnd{};
  }
  frame::ResponseCookie& Cookies(std::string_view name) override { return s_.out.cookies[std::string(name)]; }

 private:
  State& s_;
};

class Request final : public frame::RequestObject {
 public:
  explicit Request(State& s) : s_(s) {}
  std::string Item(std::string_view name) override {
    for (const auto* items : {&s_.req.query, &s_.req.form})
      for (const auto& [k, v] : *items)
        if (frame::iequals(k, name)) return joined(*items, name);
    return Cookies(name);
  }
  std::string QueryString(std::string_view name) override { return joined(s_.req.query, name); }
  std::string Form(std::string_view name) override { return joined(s_.req.form, name); }
  std::string Cookies(std::string_view name, std::string_view key) override { return subKey(Cookies(name), key); }
  std::string Cookies(std::string_view name) override {
    for (const auto& [k, v] : s_.req.cookies)
      if (frame::iequals(k, name)) return v;
    return "";
  }

 private:
  State& s_;
};

class Server final : public frame::ServerObject {
 public:
  explicit Server(State& s) : s_(s) {}
  frame::ObjectRef CreateObject(std::string_view progid) override { return frame::createObject(progid, s_.registry); }
  std::string MapPath(std::string_view path) override {
    fs::path root(s_.root);
    fs::path base = s_.folder.empty() ? root : root / s_.folder;
    // A path from '/' starts at the root, as in the real host.
    fs::path p = (path.starts_with("/") ? root / std::string(path.substr(1)) : base / std::string(path)).lexically_normal();
    auto rel = p.lexically_relative(root);
    if (rel.empty() || *rel.begin() == "..") throw std::invalid_argument("MapPath: outside the web root");
    return p.string();
  }
  std::string HTMLEncode(std::string_view text) override { return frame::htmlEncode(text); }

 private:
  State& s_;
};

class Session final : public frame::SessionObject {
 public:
  explicit Session(State& s) : s_(s) {}
  Value Get(std::string_view key) override {
    auto it = s_.req.session.find(std::string(key));
    return it == s_.req.session.end() ? Value() : it->second;
  }
  void Set(std::string_view key, Value value) override { s_.req.session[std::string(key)] = std::move(value); }
  void Abandon() override {
    s_.req.session.clear();
    s_.out.abandoned = true;
  }

 private:
  State& s_;
};

class Http final : public frame::HttpDetails {
 public:
  explicit Http(State& s) : s_(s) {}
  std::string method() override { return s_.req.method; }
  std::string header(std::string_view name) override {
    auto it = s_.req.headers.find(std::string(name));
    return it == s_.req.headers.end() ? "" : it->second;
  }
  std::string clientAddress() override { return s_.req.clientAddress; }
  bool secure() override { return false; }
  const std::vector<frame::UploadedFile>& files() override { return s_.req.files; }
  void sendBinary(std::string_view contentType, std::string bytes) override {
    s_.out.binaryType = std::string(contentType);
    s_.out.binary = std::move(bytes);
  }
  void setStatus(int status) override { s_.out.status = status; }
  void setHeader(std::string_view name, std::string_view value) override {
    s_.out.headers[std::string(name)] = std::string(value);
  }
  void renewSession() override { s_.out.sessionRenewed = true; }
  std::string option(std::string_view name) override {
    auto it = s_.req.options.find(std::string(name));
    return it == s_.req.options.end() ? "" : it->second;
  }
  std::string webRoot() override { return s_.root; }

 private:
  State& s_;
};

class Host final : public frame::Context {
 public:
  explicit Host(State s) : s_(std::move(s)) {}
  frame::ResponseObject& response() override { return response_; }
  frame::RequestObject& request() override { return request_; }
  frame::ServerObject& server() override { return server_; }
  frame::ApplicationObject& application() override { return application_; }
  frame::SessionObject& session() override { return session_; }
  data::DateTime now() override { return s_.req.now ? *s_.req.now : data::DateTime::now(); }
  frame::HttpDetails* http() override { return s_.req.http ? &http_ : nullptr; }

 private:
  State s_;
  Http http_{s_};
  Response response_{s_};
  Request request_{s_};
  Server server_{s_};
  Session session_{s_};
  frame::ApplicationObject application_;
};

}  // namespace

FakeSite::FakeSite() {
  char tmpl[] = "/tmp/tovi-site-XXXXXX";
  if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
  root_ = tmpl;
  fs::create_directories(root_ + "/admin");
  fs::create_directories(root_ + "/database");
  data::ensureDatabase(databasePath());
  // As `tovi init` leaves a site: its owner "admin" (right 1), whom
  // operatorOf() logs in. The back-office guards look the account up.
  db().Execute("insert into wq_admin (admin, password, flag) values ('admin', '', 1)");
  frame::registerAllComponents(registry_);
}

FakeSite::~FakeSite() {
  frame::pageContext() = {};  // let go of this site's connection before removing it
  db_.reset();
  std::error_code ec;
  fs::remove_all(root_, ec);
}

data::Connection& FakeSite::db() {
  if (!db_) {
    db_ = std::make_unique<data::Connection>();
    db_->Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + databasePath());
  }
  return *db_;
}

namespace {
class BodyComponent final : public frame::Component {};
}  // namespace

PageResult FakeSite::runBody(const std::function<void()>& body, FakeRequest& request, const std::string& folder) {
  PageResult out;
  Host host(State{request, out, registry_, root_, folder});
  BodyComponent component;
  component.onstartpage(host);
  try {
    body();
  } catch (const frame::PageEnd&) {
  } catch (...) {
    component.onendpage();
    throw;
  }
  component.onendpage();
  return out;
}

PageResult FakeSite::run(const std::string& id, FakeRequest& request, const std::string& folder,
                         const std::string& operation) {
  const frame::ComponentType* type = registry_.find(id);
  if (!type) throw std::invalid_argument("no component " + id);
  std::string opName = operation;
  if (opName.empty()) opName = type->operations.at(2).name;
  const frame::Operation* op = type->find(opName);
  if (!op || !op->run) throw std::invalid_argument("no callable operation " + opName + " on " + id);

  PageResult out;
  Host host(State{request, out, registry_, root_, folder});
  std::unique_ptr<frame::Component> component = type->create();
  component->onstartpage(host);
  try {
    op->run(*component);
  } catch (const frame::PageEnd&) {
  } catch (...) {
    component->onendpage();
    throw;
  }
  component->onendpage();
  return out;
}

}  // namespace tovi::testing
