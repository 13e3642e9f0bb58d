// Page files: what the parser accepts and what it refuses.
#include "host/page_file.h"

#include "support/probe_root.h"
#include "support/testing.h"

// The parse in short: each block's literal text before it and {its operations;}, then the text after; or the refusal.
static std::string parsed(std::string_view text) {
  static const frame::Registry r = [] {
    frame::Registry r;
    const auto none = [](frame::Component&) {};
    r.add("mabex.probe", [] { return std::make_unique<frame::Component>(); },
          {{"main", none}, {"Other", none}, frame::op("withArgs")});
    return r;
  }();
  try {
    host::PageFile p = host::parsePageFile(text, r);
    std::string out;
    for (const host::PageBlock& b : p.blocks) {
      EXPECT_EQ(b.type, r.find("mabex.probe"));
      out += b.before + "{";
      for (const auto* op : b.calls) out += op->name + ";";
      out += "}";
    }
    return out + p.after;
  } catch (const host::PageFileError& e) {
    return std::string("refused: ") + e.what();
  }
}

TEST(PageFileParser, AcceptsThePageScriptsInAnyLetterCase) {
  const std::pair<std::string, std::string> cases[] = {
      {hostPage("mabex.probe"), "{main;}"},  // as every page of the site
      {"<%@ Language=VBScript %>\r\n<html><%\r\n  DIM Obj\r\n  set obj=server.createobject(\"MABEX.PROBE\")\r\n"
       "  OBJ.MAIN()\r\n  ' a comment\r\n\r\n  Call obj.other\r\n  Set obj = nothing\r\n%></html>\n",
       "<html>{main;Other;}</html>\n"},
      {"<%\nDim a, b\nSet a = Server.CreateObject(\"mabex.probe\")\na.main\n%>", "{main;}"},
      {"<p>static only</p>", "<p>static only</p>"},
      {"<html><%\nSet nav = Server.CreateObject(\"mabex.probe\")\nnav.other\n%><body><%\nSet o = "
       "Server.CreateObject(\"mabex.probe\")\no.main\n%></body>",
       "<html>{Other;}<body>{main;}</body>"},  // each block with its own component
  };
  for (const auto& [text, parse] : cases) EXPECT_EQ(parsed(text), parse) << text;
}

// Unknown ids and operations, one taking arguments, the host's own steps, a component never rendered, another
// variable, any other statement, includes.
TEST(PageFileParser, RefusesEveryOtherScriptNamingTheLine) {
  auto block = [](const std::string& calls) { return "<%\nSet o = Server.CreateObject(\"mabex.probe\")\n" + calls; };
  const std::string refused[] = {
      "<%\nSet o = Server.CreateObject(\"mabex.nothere\")\no.main\n%>", block("o.missing\n%>"),
      block("o.withArgs\n%>"), block("o.onstartpage\n%>"), block("%>"), block("x.main\n%>"),
      block("o.main\nResponse.Write \"x\"\n%>"), block("Set p = Server.CreateObject(\"mabex.probe\")\no.main\n%>"),
      "<%= Request(\"a\") %>", block("o.main\n%><% o.main %>"),  // a block's variable ends with it
      "<%\nDim o\n%>", "<!--#include file=\"conn.asp\"-->", block("o.main\n"),
      "<%\nSet o = CreateObject(\"mabex.probe\")\no.main\n%>", "<%\nExecute \"o.main\"\n%>"};
  for (const std::string& text : refused) EXPECT_THAT(parsed(text), StartsWith("refused: page script line ")) << text;
  EXPECT_THAT(parsed("<%@ Language=VBScript %>\n<%\nDim o\nEval(1)\n%>"), StartsWith("refused: page script line 4:"));
}
