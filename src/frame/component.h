// Page components and the registry that creates them by id.
//
// Every page of the site is one component: the page file creates it with
// Server.CreateObject("mabex.<class>"), the host starts it with the request
// context, the page file calls its render operation, the host ends it.
// A component is registered in the file that implements it, so that the id a
// page file names leads, in one search, to its code:
//
//   class test : public frame::Component {
//    public:
//     void main() { Module1::Response().Write("1233"); }
//   };
//   const frame::PageRegistration pages([](frame::Registry& registry) {
//     registry.addMain<test>("mabex.test");
//   });
//
// registerPages(registry) then adds every page of the program (main and the
// tests do this once at start). A component has no state of its own between
// requests; while it runs, the host objects are in the per-thread page
// context (module1.h).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tovi::data {
class Connection;
class Recordset;
}  // namespace tovi::data

namespace tovi::frame {

class Context;

class Component {
 public:
  virtual ~Component() = default;
  // Stores the request context's response, request, server, application and
  // session, in that order, in this thread's page context.
  void onstartpage(Context& mys);
  // Clears the five host objects, in the same order. Leaves conn and rs.
  void onendpage();
};

// One operation of a component's interface. `run` is empty for operations
// that take arguments, which only the component itself calls.
struct Operation {
  std::string name;
  std::function<void(Component&)> run;
};

template <class C>
Operation op(std::string name, void (C::*fn)()) {
  return {std::move(name), [fn](Component& c) { (static_cast<C&>(c).*fn)(); }};
}
inline Operation op(std::string name) { return {std::move(name), nullptr}; }

// What a component's output depends on. DatabaseOnly promises that, for one
// page file, the bytes it writes are a function of the site database's
// contents alone: no request value, cookie, session, clock or random value
// changes them. The host may then answer from a rendered copy (host/rendered_pages.h).
enum class Output { PerRequest, DatabaseOnly };

struct ComponentType {
  std::string id;                     // "mabex.kcdg"
  Output output = Output::PerRequest;
  std::vector<Operation> operations;  // slot order: onstartpage, onendpage, render, extras
  std::function<std::unique_ptr<Component>()> create;

  // The operation of that name (any letter case); null when there is none.
  [[nodiscard]] const Operation* find(std::string_view name) const;
};

// What Server.CreateObject hands out: a connection, a record set or a component.
class ObjectRef {
 public:
  explicit ObjectRef(std::shared_ptr<data::Connection> c);
  explicit ObjectRef(std::shared_ptr<data::Recordset> r);
  ObjectRef(const ComponentType& type, std::unique_ptr<Component> c);
  ObjectRef(ObjectRef&&) noexcept;
  ObjectRef& operator=(ObjectRef&&) noexcept;
  ~ObjectRef();

  // The object as that kind; std::logic_error when it is another kind.
  std::shared_ptr<data::Connection> connection() const;
  std::shared_ptr<data::Recordset> recordset() const;
  Component& component() const;
  const ComponentType& type() const;  // of a component

 private:
  std::shared_ptr<data::Connection> conn_;
  std::shared_ptr<data::Recordset> rs_;
  const ComponentType* type_ = nullptr;
  std::unique_ptr<Component> comp_;
};

// Built once at start, then only read (safe from any thread).
class Registry {
 public:
  // Registers a component; onstartpage and onendpage are put in front of `operations`.
  // Throws std::logic_error for an id registered twice.
  void add(std::string id, std::function<std::unique_ptr<Component>()> create, std::vector<Operation> operations,
           Output output = Output::PerRequest);
  // Registers a component made with its default constructor whose only
  // operation after the two lifecycle ones is `main`.
  template <class C>
  void addMain(std::string id) {
    add(std::move(id), [] { return std::make_unique<C>(); }, {op("main", &C::main)});
  }
  // The type registered under `id` (any letter case); null when none is.
  [[nodiscard]] const ComponentType* find(std::string_view id) const;
  [[nodiscard]] std::vector<std::string> ids() const;

  // Where pages keep what a later request needs (failure counts, flood
  // windows) when several servers answer the site: the data source text of
  // its database. Empty (the default): in this process. Set before the pages
  // are registered; their registrations choose their stores by it.
  void keepSharedStateIn(std::string location) { sharedState_ = std::move(location); }
  [[nodiscard]] const std::string& sharedState() const { return sharedState_; }

 private:
  std::map<std::string, ComponentType, std::less<>> types_;  // by lower-case id
  std::string sharedState_;
};

// Server.CreateObject for every host: database objects by their ProgIDs,
// components from the registry. Throws std::invalid_argument for an unknown id.
ObjectRef createObject(std::string_view progid, const Registry& registry);

// One file's page registrations, run by registerPages. Declared at namespace
// scope in the file that implements the pages; the list they join is filled
// before main starts and only read after.
class PageRegistration {
 public:
  explicit PageRegistration(void (*add)(Registry&));
};

// Adds every page registered in the program to `registry`. Throws
// std::logic_error when two files register one id.
void registerPages(Registry& registry);

}  // namespace tovi::frame
