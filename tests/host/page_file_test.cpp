// Page files: what the parser accepts and what it refuses.
#include "host/page_file.h"

#include "support/testing.h"

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
    EXPECT_THAT(e.what(), HasSubstr("line 4"));
  }
}

}  // namespace
