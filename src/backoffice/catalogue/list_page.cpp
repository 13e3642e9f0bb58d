// The back-office list pattern: one page of 20 rows, newest first, an edit link
// per row, tick boxes to delete several rows at once, and a navigation bar.
// The dish lists of the three sales categories (kcdg, jpsq, ylxg), the
// home-page dish list (cygl) and the news list (cyxw) are this one component,
// each with its own ListDesign.
//
// main(): guard, then `?action=del` deletes the ticked ids (a same-site post whose
// ids are all whole numbers, else an alert and nothing deleted) and goes back to
// the list; otherwise writes the page, clamping the wanted page into range
// (not a whole number, or outside 16 bits, reads as page 1).
// showContent() writes the delete form and the rows from the record set's
// current row; showpage() the bar. main calls both.
// Failures: database errors propagate to the host.
#include <cstdint>
#include <string>

#include "backoffice/catalogue/editor_form.h"
#include "data/recordset.h"
#include "data/value.h"
#include "frame/component.h"
#include "frame/module1.h"
#include "frame/text.h"

namespace tovi::backoffice::catalogue {
namespace {

struct ListDesign {
  enum class Rows { Dish, News };
  Rows rows = Rows::Dish;
  int category = 0;            // lei2 filter of the dish lists; 0 lists and deletes across categories
  std::string table;           // "cygl" or "cyxw"
  std::string fileName;        // "kcdg.asp"
  std::string title;           // <title>
  std::string heading;         // " 快餐订购管理"
  int headerColspan = 8;
  std::string addPage;         // "kcdgadd.asp"; empty: no add link
  std::string addLabel;        // "增加餐饮"
  std::string editPage;        // "kcdgedit.asp"
  bool trimCells = true;       // name and pic trimmed (cygl writes them as stored)
};

class ListPage : public frame::Component {
 public:
  static constexpr int kPageSize = 20;

  explicit ListPage(ListDesign design) : d_(std::move(design)) {}
  // The design of a category's dish list (1 fast food, 2 premium, 3 drinks),
  // of the home-page dish list and of the news list.
  static ListDesign dishes(int category);
  static ListDesign homeDishes();
  static ListDesign news();

  void main();
  void showContent();
  void showpage(long totalnumber, long maxperpage, const std::string& filename);

 private:
  void deleteTicked();
  void writeHead();
  static int wantedPage();

  ListDesign d_;
  long currentPage_ = 0;
};

}  // namespace

using namespace frame::Module1;
using frame::htmlEncode;

namespace {

const char* const kCategoryHeading[] = {"", " 快餐订购管理", " 精品食区管理", " 饮料选购管理"};
const char* const kCategoryFile[] = {"", "kcdg", "jpsq", "ylxg"};

// Ticks every box when the first one (the first row's) is clear, else clears them all.
constexpr std::string_view kSelectAll = R"(<script language="javascript">
function mm()
{
  var a = document.getElementsByTagName("input");
  var state = !(a.length > 0 && a[0].checked);
  for (var i = 0; i < a.length; i++) if (a[i].type == "checkbox") a[i].checked = state;
}
</script>
)";

}  // namespace

ListDesign ListPage::dishes(int category) {
  std::string file = kCategoryFile[category];
  ListDesign d;
  d.rows = ListDesign::Rows::Dish;
  d.category = category;
  d.table = "cygl";
  d.fileName = file + ".asp";
  d.title = "岚禾网络订餐系统1.0版";
  d.heading = kCategoryHeading[category];
  d.headerColspan = 8;
  d.addPage = file + "add.asp";
  d.addLabel = "增加餐饮";
  d.editPage = file + "edit.asp";
  return d;
}

ListDesign ListPage::homeDishes() {
  ListDesign d;
  d.rows = ListDesign::Rows::Dish;
  d.table = "cygl";
  d.fileName = "cygl.asp";
  d.title = "岚禾在线订餐系统";
  d.heading = " 首页餐饮管理";
  d.headerColspan = 8;
  d.editPage = "cygledit.asp";
  d.trimCells = false;
  return d;
}

ListDesign ListPage::news() {
  ListDesign d;
  d.rows = ListDesign::Rows::News;
  d.table = "cyxw";
  d.fileName = "cyxw.asp";
  d.title = "岚禾在线定餐系统1.0";
  d.heading = " 餐饮新闻";
  d.headerColspan = 6;
  d.addPage = "cyxwadd.asp";
  d.addLabel = "增加新闻";
  d.editPage = "cyxwedit.asp";
  return d;
}

