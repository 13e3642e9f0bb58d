// indexbody: the storefront home page.
//
// main() writes the page body: the order script and form, the banner, the
// title row, the new dishes (`lei` '新品推荐', at most 4 rows of 2) with the
// hover box, the signature dishes (`lei` '招牌老菜', at most 8 rows of 3) and
// the order block, all inside one form so both lists order together. Pointing
// at a dish name shows its description and picture in the hover box. The host
// page supplies html, head, body and the classes `com1` and `c6`. Database
// failures propagate to the host.
#include <string>

#include "frame/component.h"
#include "frame/module1.h"
#include "frame/text.h"
#include "storefront/dish_picture.h"
#include "storefront/hover_box.h"
#include "storefront/order_form.h"

namespace tovi::storefront {
namespace {

class indexbody : public frame::Component {
 public:
  void main();
};

}  // namespace

using namespace frame::Module1;
using frame::htmlEncode;
using frame::jsInAttr;

namespace {

// How the two lists differ.
struct DishList {
  const char* query;
  int rows, perRow;
  const char* nameField;
  const char* priceField;
  const char* cellBackground;  // attribute text, may be empty
  const char* descriptionEnd;  // appended to the description in the hover box
};

constexpr DishList kNewDishes{"select * from cygl where lei='新品推荐'", 4, 2, "name", "jiage", " bgcolor=#FFFFFF",
                              "<br>"};
constexpr DishList kSignatureDishes{"select * from cygl where lei='招牌老菜'", 8, 3, "name1", "jiage1", "", ""};

void writeDishCell(const DishList& list, data::Recordset& dish) {
  std::string name = dish("name").text();
  std::string price = dish("jiage").text();
  std::string pic = dish("pic").text();
  Response().Write(std::string("<td height=32 align=center") + list.cellBackground +
                   "><table width=180 border=0 cellspacing=0 cellpadding=0><tr><td width=23>");
  writeDishFields(list.nameField, list.priceField, name, price);
  // The description is the operator's markup; name and picture path go into
  // the box's markup as text. The link opens the picture as uploaded, the box
  // shows its small copy.
  Response().Write("</td><td width=31 align=right>" + htmlEncode(price) +
                   "元</td><td width=126><a class=c6 href='" + htmlEncode(pic) +
                   "' target='_blank' onmouseover=\"drc('" + jsInAttr(dish("content").text() + list.descriptionEnd) +
                   "','" + jsInAttr(htmlEncode(name)) + "','" + jsInAttr(htmlEncode(shownPicture(pic))) +
                   "'); return true;\" onmouseout=\"nd(); return true;\">&nbsp;&nbsp;<font color=#808080>" +
                   htmlEncode(name) + "</font></a></td></tr></table></td>");
}

void writeDishList(const DishList& list) {
  data::Recordset& dishes = newRs("adodb.recordset");
  dishes.Open(list.query, *conn(), data::adOpenKeyset, data::adLockReadOnly);
  Response().Write("<table width=500 border=0 cellspacing=0 cellpadding=0>\n");
  for (int row = 0; row < list.rows && !dishes.Eof(); ++row) {
    Response().Write("<tr>");
    for (int place = 0; place < list.perRow && !dishes.Eof(); ++place) {
      writeDishCell(list, dishes);
      dishes.MoveNext();
    }
    Response().Write("</tr>\n");
  }
  Response().Write("</table>\n");
  dishes.Close();
  rs().reset();
}

}  // namespace

void indexbody::main() {
  openFrontDb();
  writeOrderPageStart("./images/xptj.gif", "新品推荐");

  Response().Write(R"(<TR><TD>
<table width=566 border=0 cellpadding=0 cellspacing=0><tr><td height=76 align=center valign=top bgcolor=#FFFFFF bordercolor=#FFFFFF><br>
)");
  writeDishList(kNewDishes);
  writeHoverBox(HoverBox::dishes());
  Response().Write(R"(</td></tr></table>
</TD></TR>
<TR><TD>
<table width=566 height=39 border=0 cellpadding=0 cellspacing=0>
<tr><td width=9 class=com1>&nbsp;</td><td width=386 class=com1><img src='./images/lpmc.gif' alt='招牌老菜' width=120 height=25></td><td width=140><div align=center><span class=STYLE3><a href='kcdg.asp' class=STYLE1>MORE</a>&gt;&gt;&gt;</span></div></td></tr>
<tr><td colspan=3 height=3 background='./images/xian.gif'></td></tr>
</table>
</TD></TR>
<TR><TD>
<table width=566 border=0 cellpadding=0 cellspacing=0><tr><td height=484 align=center valign=top><br>
)");
  writeDishList(kSignatureDishes);
  Response().Write("<br>\n");
  writeOrderBlock(OrderBlock::home);
  Response().Write("</td></tr></table>\n</TD></TR>\n");
  writeOrderPageEnd();
}

namespace {

const frame::PageRegistration pages([](frame::Registry& registry) {
  // The home page shows the dishes table and nothing else: the host may answer
  // it from a rendered copy until the database changes.
  registry.add("mabex.indexbody", [] { return std::make_unique<indexbody>(); }, {frame::op("main", &indexbody::main)},
               frame::Output::DatabaseOnly);
});

}  // namespace
}  // namespace tovi::storefront
