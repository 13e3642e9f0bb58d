// kcdgbody, jpsqbody, ylxgbody: the three category ordering pages, one design
// with the sales category (`cygl.lei2`) as its parameter.
//
// main() writes the page body: the order script and form, the banner, the
// title row, a grid of at most 3 x 3 dishes of the category (in the order the
// database returns them) and the order block. An empty category gives an empty
// grid and no message. The host page supplies html, head, body and the
// stylesheet with class `com1`. Database failures propagate to the host.
#include <string>

#include "frame/component.h"
#include "frame/module1.h"
#include "frame/text.h"
#include "storefront/dish_picture.h"
#include "storefront/order_form.h"

namespace tovi::storefront {
namespace {

class categorybody : public frame::Component {
 public:
  // `lei2`: 1 fast food (kcdgbody), 2 premium dishes (jpsqbody), 3 drinks (ylxgbody); `title` the
  // category's name, the text of the title picture.
  categorybody(int lei2, const char* title) : lei2_(lei2), title_(title) {}
  void main();

 private:
  int lei2_;
  const char* title_;
};

}  // namespace

using namespace frame::Module1;
using frame::htmlEncode;

namespace {

constexpr int kRows = 3;
constexpr int kPerRow = 3;

void writeDishCell(data::Recordset& dish) {
  std::string name = dish("name").text();
  std::string price = dish("jiage").text();
  Response().Write(R"(<td width=160 height=210 align=center background='./images/main_bg.gif'><div align=center style='width:159px'><img src=')" +
                   htmlEncode(shownPicture(dish("pic").text())) + "' alt='" + htmlEncode(name) +
                   R"(' width=123 height=93 border=1>&nbsp;<br><br>)" +
                   htmlEncode(name) + "<br>" + dish("content").text() + "<br>");
  writeDishFields("name1", "jiage1", name, price);
  Response().Write("&nbsp;" + htmlEncode(price) + "元</div></td><td><samp style='width:9'>&nbsp;</samp></td>");
}

}  // namespace

void categorybody::main() {
  openFrontDb();
  writeOrderPageStart("./images/kcdg.gif", title_);
  Response().Write(R"(<TR><TD>
<table width=566 border=0 cellpadding=0 cellspacing=0><tr><td height=76 align=center valign=top>
)");

  data::Recordset& dishes = newRs("adodb.recordset");
  dishes.Open("select * from cygl where lei2=" + std::to_string(lei2_), *conn(), data::adOpenKeyset,
              data::adLockReadOnly);
  Response().Write(R"(<table width=567 border=0 cellpadding=0 cellspacing=0>
<tr bgcolor=#FFFFFF><td width=196 height=354 align=center>
<table height=210 cellspacing=0 cellpadding=5 width='100%' align=center border=0>
)");
  for (int row = 0; row < kRows && !dishes.Eof(); ++row) {
    Response().Write("<tr>");
    for (int place = 0; place < kPerRow && !dishes.Eof(); ++place) {
      writeDishCell(dishes);
      dishes.MoveNext();
    }
    Response().Write("</tr>\n");
  }
  dishes.Close();
  rs().reset();

  Response().Write(R"(</table>
</td></tr>
<tr bgcolor=#FFFFFF><td align=center colspan=3 height=23></td></tr>
</table>
</td></tr></table>
</TD></TR>
)");
  writeOrderBlock(OrderBlock::category);
  writeOrderPageEnd();
}

namespace {

const frame::PageRegistration pages([](frame::Registry& registry) {
  // One implementation, the sales category its parameter. Like the home page,
  // each shows the dishes table and nothing else.
  struct Category {
    const char* id;
    int lei2;
    const char* title;
  };
  for (Category c : {Category{"mabex.kcdgbody", 1, "快餐订购"}, Category{"mabex.jpsqbody", 2, "精品食区"},
                     Category{"mabex.ylxgbody", 3, "饮料选购"}}) {
    registry.add(c.id, [c] { return std::make_unique<categorybody>(c.lei2, c.title); },
                 {frame::op("main", &categorybody::main)}, frame::Output::DatabaseOnly);
  }
});

}  // namespace
}  // namespace tovi::storefront