int ListPage::wantedPage() {
  std::string page = frame::trim(Request().Item("page"));
  if (page.empty()) return 0;
  if (!data::isWholeNumber(page) || page.size() > 6) return 1;
  std::int64_t v = data::Value(page).toInteger();
  return (v < -32768 || v > 32767) ? 1 : static_cast<int>(v);
}

void ListPage::deleteTicked() {
  requireSiteForm();
  std::optional<std::vector<std::int64_t>> ids = parseIdList(Request().Item("selectdel"));
  if (!ids) alertAndEnd("删除失败：所选的编号无效，没有删除任何记录。");
  if (!ids->empty()) {
    std::string text = "delete from " + d_.table + " where ";
    if (d_.category) text += "lei2=" + std::to_string(d_.category) + " and ";
    text += "id in (" + placeholders(ids->size()) + ")";
    std::vector<data::Value> params(ids->begin(), ids->end());
    conn()->Execute(data::Sql(text, std::move(params)));
  }
  Response().Redirect(d_.fileName);
}

void ListPage::writeHead() {
  std::string add;
  if (!d_.addPage.empty())
    add = R"( <span class="style1"><span class="style2"><a href=")" + d_.addPage + R"(">)" + d_.addLabel +
          "</a></span></span>";
  Response().Write(R"(<html>
<style type="text/css">
<!--
.style1 {font-size: 14px; font-weight: bold;}
.style2 {font-size: 12px; font-weight: bold;}
-->
</style>
<head>
<title>)" + d_.title + R"(</title>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<link href="../css/style.css" rel="stylesheet" type="text/css">
</head>
<body>
<table cellpadding="3" cellspacing="1" border="0" width="100%" class="tableBorder" align="center">
<tr><td class="tableHeaderText" colspan=")" + std::to_string(d_.headerColspan) +
                   R"(" height="25"><span class="forumRowHighlight"><b><font color="#000000">)" + d_.heading +
                   "</font></b></span> 修改删除新闻" + add + "</td></tr>\n");
}

void ListPage::main() {
  openAdminDb();
  checkAdmin();
  if (Request().QueryString("action") == "del") deleteTicked();

  writeHead();
  currentPage_ = wantedPage();

  std::string text = "select * from " + d_.table;
  if (d_.category) text += " where lei2=" + std::to_string(d_.category);
  text += " order by dates desc";
  data::Recordset& r = newRs("adodb.recordset");
  r.Open(text, *conn(), data::adOpenKeyset, data::adLockReadOnly);

  if (r.Eof() && r.Bof()) {
    Response().Write("<p align='center' class='contents'> 您还没有添加新闻！</p>");
  } else {
    long total = r.RecordCount();
    if (currentPage_ < 1) currentPage_ = 1;
    if ((currentPage_ - 1) * kPageSize > total)
      currentPage_ = total % kPageSize == 0 ? total / kPageSize : total / kPageSize + 1;
    if (currentPage_ != 1) {
      if ((currentPage_ - 1) * kPageSize < total)
        r.Move((currentPage_ - 1) * kPageSize);
      else
        currentPage_ = 1;  // the page would start exactly at the end: show the first
    }
    showContent();
    showpage(total, kPageSize, d_.fileName);
  }
  Response().Write(" <br>\n</body>\n</html>\n");
  Response().Write(kSelectAll);
}

