#include "storefront/category_page.h"

#include <string>

#include "frame/module1.h"
#include "frame/text.h"
#include "storefront/order_form.h"

namespace tovi::storefront {

using namespace frame::Module1;
using frame::htmlEncode;

namespace {

constexpr int kRows = 3;
constexpr int kPerRow = 3;

void writeDishCell(data::Recordset& dish) {
  std::string name = dish("name").text();
  std::string price = dish("jiage").text();
  Response().Write(R"(<td width=160 height=210 align=center background='./images/main_bg.gif'><div align=center style='width:159px'><img src=')" +
                   htmlEncode(dish("pic").text()) + R"(' width=123 height=93 border=1>&nbsp;<br><br>)" +
                   htmlEncode(name) + "<br>" + dish("content").text() + "<br>");
  writeDishFields("name1", "jiage1", name, price);
  Response().Write("&nbsp;" + htmlEncode(price) + "元</div></td><td><samp style='width:9'>&nbsp;</samp></td>");
}

}  // namespace

void categorybody::main() {
  openFrontDb();
  writeOrderPageStart("./images/kcdg.gif");
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

}  // namespace tovi::storefront
