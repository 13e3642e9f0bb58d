// The catering news forms: cyxwadd stores a new item (title trimmed, body as
// posted, `dates` now); cyxwedit shows one item and saves its title and body,
// keeping `dates`. Saves must be same-site posts. An edit whose `id` is missing,
// not a whole number, or names no item answers "非法访问!" and changes nothing.
// The form is the dish form's design with a title and the editor only.
#include <string>

#include "backoffice/catalogue/editor_form.h"
#include "data/recordset.h"
#include "frame/component.h"
#include "frame/module1.h"
#include "frame/text.h"

namespace tovi::backoffice::catalogue {
namespace {

class NewsAdd : public frame::Component {
 public:
  void main();
};

class NewsEdit : public frame::Component {
 public:
  void main();
};

}  // namespace

using namespace frame::Module1;
using frame::trim;

namespace {

void writeNewsForm(const EditorForm& form, const std::string& title, const std::string& content,
                   const char* submitLabel) {
  writeFormStart(form);
  writeFieldRow("标  题：", textInput("newsname", title));
  writeContentRow(content);
  writeButtons(submitLabel);
  writeFormEnd(form);
}

}  // namespace

void NewsAdd::main() {
  openAdminDb();
  checkAdmin();
  if (Request().Item("form1up") == "yes") {
    requireSiteForm();
    data::Recordset& r = newRs("adodb.recordset");
    r.Open("select * from cyxw ", *conn(), data::adOpenKeyset, data::adLockOptimistic);
    r.AddNew();
    r("title") = trim(Request().Item("newsname"));
    r("content") = Request().Form("Content");
    r("dates") = Now();
    r.Update();
    r.Close();
    rs().reset();
    Response().Write("<script language=javascript>alert('添加成功！');window.location.href='cyxw.asp';</script>");
    Response().End();
  }
  writeNewsForm({.title = "增加餐饮新闻", .action = "cyxwadd.asp?form1up=yes"}, "", "", " 增 加 ");
}

void NewsEdit::main() {
  openAdminDb();
  checkAdmin();
  std::optional<std::int64_t> id = queryId();
  if (!id) illegalAccess();
  data::Sql text("select * from cyxw where id=?", {*id});
  if (Request().QueryString("action") == "save") {
    requireSiteForm();
    data::Recordset& r = newRs("adodb.recordset");
    r.Open(text, *conn(), data::adOpenKeyset, data::adLockOptimistic);
    if (r.Eof()) illegalAccess();
    r("title") = trim(Request().Item("newsname"));
    r("content") = Request().Form("Content");
    r.Update();
    r.Close();
    rs().reset();
    Response().Write("<script language=javascript>alert('更改成功！');window.location.href='cyxw.asp';</script>");
    Response().End();
  }
  data::Recordset& r = newRs("adodb.recordset");
  r.Open(text, *conn(), data::adOpenKeyset, data::adLockReadOnly);
  if (r.Eof()) illegalAccess();
  writeNewsForm({.title = "修改餐饮新闻", .action = "cyxwedit.asp?action=save&id=" + std::to_string(*id)},
                trim(r("title").text()), r("content").text(), "修改保存");
}

namespace {

const frame::PageRegistration pages([](frame::Registry& registry) {
  registry.addMain<NewsAdd>("mabex.cyxwadd");
  registry.addMain<NewsEdit>("mabex.cyxwedit");
});

}  // namespace
}  // namespace tovi::backoffice::catalogue
