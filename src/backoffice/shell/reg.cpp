#include "backoffice/shell/reg.h"

#include "frame/module1.h"
#include "frame/page_selector.h"
#include "frame/text.h"

namespace tovi::backoffice::shell {

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

}  // namespace tovi::backoffice::shell
