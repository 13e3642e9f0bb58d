// Components, the registry and Server.CreateObject.
#include "frame/component.h"

#include "data/recordset.h"
#include "support/testing.h"

namespace {

struct Probe : frame::Component {
  void main() {}
  void extra() {}
};

}  // namespace

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

TEST(CreateObject, DatabaseObjectsByProgIdInAnyCaseAndComponentsById) {
  frame::Registry r;
  frame::registerAllComponents(r);
  for (const char* id : {"ADODB.Recordset", "ADODB.RecordSet", "adodb.recordset"})
    EXPECT_NE(frame::createObject(id, r).recordset(), nullptr) << id;
  EXPECT_NE(frame::createObject("ADODB.Connection", r).connection(), nullptr);
  EXPECT_THROW(frame::createObject("ADODB.Connection", r).recordset(), std::logic_error);
  // The installation check test.asp hosts (its output the server tests read).
  const frame::ComponentType& test = frame::createObject("mabex.TEST", r).type();
  EXPECT_EQ(test.id, "mabex.test");
  ASSERT_EQ(test.operations.size(), 3u);
  EXPECT_EQ(test.operations[2].name, "main");
  EXPECT_THROW(frame::createObject("Scripting.FileSystemObject", r), std::invalid_argument);
  EXPECT_THROW(frame::createObject("", r), std::invalid_argument);
}
