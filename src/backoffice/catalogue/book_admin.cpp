#include "backoffice/catalogue/book_admin.h"

#include "backoffice/catalogue/editor_form.h"
#include "data/recordset.h"
#include "frame/module1.h"
#include "frame/text.h"

namespace tovi::backoffice::catalogue {

using namespace frame::Module1;
using frame::htmlEncode;

namespace {

constexpr std::string_view kToList = "window.location.href='book_admin.asp';";

// "<BR>" in any letter case replaced by `to`.
std::string replaceBreaks(std::string_view text, std::string_view br, std::string_view to) {
  std::string lower = frame::asciiLower(text), out;
  std::size_t pos = 0;
  while (true) {
    std::size_t hit = lower.find(br, pos);
    out.append(text.substr(pos, hit == std::string::npos ? std::string::npos : hit - pos));
    if (hit == std::string::npos) return out;
    out += to;
    pos = hit + br.size();
  }
}

// The list's short form of a message: encoded, cut to the width budget, an
// entity split by the cut dropped, its line breaks kept.
std::string shortMessage(const std::string& comments) {
  std::string encoded = htmlEncode(comments);
  std::string cut = book_admin::lleft(encoded, 50);
  std::size_t amp = cut.rfind('&');
  if (cut.size() < encoded.size() && amp != std::string::npos && cut.find(';', amp) == std::string::npos)
    cut.erase(amp);
  return replaceBreaks(cut, "&lt;br&gt;", "<br>");
}

bool isFlag(const std::string& v) { return v == "0" || v == "1"; }

}  // namespace

std::string book_admin::lleft(std::string_view content, int lef) {
  std::size_t pos = 0;
  while (pos < content.size()) {
    char32_t c = frame::nextChar(content, pos);
    lef -= frame::gbWidth(c);
    if (lef <= 0) return std::string(content.substr(0, pos));
  }
  return std::string(content);
}

void book_admin::main() {
  openAdminDb();
  checkAdmin();
  Response().Write("<link href='../css/Style.css' rel='stylesheet' type='text/css'>");
  std::string action = Request().Item("action");
  if (action == "loginout") {
    Session().Abandon();
    Response().Redirect("index.asp");
  }
  Session().Set("login", "ok");
  Response().Write(R"(<HTML>
<center>
<script language="javascript">
function CheckAll(form) {
  for (var i = 0; i < form.elements.length; i++) {
    var e = form.elements[i];
    if (e.name != 'chkall') e.checked = form.chkall.checked;
  }
}
</script>
<table width="590" class="tableBorder" bgcolor="#FFFFFF" cellpadding="0" cellspacing="1">
<tr><td class="tableHeaderText" colspan="6" height="25" align="center">留言管理</td></tr>
<tr><td>
)");
  writeSwitch();
  if (action.empty()) writeList();
  if (action == "删除") {
    ids_ = Request().Item("id");
    delfeedback();
  } else if (action == "replay") {
    id_ = Request().Item("id");
    detailfeedback();
  } else if (action == "setup") {
    setup();
  }
  Response().Write("</td></tr>\n</table>\n</center>\n</body>\n</HTML>\n");
}

void book_admin::writeSwitch() {
  std::shared_ptr<data::Recordset> v = Server().CreateObject("ADODB.RecordSet").recordset();
  v->Open("select * from view2 ", *conn(), data::adOpenKeyset, data::adLockReadOnly);
  std::string stored = v->Eof() ? "" : v->Fields("view").text();
  v->Close();
  auto checked = [&](const char* value) { return stored == value ? " checked" : ""; };
  Response().Write(std::string(R"(<form name="book" action="./book_admin.asp?action=setup" method="post">
<table width="590" border="1" cellpadding="3" cellspacing="0">
<tr><td>留言审核开关</td><td>是<input type="radio" name="view" value="0")") +
                   checked("0") + R"(> 否<input type="radio" name="view" value="1")" + checked("1") +
                   R"(> [留言是否需要审核] <input type="hidden" name="save" value="ok"><input type="submit" name="submit" value="保存设置"></td></tr>
<tr><td colspan="2">&nbsp;</td></tr>
</table>
</form>
)");
}

void book_admin::writeList() {
  Response().Write(R"(<form name="book" action="./book_admin.asp" method="post">
<table width="590" border="1" cellpadding="3" cellspacing="0" style="table-layout:fixed;word-break:break-all">
<tr><td width="5%" align="center">选</td><td width="10%" align="center">姓名</td><td width="35%" align="center">内容（编辑与回复）</td><td width="30%" align="center">日期</td><td width="11%" align="center">状态</td></tr>
)");
  data::Recordset& r = newRs("ADODB.Recordset");
  r.CursorLocation(data::adUseClient);
  r.PageSize(kPageSize);
  r.Open("select * from Feedback where del=false order by top desc, PostDate desc", *conn(), data::adOpenKeyset,
         data::adLockReadOnly);
  if (r.Eof() && r.Bof()) {
    Response().Write(R"(<tr><td colspan="6" align="center" height="50">暂时没有留言</td></tr>)" "\n");
  } else {
    total_ = r.RecordCount();
    pages_ = total_ / kPageSize + (total_ % kPageSize ? 1 : 0);
    std::string page = frame::trim(Request().Item("page"));
    page_ = 1;
    if (!page.empty() && data::isWholeNumber(page) && page.size() <= 6) page_ = std::max<long>(1, std::stol(page));
    if ((page_ - 1) * kPageSize >= total_) page_ = 1;
    r.AbsolutePage(page_);
    for (long n = 0; n < kPageSize && !r.Eof(); ++n, r.MoveNext()) {
      std::string id = r("ID").text();
      std::string row = "<tr>";
      if (r("top").value().toInteger() == 0)
        row += R"(<td align="center"><input type="checkbox" name="id" value=")" + id + R"("></td>)";
      else
        row += R"(<td align="center"><font color="red" title="固顶信息不能直接删除，请先解除固顶属性再删除">TOP</font></td>)";
      row += "<td>" + htmlEncode(r("UserName").text()) + "</td>";
      row += R"(<td><a href="book_admin.asp?action=replay&amp;id=)" + id + R"(">)" +
             shortMessage(r("Comments").text()) + "</a></td>";
      row += R"(<td align="center">)" + htmlEncode(r("PostDate").text()) + "</td>";
      row += std::string(R"(<td align="center">)") +
             (r("Replay").value().blank() ? "<font color=red>新留言</font>" : "已回复") + "</td></tr>\n";
      Response().Write(row);
    }
    Response().Write(
        R"~(<tr><td colspan="6"><input type="checkbox" name="chkall" onclick="CheckAll(this.form)"> 全选 <input type="submit" name="action" value="删除" onclick="return confirm('该操作不可恢复！\n\n确实删除选定的留言？');"></td></tr>)~"
        "\n");
  }
  r.Close();
  rs().reset();
  conn()->Close();
  conn().reset();
  Response().Write("</table>\n</form>\n");
  listPages();
}

void book_admin::listPages() {
  if (pages_ <= 1) return;
  auto link = [](long page, const char* label) {
    return "<a href='book_admin.asp?page=" + std::to_string(page) + "'>" + label + "</a> ";
  };
  std::string out = "共" + std::to_string(total_) + "条留言 ";
  if (page_ == 1)
    out += "<font color=darkgray>首页 前页</font> ";
  else
    out += link(1, "首页") + link(page_ - 1, "前页");
  if (page_ >= pages_)
    out += "<font color=darkgray >下页 末页</font>";
  else
    out += link(page_ + 1, "下页") + link(pages_, "末页");
  out += "  第" + std::to_string(page_) + "页 共" + std::to_string(pages_) + "页";
  Response().Write(out);
}

void book_admin::setup() {
  data::Recordset& r = newRs("adodb.recordset");
  sql() = "select * from view2";
  r.Open(sql().text(), *conn(), data::adOpenKeyset, data::adLockOptimistic);
  if (Request().Item("save") == "ok") {
    requireSiteForm();
    std::string view = Request().Item("view");
    if (!isFlag(view)) alertAndEnd("请选择留言是否需要审核！");
    if (r.Eof()) r.AddNew();
    r("view") = data::Value(view).toInteger();
    r.Update();
    r.Close();
    alertAndEnd("您提交的设置已保存。", kToList);
  }
  r.Close();
  rs().reset();
}

void book_admin::delfeedback() {
  if (frame::trim(ids_).empty()) alertAndEnd("操作失败，没有选择合适参数，请单击“确定”返回！", kToList);
  requireSiteForm();
  std::optional<std::vector<std::int64_t>> ids = parseIdList(ids_);
  if (!ids) alertAndEnd("操作失败，所选留言编号无效，没有删除任何留言！", kToList);
  std::vector<data::Value> params(ids->begin(), ids->end());
  conn()->Execute(data::Sql("delete from Feedback where ID in (" + placeholders(ids->size()) + ")", std::move(params)));
  conn()->Close();
  conn().reset();
  alertAndEnd("留言删除成功，请单击“确定”返回！", kToList);
}

void book_admin::detailfeedback() {
  if (!data::isWholeNumber(id_) || id_.size() > 10) alertAndEnd("无此留言编号，请单击“确定”返回！", kToList);
  std::int64_t id = data::Value(id_).toInteger();
  if (Request().Item("send") == "ok") {
    requireSiteForm();
    std::string top = Request().Item("top"), online = Request().Item("Online");
    if (!isFlag(top) || !isFlag(online)) alertAndEnd("请选择是否固顶和是否隐藏！");
    data::Recordset& r = newRs("adodb.recordset");
    sql() = " select * from feedback where del=false and ID=?";
    r.Open(data::Sql(sql().text(), {id}), *conn(), data::adOpenKeyset, data::adLockOptimistic);
    if (r.Eof()) {
      r.Close();
      alertAndEnd("无此留言，请单击“确定”返回！", kToList);
    }
    // Both texts keep their line breaks as "<BR>", the form the guestbook shows.
    r("comments") = frame::replaceAll(Request().Form("comments"), "\r\n", "<BR>");
    r("Replay") = frame::replaceAll(Request().Form("Replay"), "\r\n", "<BR>");
    r("ReplayDate") = Now();
    r("Online") = data::Value(online).toInteger();
    r("top") = data::Value(top).toInteger();
    r.Update();
    r.Close();
    alertAndEnd("留言已经修改或回复成功，请单击“确定”返回！", kToList);
  }
  data::Recordset& r = newRs("adodb.recordset");
  sql() = "select * from feedback where ID=?";
  r.Open(data::Sql(sql().text(), {id}), *conn(), data::adOpenKeyset, data::adLockReadOnly);
  if (r.Eof()) alertAndEnd("无此留言，请单击“确定”返回！", kToList);
  std::string text = replaceBreaks(r("Comments").text(), "<br>", "\r\n");
  std::string reply = r("Replay").value().blank() ? "" : replaceBreaks(r("Replay").text(), "<br>", "\r\n");
  bool pinned = r("top").value().toInteger() == 1;
  bool hidden = r("Online").value().toInteger() == 0 && !r("Online").value().blank();
  auto on = [](bool b) { return b ? " checked" : ""; };
  auto row = [](const char* label, const std::string& content) {
    return std::string(R"(<tr><td width="20%" align="right">)") + label + "</td><td>" + content + "</td></tr>\n";
  };
  std::string out = R"(<form name="repl" method="post" action="./book_admin.asp?action=replay&amp;id=)" +
                    std::to_string(id) + R"(">
<table width="590" border="1" cellpadding="3" cellspacing="0" class="tableBorder">
)";
  out += row("留言日期", htmlEncode(r("Dates").text()));
  out += row("留言人姓名", htmlEncode(r("UserName").text()));
  out += row("留言邮箱", htmlEncode(r("UserMail").text()));
  out += row("其它联系方式", htmlEncode(r("qq").text()));
  out += row("内容", R"(<textarea name="comments" cols="60" rows="8" style="overflow:auto">)" + htmlEncode(text) +
                       "</textarea>");
  out += row("回复内容", R"(<textarea name="Replay" cols="60" rows="8">)" + htmlEncode(reply) + "</textarea>");
  out += row("是否固顶", std::string(R"(<input type="radio" name="top" value="1")") + on(pinned) +
                         R"(>固顶 <input type="radio" name="top" value="0")" + on(!pinned) + ">普通");
  out += row("是否隐藏", std::string(R"(<input type="radio" name="Online" value="0")") + on(hidden) +
                         R"(> 隐藏 <input type="radio" name="Online" value="1")" + on(!hidden) + ">公开");
  out += R"(<tr><td width="20%" align="right"><input type="hidden" name="send" value="ok"></td><td><input type="submit" name="action" value=" 提 交 "></td></tr>
</table>
</form>
)";
  r.Close();
  rs().reset();
  Response().Write(out);
}

namespace {

const frame::PageRegistration pages([](frame::Registry& registry) {
  registry.add("mabex.book_admin", [] { return std::make_unique<book_admin>(); },
               {frame::op("main", &book_admin::main), frame::op("setup", &book_admin::setup),
                frame::op("delfeedback", &book_admin::delfeedback),
                frame::op("detailfeedback", &book_admin::detailfeedback),
                frame::op("listPages", &book_admin::listPages), frame::op("lleft")});
});

}  // namespace
}  // namespace tovi::backoffice::catalogue
