// The site bulletin (bulletin.asp): one rich-text notice, the first row of table
// `bulletin`. The page shows it in the editor form ("暂时没有消息！！" when there
// is none) and `?action=save` (a same-site post) stores the posted `content`
// into the first row, adding the row when the table is empty. Rows are never
// deleted. Failures: database errors propagate to the host.
#include <string>

#include "backoffice/catalogue/editor_form.h"
#include "data/recordset.h"
#include "frame/component.h"
#include "frame/module1.h"

namespace tovi::backoffice::catalogue {
namespace {

class bulletin : public frame::Component {
 public:
  void main();
};

}  // namespace

using namespace frame::Module1;

void bulletin::main() {
  openAdminDb();
  checkAdmin();
  Response().Write("<link href='../css/Style.css' rel='stylesheet' type='text/css'>");
  if (Request().QueryString("action") == "save") {
    requireSiteForm();
    data::Recordset& r = newRs("adodb.recordset");
    r.Open("select * from bulletin ", *conn(), data::adOpenKeyset, data::adLockOptimistic);
    if (r.Eof() && r.Bof()) r.AddNew();
    r("content") = Request().Item("content");
    r.Update();
    r.Close();
    rs().reset();
    Response().Write("<script language=javascript>alert('更改成功！');window.location.href='bulletin.asp';</script>");
    Response().End();
  }
  data::Recordset& r = newRs("adodb.recordset");
  r.Open("select * from bulletin ", *conn(), data::adOpenKeyset, data::adLockReadOnly);
  std::string content = r.Eof() ? "" : r("content").text();
  if (content.empty()) content = "暂时没有消息！！";
  EditorForm form{.title = "站内公告",
                  .action = "bulletin.asp?action=save",
                  .head = false,
                  .titleBackground = "../../tamlo/images/admin_bg_1.gif",
                  .footer = false};
  writeFormStart(form);
  writeContentRow(content);
  writeButtons("修改保存");
  writeFormEnd(form);
}

namespace {

const frame::PageRegistration pages([](frame::Registry& registry) {
  registry.addMain<bulletin>("mabex.bulletin");
});

}  // namespace
}  // namespace tovi::backoffice::catalogue
