// Components, the registry and Server.CreateObject.
#include "frame/component.h"

#include <gtest/gtest.h>

#include "data/connection.h"
#include "data/recordset.h"
#include "frame/module1.h"
#include "support/fake_host.h"

using namespace tovi;
using tovi::testing::FakeRequest;
using tovi::testing::FakeSite;

namespace {

struct Probe : frame::Component {
  void main() {}
  void extra() {}
};

TEST(Registry, OperationsInSlotOrderAndIdsInAnyCase) {
  frame::Registry r;
  r.add("mabex.probe", [] { return std::make_unique<Probe>(); },
        {frame::op("main", &Probe::main), frame::op("extra", &Probe::extra), frame::op("withArgs")});
  const frame::ComponentType* t = r.find("MABEX.Probe");
  ASSERT_NE(t, nullptr);
  std::vector<std::string> names;
  for (const auto& o : t->operations) names.push_back(o.name);
  EXPECT_EQ(names, (std::vector<std::string>{"onstartpage", "onendpage", "main", "extra", "withArgs"}));
  EXPECT_NE(t->find("MAIN"), nullptr);
  EXPECT_EQ(t->find("withArgs")->run, nullptr);  // not callable from a page file
  EXPECT_EQ(t->find("missing"), nullptr);
  EXPECT_EQ(r.find("mabex.other"), nullptr);
  EXPECT_THROW(r.add("Mabex.PROBE", [] { return std::make_unique<Probe>(); }, {}), std::logic_error);
}

TEST(Registry, TheSiteRegistersTheInstallationCheck) {
  frame::Registry r;
  frame::registerAllComponents(r);
  const frame::ComponentType* t = r.find("mabex.test");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->operations.size(), 3u);
  EXPECT_EQ(t->operations[2].name, "main");
}

TEST(CreateObject, DatabaseObjectsByProgIdInAnyCaseAndComponentsById) {
  frame::Registry r;
  frame::registerAllComponents(r);
  for (const char* id : {"ADODB.Recordset", "ADODB.RecordSet", "adodb.recordset"})
    EXPECT_NE(frame::createObject(id, r).recordset(), nullptr) << id;
  EXPECT_NE(frame::createObject("ADODB.Connection", r).connection(), nullptr);
  EXPECT_THROW(frame::createObject("ADODB.Connection", r).recordset(), std::logic_error);
  EXPECT_EQ(frame::createObject("mabex.TEST", r).type().id, "mabex.test");
  EXPECT_THROW(frame::createObject("Scripting.FileSystemObject", r), std::invalid_argument);
  EXPECT_THROW(frame::createObject("", r), std::invalid_argument);
}

TEST(InstallationCheck, WritesExactly1233) {
  FakeSite site;
  FakeRequest req;
  auto page = site.run("mabex.test", req);
  EXPECT_EQ(page.body, "1233");
  EXPECT_FALSE(page.ended);
}

TEST(InstallationCheck, RenderWithoutStartFailsAtTheFirstHostCall) {
  FakeSite site;
  frame::pageContext() = {};
  const frame::ComponentType* t = site.registry().find("mabex.test");
  auto c = t->create();
  EXPECT_THROW(t->find("main")->run(*c), frame::NoPageContext);
}

}  // namespace
