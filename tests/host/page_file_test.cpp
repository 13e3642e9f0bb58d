// Page files: what the parser accepts, what it refuses, and the cache that
// re-reads a changed file.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "host/page_file.h"

using namespace tovi;
using host::PageFile;
using host::PageFileError;
using host::parsePageFile;

namespace {

struct Probe : frame::Component {
  void main() {}
  void other() {}
};

frame::Registry probeRegistry() {
  frame::Registry r;
  r.add("mabex.probe", [] { return std::make_unique<Probe>(); },
        {frame::op("main", &Probe::main), frame::op("Other", &Probe::other), frame::op("withArgs")});
  return r;
}

TEST(PageFileParser, AcceptsThePageScriptsInAnyLetterCase) {
  frame::Registry r = probeRegistry();
  struct Case {
    const char* text;
    std::vector<std::string> before;                  // each block's literal text before it
    std::vector<std::vector<std::string>> calls;      // each block's operations
    const char* after;
  } cases[] = {
      {"<%@ Language=VBScript %>\n<%\nDim obj\nSet obj = Server.CreateObject(\"mabex.probe\")\nobj.main\nSet obj = Nothing\n%>",
       {""}, {{"main"}}, ""},
      {"<%@ Language=VBScript %>\r\n<html><%\r\n  DIM Obj\r\n  set obj=server.createobject(\"MABEX.PROBE\")\r\n  OBJ.MAIN()\r\n"
       "  ' a comment\r\n\r\n  Call obj.other\r\n  Set obj = nothing\r\n%></html>\n",
       {"<html>"}, {{"main", "Other"}}, "</html>\n"},
      {"<%\nDim a, b\nSet a = Server.CreateObject(\"mabex.probe\")\na.main\n%>", {""}, {{"main"}}, ""},
      {"<p>static only</p>", {}, {}, "<p>static only</p>"},
      {"<html><%\nSet nav = Server.CreateObject(\"mabex.probe\")\nnav.other\n%><body><%\nSet o = "
       "Server.CreateObject(\"mabex.probe\")\no.main\n%></body>",
       {"<html>", "<body>"}, {{"Other"}, {"main"}}, "</body>"},  // each block with its own component
  };
  for (const Case& c : cases) {
    PageFile p = parsePageFile(c.text, r);
    ASSERT_EQ(p.blocks.size(), c.before.size()) << c.text;
    EXPECT_EQ(p.after, c.after) << c.text;
    for (std::size_t b = 0; b < p.blocks.size(); ++b) {
      EXPECT_EQ(p.blocks[b].before, c.before[b]) << c.text;
      EXPECT_EQ(p.blocks[b].type, r.find("mabex.probe"));
      std::vector<std::string> names;
      for (const auto* op : p.blocks[b].calls) names.push_back(op->name);
      EXPECT_EQ(names, c.calls[b]) << c.text;
    }
  }
}

TEST(PageFileParser, RefusesEveryOtherScriptNamingTheLine) {
  frame::Registry r = probeRegistry();
  const char* const refused[] = {
      "<%\nSet o = Server.CreateObject(\"mabex.nothere\")\no.main\n%>",               // unknown id
      "<%\nSet o = Server.CreateObject(\"mabex.probe\")\no.missing\n%>",             // unknown operation
      "<%\nSet o = Server.CreateObject(\"mabex.probe\")\no.withArgs\n%>",            // takes arguments
      "<%\nSet o = Server.CreateObject(\"mabex.probe\")\no.onstartpage\n%>",         // the host's own step
      "<%\nSet o = Server.CreateObject(\"mabex.probe\")\n%>",                        // never rendered
      "<%\nSet o = Server.CreateObject(\"mabex.probe\")\nx.main\n%>",                // another variable
      "<%\nSet o = Server.CreateObject(\"mabex.probe\")\no.main\nResponse.Write \"x\"\n%>",
      "<%\nSet o = Server.CreateObject(\"mabex.probe\")\nSet p = Server.CreateObject(\"mabex.probe\")\no.main\n%>",
      "<%= Request(\"a\") %>",
      "<%\nSet o = Server.CreateObject(\"mabex.probe\")\no.main\n%><% o.main %>",     // a block's variable ends with it
      "<%\nDim o\n%>",                                                                    // a block without a component
      "<!--#include file=\"conn.asp\"-->",
      "<%\nSet o = Server.CreateObject(\"mabex.probe\")\no.main\n",                  // no %>
      "<%\nSet o = CreateObject(\"mabex.probe\")\no.main\n%>",
      "<%\nExecute \"o.main\"\n%>",
  };
  for (const char* text : refused) EXPECT_THROW((void)parsePageFile(text, r), PageFileError) << text;
  try {
    (void)parsePageFile("<%@ Language=VBScript %>\n<%\nDim o\nEval(1)\n%>", r);
    FAIL() << "no refusal";
  } catch (const PageFileError& e) {
    EXPECT_NE(std::string(e.what()).find("line 4"), std::string::npos) << e.what();
  }
}

TEST(PageCache, ReReadsAChangedFileAndCachesRefusals) {
  frame::Registry r = probeRegistry();
  host::PageCache cache(r);
  std::filesystem::path dir = std::filesystem::temp_directory_path() / ("tovi-pages-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::string path = (dir / "p.asp").string(), deleted = (dir / "d.asp").string();
  std::ofstream(path) << "one";
  std::ofstream(deleted) << "two";
  EXPECT_EQ(cache.get(path)->after, "one");
  EXPECT_EQ(cache.get(deleted)->after, "two");
  std::ofstream(path) << "<% bad %>";
  std::filesystem::remove(deleted);
  // Within a second the cached page may still be served; after it the change shows.
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_THROW((void)cache.get(path), PageFileError);
  EXPECT_THROW((void)cache.get(path), PageFileError);
  // A page file that is gone is no page (the host answers 404), not a failure.
  EXPECT_EQ(cache.get(deleted), nullptr);
  EXPECT_EQ(cache.fresh(deleted), nullptr);
  std::filesystem::remove_all(dir);
  EXPECT_EQ(cache.get(dir.string() + "/gone.asp"), nullptr);
}

}  // namespace
