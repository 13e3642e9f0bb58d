// The dish forms: the add page of a sales category (kcdgadd, jpsqadd, ylxgadd)
// and the edit page of a category (kcdgedit, jpsqedit, ylxgedit) or of any
// dish (cygledit: category 0, which keeps the dish's own category).
//
// Both pages show form1 (name, price, home-page group, picture path with the
// upload button, the rich-text editor) and post to themselves. A save must be a
// same-site post and carry a name and a plain-number price (12 or 8.5);
// otherwise an alert answers and nothing is stored. Name, price and picture path
// are stored trimmed; "xp" in `fblx` stores "新品推荐", anything else "招牌老菜".
// The add page stamps `dates` and `lei2`; an edit changes neither.
// An edit whose `id` is missing, not a whole number, or names no dish the page
// may edit answers "非法访问!" and changes nothing.
#include <string>

#include "backoffice/catalogue/editor_form.h"
#include "data/recordset.h"
#include "frame/component.h"
#include "frame/module1.h"
#include "frame/text.h"

namespace tovi::backoffice::catalogue {
namespace {

class DishAdd : public frame::Component {
 public:
  explicit DishAdd(int category) : category_(category) {}
  void main();

 private:
  int category_;
};

class DishEdit : public frame::Component {
 public:
  // 1 to 3: the category's edit page; 0: the home-page dish edit page.
  explicit DishEdit(int category) : category_(category) {}
  void main();

 private:
  int category_;
};

}  // namespace

using namespace frame::Module1;
using frame::trim;

namespace {

const char* const kFile[] = {"cygl", "kcdg", "jpsq", "ylxg"};

struct PostedDish {
  std::string name, price, pic, content, group;
};

// Reads and checks the posted form; answers an alert and ends the page when
// the name is empty or the price is no plain number.
PostedDish postedDish() {
  PostedDish d;
  d.name = trim(Request().Item("newsname"));
  d.price = trim(Request().Item("jiage"));
  d.pic = trim(Request().Item("addname"));
  d.content = Request().Form("Content");
  d.group = Request().Item("fblx") == "xp" ? "新品推荐" : "招牌老菜";
  if (d.name.empty()) alertAndEnd("请填写餐饮名称！");
  if (!isPlainPrice(d.price)) alertAndEnd("价格只能是数字，例如 12 或 8.5！");
  return d;
}

std::string groupRadios(bool newDish) {
  return std::string(R"(<input type="radio" name="fblx" value="xp")") + (newDish ? " checked" : "") +
         R"(>新品推荐 <input type="radio" name="fblx" value="lc")" + (newDish ? "" : " checked") + ">招牌老菜";
}

void writeDishForm(const EditorForm& form, const std::string& name, const std::string& price, bool newDish,
                   const std::string& pic, const std::string& content, const char* submitLabel) {
  writeFormStart(form);
  writeFieldRow("餐饮名称：", textInput("newsname", name));
  writeFieldRow("价格：", textInput("jiage", price));
  writeFieldRow("发布类型：", groupRadios(newDish));
  writeFieldRow("图片地址：",
                textInput("addname", pic) +
                    R"~( <input type="button" name="Submit22" value="上传图片" onclick="window.open('../Up_Bookpic.asp?formname=form1&editname=addname&uppath=pic&filelx=jpg','','status=no,scrollbars=no,top=20,left=110,width=420,height=165')">)~");
  writeContentRow(content);
  writeButtons(submitLabel);
  writeFormEnd(form);
}

}  // namespace

void DishAdd::main() {
  openAdminDb();
  checkAdmin();
  std::string list = std::string(kFile[category_]) + ".asp";
  if (Request().Item("form1up") == "yes") {
    requireSiteForm();
    PostedDish d = postedDish();
    data::Recordset& r = newRs("adodb.recordset");
    r.Open("select * from cygl where lei2=" + std::to_string(category_), *conn(), data::adOpenKeyset,
           data::adLockOptimistic);
    r.AddNew();
    r("name") = d.name;
    r("pic") = d.pic;
    r("content") = d.content;
    r("jiage") = d.price;
    r("dates") = Now();
    r("lei") = d.group;
    r("lei2") = category_;
    r.Update();
    r.Close();
    rs().reset();
    Response().Write("<script language=javascript>alert('添加成功！');window.location.href='" + list + "';</script>");
    Response().End();
  }
  EditorForm form{.title = "增加餐饮",
                  .action = std::string(kFile[category_]) + "add.asp?form1up=yes",
                  .checks = FormChecks::Dish};
  writeDishForm(form, "", "", true, "", "", " 增 加 ");
}

void DishEdit::main() {
  openAdminDb();
  checkAdmin();
  std::optional<std::int64_t> id = queryId();
  if (!id) illegalAccess();
  std::string page = kFile[category_];
  std::string text = category_ ? "select * from cygl where lei2=" + std::to_string(category_) + " and id=?"
                               : std::string("select * from cygl where id=?");
  bool save = Request().QueryString("action") == "save";
  if (save) {
    requireSiteForm();
    PostedDish d = postedDish();
    data::Recordset& r = newRs("adodb.recordset");
    r.Open(data::Sql(text, {*id}), *conn(), data::adOpenKeyset, data::adLockOptimistic);
    if (r.Eof()) illegalAccess();
    r("name") = d.name;
    r("jiage") = d.price;
    r("pic") = d.pic;
    r("content") = d.content;
    r("lei") = d.group;
    if (category_) r("lei2") = category_;
    r.Update();
    r.Close();
    rs().reset();
    Response().Write("<script language=javascript>alert('更改成功！');window.location.href='" + page +
                     ".asp';</script>");
    Response().End();
  }
  data::Recordset& r = newRs("adodb.recordset");
  r.Open(data::Sql(text, {*id}), *conn(), data::adOpenKeyset, data::adLockReadOnly);
  if (r.Eof()) illegalAccess();
  EditorForm form{.title = "修改餐饮",
                  .action = page + "edit.asp?action=save&id=" + std::to_string(*id),
                  .checks = FormChecks::Dish};
  writeDishForm(form, trim(r("name").text()), trim(r("jiage").text()), r("lei").text() == "新品推荐",
                trim(r("pic").text()), r("content").text(), "修改保存");
}

namespace {

const frame::PageRegistration pages([](frame::Registry& registry) {
  // One implementation, the sales category its parameter (0 for cygledit: any dish, its category kept).
  struct Category {
    const char* add;
    const char* edit;
    int lei2;
  };
  for (Category c : {Category{"mabex.kcdgadd", "mabex.kcdgedit", 1}, Category{"mabex.jpsqadd", "mabex.jpsqedit", 2},
                     Category{"mabex.ylxgadd", "mabex.ylxgedit", 3}}) {
    int lei2 = c.lei2;
    registry.add(c.add, [lei2] { return std::make_unique<DishAdd>(lei2); }, {frame::op("main", &DishAdd::main)});
    registry.add(c.edit, [lei2] { return std::make_unique<DishEdit>(lei2); }, {frame::op("main", &DishEdit::main)});
  }
  registry.add("mabex.cygledit", [] { return std::make_unique<DishEdit>(0); }, {frame::op("main", &DishEdit::main)});
});

}  // namespace
}  // namespace tovi::backoffice::catalogue
