// Page files: what the parser accepts and what it refuses.
#include "host/page_file.h"

#include "support/testing.h"

using host::PageFile;
using host::PageFileError;
using host::parsePageFile;

struct Probe : frame::Component {
  void main() {}
  void other() {}
};

// The parse in short: each block's literal text before it and {its operations;},
// then the text after the last; or the refusal.
static std::string parsed(std::string_view text) {
  static const frame::Registry r = [] {
    frame::Registry r;
    r.add("mabex.probe", [] { return std::make_unique<Probe>(); },
          {frame::op("main", &Probe::main), frame::op("Other", &Probe::other), frame::op("withArgs")});
    return r;
  }();
  try {
    PageFile p = parsePageFile(text, r);
    std::string out;
    for (const host::PageBlock& b : p.blocks) {
      EXPECT_EQ(b.type, r.find("mabex.probe"));
      out += b.before + "{";
      for (const auto* op : b.calls) out += op->name + ";";
      out += "}";
    }
    return out + p.after;
  } catch (const PageFileError& e) {
    return std::string("refused: ") + e.what();
  }
}

TEST(PageFileParser, AcceptsThePageScriptsInAnyLetterCase) {
  const std::pair<const char*, const char*> cases[] = {
      {"<%@ Language=VBScript %>\n<%\nDim obj\nSet obj = Server.CreateObject(\"mabex.probe\")\nobj.main\nSet obj = Nothing\n%>",
       "{main;}"},
      {"<%@ Language=VBScript %>\r\n<html><%\r\n  DIM Obj\r\n  set obj=server.createobject(\"MABEX.PROBE\")\r\n  OBJ.MAIN()\r\n"
       "  ' a comment\r\n\r\n  Call obj.other\r\n  Set obj = nothing\r\n%></html>\n",
       "<html>{main;Other;}</html>\n"},
      {"<%\nDim a, b\nSet a = Server.CreateObject(\"mabex.probe\")\na.main\n%>", "{main;}"},
      {"<p>static only</p>", "<p>static only</p>"},
      {"<html><%\nSet nav = Server.CreateObject(\"mabex.probe\")\nnav.other\n%><body><%\nSet o = "
       "Server.CreateObject(\"mabex.probe\")\no.main\n%></body>",
       "<html>{Other;}<body>{main;}</body>"},  // each block with its own component
  };
  for (const auto& [text, parse] : cases) EXPECT_EQ(parsed(text), parse) << text;
}

TEST(PageFileParser, RefusesEveryOtherScriptNamingTheLine) {
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
  for (const char* text : refused) EXPECT_THAT(parsed(text), StartsWith("refused: page script line ")) << text;
  EXPECT_THAT(parsed("<%@ Language=VBScript %>\n<%\nDim o\nEval(1)\n%>"), StartsWith("refused: page script line 4:"));
}
