// admin/phone_order.asp: an order taken on the phone, entered by staff.
//
//   GET  phone_order.asp               the form: every dish of the menu (cygl) by
//                                      category with a quantity field, then name,
//                                      phone, address, delivery time and remark
//   POST phone_order.asp?action=save   stores the order and comes back to the form
//
// The order is stored as the storefront stores one (tdgl: the order lines
// text and total in the order form's format, built here from the menu's own
// names and prices, status 1, the date parts of one clock reading), with
// tdgl.taker holding the operator's login name. The storefront's per-browser
// limit and address filter do not apply: staff decide on the phone.
//
// Component tovi.phone_order, operation main. Behind the back-office guard
// (rights 1 and 2); the save only as a post from the site's own pages. What
// fails: no dish with a quantity, a quantity that is no whole number from 1
// to 99, an empty name, phone or address, a time not on the form's lists, or
// a dish whose stored price is not a number: an alert, nothing stored.
#include <string>
#include <vector>

#include "data/recordset.h"
#include "frame/alerts.h"
#include "frame/component.h"
#include "frame/module1.h"
#include "frame/request_guard.h"
#include "frame/text.h"
#include "orders/order_lines.h"
#include "orders/order_row.h"

namespace tovi::orders {
namespace {

class phone_order : public frame::Component {
 public:
  void main();
};


using namespace frame::Module1;
using frame::alertBack;
using frame::htmlEncode;

struct Dish {
  long long id = 0;
  std::string name, price;
  int category = 0;
};

std::vector<Dish> menuDishes() {
  std::vector<Dish> dishes;
  data::Recordset rs;
  rs.Open("select * from cygl order by lei2, dates desc", *conn(), data::adOpenKeyset, data::adLockReadOnly);
  rs.PageSize(1000);
  while (!rs.Eof()) {
    dishes.push_back({rs("id").value().toInteger(), frame::trim(rs("name").text()), frame::trim(rs("jiage").text()),
                      rs("lei2").value().toInt32()});
    rs.MoveNext();
  }
  rs.Close();
  return dishes;
}

const char* categoryName(int c) {
  switch (c) {
    case 1: return "快餐订购";
    case 2: return "精品食区";
    case 3: return "饮料选购";
    default: return "其他";
  }
}

bool validTime(const std::string& hours, const std::string& minutes) {
  bool hourOk = data::isWholeNumber(hours) && hours[0] != '0' && hours.size() <= 2 && std::stoi(hours) >= 1 &&
                std::stoi(hours) <= 24;
  return hourOk && (minutes == "00" || minutes == "10" || minutes == "20" || minutes == "30" || minutes == "40" ||
                    minutes == "50");
}

void save() {
  frame::requirePostFromSite();
  std::string lines;
  double total = 0;
  for (const Dish& d : menuDishes()) {
    std::string typed = frame::trim(Request().Form("q" + std::to_string(d.id)));
    if (typed.empty() || typed == "0") continue;
    if (!data::isWholeNumber(typed) || typed.size() > 2 || typed[0] == '-' || typed[0] == '0')
      alertBack("数量只能是 1 到 99 的整数！");
    if (!data::Value(d.price).isNumeric()) alertBack("菜品“" + d.name + "”的价格不是数字，请先改正价格！");
    long quantity = std::stol(typed);
    lines += orderLine(d.name, d.price, quantity);
    total += data::Value(d.price).toDouble() * static_cast<double>(quantity);
  }
  if (lines.empty()) alertBack("请至少给一道菜填上数量！");
  const std::string name = frame::trim(Request().Form("yhm"));
  const std::string phone = frame::trim(Request().Form("telsss"));
  const std::string address = frame::trim(Request().Form("addresss"));
  const std::string hours = Request().Form("hours"), minutes = Request().Form("minutes");
  if (name.empty()) alertBack("请填写联系人！");
  if (phone.empty()) alertBack("请填写联系电话！");
  if (address.empty()) alertBack("请填写送餐地址！");
  if (!validTime(hours, minutes)) alertBack("请选择正确的到达时间！");

  const data::DateTime now = Now();
  data::Recordset order;
  order.Open("select * from tdgl", *conn(), data::adOpenKeyset, data::adLockOptimistic);
  order.AddNew();
  setOrderColumns(order, {.dcqk = lines, .dczj = jsNumber(total), .yhm = name, .telsss = phone, .zffs = "餐到付费",
                           .addresss = address, .qtbz = Request().Form("qtbz"), .minutes = minutes, .hours = hours},
                  now);
  order("taker") = Session().Get("admin").text();
  order.Update();
  const std::string id = order("id").text();
  order.Close();
  frame::alertGo("电话订单已保存，订单号 " + id + "。", "phone_order.asp");
}

void form() {
  std::string page = R"(<html>
<head>
<meta http-equiv='Content-Type' content='text/html; charset=gb2312'>
<title>电话订单</title>
<link href='live/live.css' rel='stylesheet' type='text/css'>
</head>
<body class='phone'>
<form name='phoneform' method='post' action='phone_order.asp?action=save'>
<table width='100%' border='0' cellpadding='3' cellspacing='1' class='tableBorder'>
<tr><th colspan='3'>电话订单（接单：)" + htmlEncode(Session().Get("admin").text()) + R"(）</th></tr>
)";
  int category = -1;
  for (const Dish& d : menuDishes()) {
    if (d.category != category) {
      category = d.category;
      page += "<tr><td colspan='3' class='group'><b>" + std::string(categoryName(category)) + "</b></td></tr>\n";
    }
    page += "<tr><td>" + htmlEncode(d.name) + "</td><td>" + htmlEncode(d.price) +
            "元</td><td>数量 <input type='text' size='2' maxlength='2' name='q" + std::to_string(d.id) +
            "'></td></tr>\n";
  }
  page += R"(<tr><td>联系人</td><td colspan='2'><input type='text' name='yhm' size='16'> 联系电话 <input type='text' name='telsss' size='18'></td></tr>
<tr><td>送餐地址</td><td colspan='2'><input type='text' name='addresss' size='47'></td></tr>
<tr><td>到达时间</td><td colspan='2'><select name='hours'>)";
  for (int h = 1; h <= 24; ++h) page += "<option value='" + std::to_string(h) + "'>" + std::to_string(h) + "</option>";
  page += "</select>点<select name='minutes'>";
  for (const char* m : {"00", "10", "20", "30", "40", "50"})
    page += std::string("<option value='") + m + "'>" + m + "</option>";
  page += R"(</select>分</td></tr>
<tr><td>其他备注</td><td colspan='2'><textarea name='qtbz' rows='3' cols='40'></textarea></td></tr>
<tr><td>&nbsp;</td><td colspan='2'><input type='submit' name='Submit' value=' 保存订单 '> <a href='live.asp'>返回实时订单</a></td></tr>
</table>
</form>
</body>
</html>)";
  Response().Write(page);
}

}  // namespace

void phone_order::main() {
  openAdminDb();
  checkAdmin();
  if (Request().QueryString("action") == "save") return save();
  form();
}

namespace {

const frame::PageRegistration pages([](frame::Registry& registry) {
  registry.addMain<phone_order>("tovi.phone_order");
});

}  // namespace
}  // namespace tovi::orders
