// mabex.reg (admin/reg.asp): the registered members of table reg, twenty to a
// page in the database's own order, each with its approval state and links to
// view (reg1.asp?id=) and delete (reg3.asp?id=). The wanted page comes in
// CurrentPage (query or form): not a number gives page 1, below 1 page 1,
// beyond the last page the last page; it never fails. An empty table gives
// "暂无用户！！" and nothing more. Runs openAdminDb and checkAdmin first.
//
// tovi.reg3 (admin/reg3.asp?id=N): a GET shows a confirmation page whose button
// posts the same address; that same-site POST deletes the member and goes
// back to reg.asp. Bad or unknown ids get an alert.
#include "frame/admin_page.h"
#include "frame/alerts.h"
#include "frame/http_details.h"
#include "frame/component.h"
#include "frame/module1.h"
#include "frame/page_selector.h"
#include "frame/request_guard.h"
#include "frame/text.h"

namespace tovi::backoffice::shell {
namespace {

class reg : public frame::Component {
 public:
  void main();
};

class reg3 : public frame::Component {
 public:
  void main();
};

}  // namespace

void reg::main() {
  using namespace frame::Module1;
  openAdminDb();
  checkAdmin();
  auto& r = Response();
  r.Write("<link href='../css/Style.css' rel='stylesheet' type='text/css' />");
  r.Write(frame::pageSelectorScript("myForm"));

  data::Recordset& rs = newRs();
  rs.Open("select * from reg", *conn(), data::adOpenKeyset, data::adLockOptimistic);
  rs.PageSize(20);
  if (rs.Eof() && rs.Bof()) {
    r.Write("暂无用户！！");
    r.End();
  }
  const long pages = rs.PageCount();
  const long total = rs.RecordCount();
  const long page = frame::wantedPage(Request()("CurrentPage"), pages);
  rs.AbsolutePage(page);

  std::string table = R"(<table cellpadding='3' cellspacing='1' border='0' width='100%' class='tableBorder' align=center >
<tr><th class='tableHeaderText' colspan=5>前台用户管理</th></tr>
)";
  for (int i = 0; i < 20 && !rs.Eof(); ++i) {
    std::string id = std::to_string(rs("id").value().toInteger());
    bool approved = rs("sh").value().isNumber(1);
    table += R"(<tr>
  <td width='34%' align='left' class='forumRowHighlight'>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;用 户 名:&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;)" +
             frame::htmlEncode(rs("names").text()) + R"(</td>
  <td width='22%' align='center' class='forumRowHighlight'>)" +
             (approved ? "已 审 核" : "未 审 核") + R"(</td>
  <td width='22%' align='center' class='forumRowHighlight'><a href='reg1.asp?id=)" +
             id + R"('>查 看 资 料</a></td>
  <td width='22%' align='center' class='forumRowHighlight'><a href='reg3.asp?id=)" +
             id + R"('>删 除 用 户</a></td>
</tr>
)";
    rs.MoveNext();
  }
  table += "</table>\n";
  r.Write(table);

  std::string nav = "<form name='myForm' method='get' action='reg.asp'><p align='center'>";
  nav += frame::pageSelectorLinks(page, pages);
  nav += "第<select size=1 name=CurrentPage onchange=PageCurrent()>";
  for (long p = 1; p <= pages; ++p)
    nav += (p == page ? "<option selected>" : "<option>") + std::to_string(p) + "</option>";
  nav += "</select>页/共" + std::to_string(pages) + "页共" + std::to_string(total) + "条记录</font><p>";
  nav += "</form>";
  r.Write(nav);
  rs.Close();
}

namespace {

using namespace frame::Module1;

long requestedMember() {
  std::optional<long> id = frame::positiveId(frame::Module1::Request().QueryString("id"));
  if (!id) frame::alertBack("参数错误：用户编号必须是整数！");
  return *id;
}

data::Recordset& openMember(long id) {
  data::Recordset& rs = frame::Module1::newRs();
  rs.Open(data::Sql("select * from reg where id=?", {data::Value(id)}), *frame::Module1::conn(), data::adOpenKeyset,
          data::adLockOptimistic);
  if (rs.Eof()) frame::alertBack("该用户不存在或已被删除！");
  return rs;
}

}  // namespace

void reg3::main() {
  openAdminDb();
  checkAdmin();
  long id = requestedMember();
  if (!frame::iequals(Http().method(), "POST")) {
    data::Recordset& rs = openMember(id);
    std::string name = frame::htmlEncode(rs("names").text());
    rs.Close();
    Response().Write(frame::confirmDeletePage("删除前台用户", "确定要删除前台用户“<b>" + name + "</b>”吗？删除后不能恢复。",
                                            "reg3.asp?id=" + std::to_string(id), "window.location.href='reg.asp'"));
    return;
  }
  frame::requirePostFromSite();
  openMember(id).Close();
  conn()->Execute(data::Sql("delete from reg where id=?", {data::Value(id)}));
  frame::alertGo("删除成功！", "reg.asp");
}

namespace {

const frame::PageRegistration pages([](frame::Registry& registry) {
  registry.addMain<reg>("mabex.reg");
  registry.addMain<reg3>("tovi.reg3");
});

}  // namespace
}  // namespace tovi::backoffice::shell
