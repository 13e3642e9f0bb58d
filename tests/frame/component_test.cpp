// Components, the registry and Server.CreateObject.
#include "frame/component.h"

#include <filesystem>
#include <regex>
#include <set>

#include "data/recordset.h"
#include "frame/text.h"
#include "support/over_http.h"
#include "support/testing.h"

// (Ids and operations in any letter case, unknown ones, operations taking arguments: tests/host's page-file tables.)
TEST(Registry, EachIdOnceAndDatabaseObjectsByProgIdInAnyCase) {
  frame::Registry r;
  frame::registerPages(r);
  EXPECT_THROW(r.add("Mabex.TEST", {}, {}), std::logic_error);
  for (const char* id : {"ADODB.Recordset", "adodb.recordset"})
    EXPECT_NE(frame::createObject(id, r).recordset(), nullptr);
  EXPECT_NE(frame::createObject("ADODB.Connection", r).connection(), nullptr);
  EXPECT_THROW(frame::createObject("ADODB.Connection", r).recordset(), std::logic_error);
  EXPECT_EQ(frame::createObject("mabex.TEST", r).type().id, "mabex.test");
  for (const char* id : {"Scripting.FileSystemObject", ""})
    EXPECT_THROW(frame::createObject(id, r), std::invalid_argument);
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
