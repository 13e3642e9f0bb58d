// Components, the registry and Server.CreateObject.
#include "frame/component.h"

#include <filesystem>
#include <regex>
#include <set>

#include "data/recordset.h"
#include "frame/text.h"
#include "support/live_server.h"
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
  frame::registerPages(r);
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

// Each page file under site/ names its components; each of those ids is
// registered (in the file that implements it), once, and nothing is
// registered that no page file names.
TEST(Registry, ThePageFilesIdsAreExactlyTheRegisteredOnes) {
  frame::Registry r;
  ASSERT_NO_THROW(frame::registerPages(r));  // an id registered twice throws, naming it
  std::set<std::string> named, registered;
  const std::regex createObject(R"re(CreateObject\("([^"]+)"\))re", std::regex::icase);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(TOVI_SOURCE_DIR "/site")) {
    if (frame::asciiLower(entry.path().extension().string()) != ".asp") continue;
    std::string text = readFile(entry.path().string());
    for (std::sregex_iterator m(text.begin(), text.end(), createObject), end; m != end; ++m)
      if (!frame::iequals((*m)[1].str().substr(0, 6), "adodb.")) named.insert(frame::asciiLower((*m)[1].str()));
  }
  for (const std::string& id : r.ids()) registered.insert(frame::asciiLower(id));
  std::vector<std::string> unregistered, unnamed;
  std::set_difference(named.begin(), named.end(), registered.begin(), registered.end(), std::back_inserter(unregistered));
  std::set_difference(registered.begin(), registered.end(), named.begin(), named.end(), std::back_inserter(unnamed));
  EXPECT_THAT(unregistered, IsEmpty()) << "named by a page file, registered nowhere";
  EXPECT_THAT(unnamed, IsEmpty()) << "registered, named by no page file";
  EXPECT_GT(named.size(), 60u);
}
