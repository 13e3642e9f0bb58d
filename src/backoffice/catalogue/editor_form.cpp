#include "backoffice/catalogue/editor_form.h"

#include <limits>

#include "data/value.h"
#include "frame/module1.h"
#include "frame/request_guard.h"
#include "frame/text.h"

namespace tovi::backoffice::catalogue {

using frame::Module1::Request;
using frame::Module1::Response;

namespace {

// checkdata() first asks the editor frame to copy its text into the hidden
// field (it already does on every change; this covers a click that lands before
// the editor's change event), then runs the form's own checks.
constexpr std::string_view kScriptStart = R"(<script language="javascript">
function toviEditor() {
  try {
    var f = document.getElementById('content');
    return (f && f.contentWindow && f.contentWindow.toviEditor) ? f.contentWindow.toviEditor : null;
  } catch (e) { return null; }
}
function checkdata() {
  var ed = toviEditor();
  if (ed) ed.sync();
)";

constexpr std::string_view kDishChecks = R"(  var f = document.form1;
  if (f.newsname.value.replace(/^ +| +$/g, '') == '') { alert('请填写餐饮名称！'); f.newsname.focus(); return false; }
  if (!/^ *[0-9]+(\.[0-9]+)? *$/.test(f.jiage.value)) { alert('价格只能是数字，例如 12 或 8.5！'); f.jiage.focus(); return false; }
)";

constexpr std::string_view kScriptEnd = R"(  return true;
}
function ResetForm() {
  setTimeout(function () { var ed = toviEditor(); if (ed) ed.reload(); }, 0);
  return true;
}
</script>
)";

}  // namespace

void writeFormStart(const EditorForm& form) {
  if (form.head) {
    Response().Write(R"(<html><head><title>岚禾网络订餐系统1.0版</title>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<link href="../css/style.css" rel="stylesheet" type="text/css">
)");
  }
  std::string script(kScriptStart);
  if (form.checks == FormChecks::Dish) script += kDishChecks;
  script += kScriptEnd;
  Response().Write(script);
  if (form.head) Response().Write("</head>\n<body>\n");
  Response().Write(
      R"(<table class="tableBorder" width="90%" align="center" cellpadding="0" cellspacing="1" bgcolor="#FFFFFF">
<tr><td class="forumRowHighlight" colspan="4" align="center" background=")" +
      form.titleBackground + R"("><b><font color="#000000">)" + form.title + R"(</font></b></td></tr>
<tr><td class="forumRowHighlight" valign="top">
<form name="form1" method="post" action=")" +
      form.action + R"~(" onsubmit="return checkdata()" onreset="return ResetForm();">
<table width="100%" cellpadding="3" cellspacing="1" bgcolor="#FFFFFF">
)~");
}

void writeFieldRow(std::string_view label, std::string_view fieldHtml) {
  Response().Write(R"(<tr><td width="30%" align="right">)" + std::string(label) +
                   R"(</td><td width="70%" style="padding-left:10px">)" + std::string(fieldHtml) + "</td></tr>\n");
}

void writeContentRow(std::string_view content) {
  Response().Write(
      R"(<tr><td width="30%" align="right" valign="top">内 容：</td><td width="70%" style="padding-left:10px"><textarea name="Content" style="display:none">)" +
      frame::htmlEncode(content) +
      R"(</textarea><iframe id="content" src="../webedit/ewebeditor.asp?id=Content&style=standard" frameborder="0" scrolling="no" width="550" height="350"></iframe></td></tr>
)");
}

void writeButtons(std::string_view submitLabel) {
  Response().Write(R"(<tr><td width="30%" align="right"></td><td width="70%" style="padding-left:10px"><input type="submit" name="Submit" value=")" +
                   std::string(submitLabel) +
                   R"~("> <input type="button" name="button" value=" 返 回 " class="unnamed5" onclick="history.go(-1)"></td></tr>
)~");
}

void writeFormEnd(const EditorForm& form) {
  Response().Write("</table>\n</form>\n</td></tr>\n</table>\n");
  if (form.footer) {
    frame::Module1::showFooter();
    Response().Write("</body>\n</html>\n");
  }
}

std::string textInput(std::string_view name, std::string_view value) {
  std::string n(name);
  return R"(<input type="text" name=")" + n + R"(" id=")" + n + R"(" size="40" value=")" + frame::htmlEncode(value) +
         R"(">)";
}

void alertAndEnd(std::string_view message, std::string_view then) {
  Response().Write("<script language=javascript>alert('" + frame::jsString(message) + "');" + std::string(then) +
                   "</script>");
  Response().End();
  throw frame::PageEnd{};  // End never returns; this tells the compiler so
}

void illegalAccess() {
  Response().Write(R"(<script>alert("非法访问!");location.href="../index.asp";</script>)");
  Response().End();
  throw frame::PageEnd{};
}

std::optional<std::int64_t> queryId() {
  std::string id = Request().QueryString("id");
  if (!data::isWholeNumber(id) || id.size() > 10) return std::nullopt;
  std::int64_t v = data::Value(id).toInteger();
  if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
    return std::nullopt;
  return v;
}

std::optional<std::vector<std::int64_t>> parseIdList(std::string_view list) {
  std::vector<std::int64_t> ids;
  if (frame::trim(list).empty()) return ids;
  std::size_t pos = 0;
  while (true) {
    std::size_t comma = list.find(',', pos);
    std::string part = frame::trim(list.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos));
    if (!data::isWholeNumber(part) || part.size() > 10) return std::nullopt;
    ids.push_back(data::Value(part).toInteger());
    if (comma == std::string_view::npos) break;
    pos = comma + 1;
  }
  return ids;
}

std::string placeholders(std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += i ? ",?" : "?";
  return out;
}

bool isPlainPrice(std::string_view price) {
  std::size_t i = 0, n = price.size();
  auto digits = [&] {
    std::size_t start = i;
    while (i < n && price[i] >= '0' && price[i] <= '9') ++i;
    return i > start;
  };
  if (!digits()) return false;
  if (i < n && price[i] == '.') {
    ++i;
    if (!digits()) return false;
  }
  return i == n;
}

void requireSiteForm() { frame::requirePostFromSite(); }

}  // namespace tovi::backoffice::catalogue