void ListPage::showContent() {
  data::Recordset& r = *rs();
  bool dish = d_.rows == ListDesign::Rows::Dish;
  std::string out = R"(<form name="form" method="post" action=")" + d_.fileName + R"(?action=del">
)";
  if (dish)
    out += R"(<tr><td class="forumRowHighlight" align="center" width="25%">餐饮名称</td><td class="forumRowHighlight" align="center" width="11%">修改内容</td><td class="forumRowHighlight" align="center" width="22%">图片地址</td><td class="forumRowHighlight" align="center" width="13%">价格</td><td class="forumRowHighlight" align="center" width="13%">发布类型</td><td class="forumRowHighlight" align="center" width="16%">选 择</td></tr>
)";
  else
    out += R"(<tr><td class="forumRowHighlight" align="center" width="34%">热点专题主题</td><td class="forumRowHighlight" align="center" width="17%">修改内容</td><td class="forumRowHighlight" align="center" width="29%">发布时间</td><td class="forumRowHighlight" align="center" width="20%">选 择</td></tr>
)";
  Response().Write(out);

  const std::string cell = R"(<td class="forumRowHighlight" align="center">)";
  int count = 0;
  while (!r.Eof()) {
    std::string id = r("id").text();
    std::string link = d_.editPage + "?id=" + id;
    std::string row = "<tr>";
    if (dish) {
      std::string name = r("name").text(), pic = r("pic").text();
      if (d_.trimCells) {
        name = frame::trim(name);
        pic = frame::trim(pic);
      }
      row += cell + R"(<a href=")" + link + R"(">)" + htmlEncode(name) + "</a></td>";
      row += cell + R"(<a href=")" + link + R"(">进入修改</a></td>)";
      row += cell + htmlEncode(pic) + "</td>";
      row += cell + htmlEncode(r("jiage").text()) + "</td>";
      row += cell + htmlEncode(r("lei").text()) + "</td>";
    } else {
      row += cell + R"(<a href=")" + link + R"(">)" + htmlEncode(frame::trim(r("title").text())) + "</a></td>";
      row += cell + R"(<a href=")" + link + R"(">进入修改</a></td>)";
      row += cell + htmlEncode(r("dates").text()) + "</td>";
    }
    row += cell + R"(<input type="checkbox" name="selectdel" id="selectdel" value=")" + id + R"("></td></tr>)" + "\n";
    Response().Write(row);
    if (++count >= kPageSize) break;
    r.MoveNext();
  }
  r.Close();
  rs().reset();

  if (dish) {
    std::string add = d_.addPage.empty() ? "" : R"(<a href=")" + d_.addPage + R"(">)" + d_.addLabel + "</a>";
    Response().Write(
        R"~(<tr><td align="right" colspan="3" height="30" nowrap><input type="submit" name="Submit" class="button" value="删除所选新闻">　　全选<input type="checkbox" name="checkbox" value="Check All" onclick="mm()"></td><td colspan="3" height="30" nowrap>)~" +
        add + "</td></tr>\n</form>\n</table>\n");
  } else {
    Response().Write(
        R"(<tr><td align="right" colspan="2" height="30" nowrap><input type="submit" name="Submit" class="button" value="删除所选新闻">　　全选<input type="checkbox" name="SS" value="Check" onclick="mm();"></td><td colspan="2" height="30" nowrap><a href="cyxwadd.asp">增加新闻</a></td></tr>
</form>
</table>
)");
  }
}

void ListPage::showpage(long totalnumber, long maxperpage, const std::string& filename) {
  long n = totalnumber / maxperpage + (totalnumber % maxperpage ? 1 : 0);
  long page = currentPage_;
  auto link = [&](long to, const char* label) {
    return "<a href=" + filename + "?page=" + std::to_string(to) + " class='contents'>" + label + "</a> ";
  };
  std::string out = "<form method=Post action=" + filename + "><p align='center' class='contents'> ";
  if (page < 2)
    out += "<font class='contents'>首页 上一页</font> ";
  else
    out += link(1, "首页") + link(page - 1, "上一页");
  if (n - page < 1)
    out += "<font class='contents'>下一页 尾页</font> ";
  else
    out += link(page + 1, "下一页") + link(n, "尾页");
  out += "<font class='contents'> 页次：</font><font class='contents'>" + std::to_string(page) +
         "</font><font class='contents'>/" + std::to_string(n) + "页</font> ";
  out += "<font class='contents'> 共有" + std::to_string(totalnumber) + "条新闻 </font>";
  out += "<font class='contents'>转到：</font><input type='text' name='page' size=2 maxlength=10 class=smallInput value=" +
         std::to_string(page) + ">&nbsp;<input class=button type='submit' value='GO' name='cndok'></p></form>\n";
  Response().Write(out);
}

namespace {

const frame::PageRegistration pages([](frame::Registry& registry) {
  // One implementation, each list its design.
  auto add = [&registry](const char* id, ListDesign design) {
    registry.add(
        id, [design] { return std::make_unique<ListPage>(design); },
        {frame::op("main", &ListPage::main), frame::op("showContent", &ListPage::showContent), frame::op("showpage")});
  };
  add("mabex.kcdg", ListPage::dishes(1));
  add("mabex.jpsq", ListPage::dishes(2));
  add("mabex.ylxg", ListPage::dishes(3));
  add("mabex.cygl", ListPage::homeDishes());
  add("mabex.cyxw", ListPage::news());
});

}  // namespace
}  // namespace tovi::backoffice::catalogue
