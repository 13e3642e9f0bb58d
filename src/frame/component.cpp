#include "frame/component.h"

#include <stdexcept>

#include "data/connection.h"
#include "data/recordset.h"
#include "frame/host.h"
#include "frame/module1.h"
#include "frame/text.h"

namespace tovi::frame {

void Component::onstartpage(Context& mys) {
  PageContext& ctx = pageContext();
  ctx.response = &mys.response();
  ctx.request = &mys.request();
  ctx.server = &mys.server();
  ctx.application = &mys.application();
  ctx.session = &mys.session();
  ctx.mys = &mys;
}

void Component::onendpage() {
  PageContext& ctx = pageContext();
  ctx.response = nullptr;
  ctx.request = nullptr;
  ctx.server = nullptr;
  ctx.application = nullptr;
  ctx.session = nullptr;
  ctx.mys = nullptr;
}

const Operation* ComponentType::find(std::string_view name) const {
  for (const Operation& o : operations)
    if (iequals(o.name, name)) return &o;
  return nullptr;
}

ObjectRef::ObjectRef(std::shared_ptr<data::Connection> c) : conn_(std::move(c)) {}
ObjectRef::ObjectRef(std::shared_ptr<data::Recordset> r) : rs_(std::move(r)) {}
ObjectRef::ObjectRef(const ComponentType& type, std::unique_ptr<Component> c) : type_(&type), comp_(std::move(c)) {}
ObjectRef::ObjectRef(ObjectRef&&) noexcept = default;
ObjectRef& ObjectRef::operator=(ObjectRef&&) noexcept = default;
ObjectRef::~ObjectRef() = default;

std::shared_ptr<data::Connection> ObjectRef::connection() const {
  if (!conn_) throw std::logic_error("Server.CreateObject: the object is not a connection");
  return conn_;
}
std::shared_ptr<data::Recordset> ObjectRef::recordset() const {
  if (!rs_) throw std::logic_error("Server.CreateObject: the object is not a record set");
  return rs_;
}
Component& ObjectRef::component() const {
  if (!comp_) throw std::logic_error("Server.CreateObject: the object is not a page component");
  return *comp_;
}
const ComponentType& ObjectRef::type() const {
  if (!type_) throw std::logic_error("Server.CreateObject: the object is not a page component");
  return *type_;
}

void Registry::add(std::string id, std::function<std::unique_ptr<Component>()> create,
                   std::vector<Operation> operations, Output output) {
  std::string key = asciiLower(id);
  if (types_.count(key)) throw std::logic_error("component registered twice: " + id);
  ComponentType type;
  type.id = std::move(id);
  type.output = output;
  type.create = std::move(create);
  type.operations.push_back({"onstartpage", nullptr});
  type.operations.push_back({"onendpage", nullptr});
  for (Operation& o : operations) type.operations.push_back(std::move(o));
  types_.emplace(std::move(key), std::move(type));
}

const ComponentType* Registry::find(std::string_view id) const {
  auto it = types_.find(asciiLower(id));
  return it == types_.end() ? nullptr : &it->second;
}

std::vector<std::string> Registry::ids() const {
  std::vector<std::string> out;
  for (const auto& [key, type] : types_) out.push_back(type.id);
  return out;
}

namespace {

std::vector<void (*)(Registry&)>& registrations() {
  static std::vector<void (*)(Registry&)> all;
  return all;
}

}  // namespace

PageRegistration::PageRegistration(void (*add)(Registry&)) { registrations().push_back(add); }

void registerPages(Registry& registry) {
  for (auto add : registrations()) add(registry);
}

ObjectRef createObject(std::string_view progid, const Registry& registry) {
  if (iequals(progid, "ADODB.Connection")) return ObjectRef(std::make_shared<data::Connection>());
  if (iequals(progid, "ADODB.Recordset")) return ObjectRef(std::make_shared<data::Recordset>());
  if (const ComponentType* type = registry.find(progid)) return ObjectRef(*type, type->create());
  throw std::invalid_argument("Server.CreateObject: unknown object id \"" + std::string(progid) + "\"");
}

}  // namespace tovi::frame
