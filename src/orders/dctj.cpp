// dctj: order submission, the target of the storefront order form.
//
// main() checks, in this order, and stops at the first refusal with its alert script:
//   1. the order is a POST from the site's own pages (frame/request_guard.h);
//   2. it holds a dish: order lines `list` not blank, a total `list1` above 0;
//   3. the flood guard (orders/order_flood.h): at most `order_flood_times` orders
//      per client address in `order_flood_time` minutes (0: off); a refusal is
//      logged with the address and counted in `order_flood_refused`;
//   4. the submission limit (when `order_time_state` is 1), counted per browser
//      in the cookie "tamlo" (`name_time` window start, `name_times` count);
//   5. the address filter (when `order_delet_state` is 1): the address must hold
//      one of the "|"-separated keywords; a refused address is added to `err_record`;
//   6. a signed-in member (session `names`) must give their own name as `yhm`.
// Then it stores the order in `tdgl` with status 1, gives the browser the
// order's token (orders/order_token.h) and answers the success alert, which
// sends the browser to index.asp; the order history (ckdd.asp) links each of
// the browser's orders to its own page (orders/order_page.h). Its whole
// answer is one script. Only stored orders count towards the flood guard.
//
// Cookie values that do not read back (a `name_time` that is no date-time or
// lies in the future, a `name_times` that is no whole number) open a new
// window. A missing settings row reads as every filter off. Database failures
// propagate to the host; the success alert is written only after the row is stored.
#include <charconv>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "frame/component.h"
#include "frame/http_details.h"
#include "frame/module1.h"
#include "frame/request_guard.h"
#include "frame/text.h"
#include "orders/order_flood.h"
#include "orders/order_row.h"
#include "orders/order_token.h"

namespace tovi::orders {
namespace {

class dctj : public frame::Component {
 public:
  // `flood` counts the orders of each client address; shared by every request.
  explicit dctj(std::shared_ptr<OrderFlood> flood) : flood_(std::move(flood)) {}
  void main();

 private:
  std::shared_ptr<OrderFlood> flood_;
};

}  // namespace

using namespace frame::Module1;
using data::DateTime;

namespace {

struct Settings {
  bool limitOn = false;
  std::int32_t window = 0;  // minutes
  std::int32_t times = 0;   // orders per window
  bool addressFilterOn = false;
  std::vector<std::string> keywords;
  OrderFlood::Limit flood{0, 0};  // off
};

std::vector<std::string> splitKeywords(const std::string& text) {
  std::vector<std::string> out;
  std::size_t pos = 0;
  while (true) {
    std::size_t bar = text.find('|', pos);
    out.push_back(text.substr(pos, bar == std::string::npos ? std::string::npos : bar - pos));
    if (bar == std::string::npos) return out;
    pos = bar + 1;
  }
}

Settings readSettings() {
  Settings s;
  data::Recordset& set = newRs("adodb.recordset");
  set.Open("select * from set_tamloall", *conn(), data::adOpenKeyset, data::adLockReadOnly);
  if (!set.Eof()) {
    s.keywords = splitKeywords(set("order_deletkey").text());
    s.times = set("order_times").value().toInt32();
    s.window = set("order_time").value().toInt32();
    s.limitOn = set("order_time_state").value().toInt32() == 1;
    s.addressFilterOn = set("order_delet_state").value().toInt32() == 1;
    s.flood = {set("order_flood_times").value().toInt32(),
               std::int64_t{set("order_flood_time").value().toInt32()} * 60};
  }
  set.Close();
  rs().reset();
  return s;
}

std::optional<std::int32_t> wholeNumber(const std::string& text) {
  std::int32_t v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return v;
}

void writeCookie(const DateTime& now, const std::string& count, const std::string& start) {
  frame::ResponseCookie& c = Response().Cookies("tamlo");
  c.set("name_times", count);
  c.set("name_time", start);
  c.path = "/";
  c.expires = now.addDays(1);
}

[[noreturn]] void refuse(const std::string& message) {
  Response().Write("<script>alert('" + message + "');javascript:history.go(-1);</script>");
  Response().End();
  throw frame::PageEnd{};  // End throws it already; this tells the compiler
}

// The submission limit: counts this order in the cookie or refuses it.
void applyLimit(const Settings& s, const DateTime& now) {
  std::string startText = Request().Cookies("tamlo", "name_time");
  std::optional<DateTime> start = DateTime::parse(startText);
  std::optional<std::int32_t> count = wholeNumber(Request().Cookies("tamlo", "name_times"));
  if (!start || !count || *start > now) {
    writeCookie(now, "1", now.general());
    return;
  }
  // Minute boundaries crossed between the window's start and now.
  std::int64_t elapsed = now.serialSeconds() / 60 - start->serialSeconds() / 60;
  if (elapsed > s.window) {
    writeCookie(now, "1", now.general());
    return;
  }
  if (*count < s.times) {
    writeCookie(now, std::to_string(std::int64_t{*count} + 1), startText);
    return;
  }
  std::int64_t wait = std::int64_t{s.window} + 1 - elapsed;
  refuse("对不起！为了避免提交的垃圾信息过多而影响正常用户，请在" + std::to_string(wait) + "分钟后再订餐。");
}

// A total the form computed for at least one dish: a decimal number above 0.
bool positiveAmount(const std::string& text) {
  const std::string t = frame::trim(text);
  const std::size_t dot = t.find('.');
  const std::string whole = t.substr(0, dot), part = dot == std::string::npos ? "" : t.substr(dot + 1);
  auto digits = [](const std::string& d) { return d.find_first_not_of("0123456789") == std::string::npos; };
  if (whole.empty() || !digits(whole) || !digits(part) || (dot != std::string::npos && part.empty())) return false;
  return t.find_first_not_of("0.") != std::string::npos;
}

bool blank(const std::string& text) { return text.find_first_not_of(" \t\r\n") == std::string::npos; }

bool inServiceArea(const Settings& s, const std::string& address) {
  for (const std::string& k : s.keywords)
    if (!k.empty() && address.find(k) != std::string::npos) return true;
  return false;
}

}  // namespace

void dctj::main() {
  if (!frame::postedFromSite()) refuse("对不起！订单只能从本站的订餐页面提交。");
  OrderRow row;
  row.dcqk = Request()("list");
  row.dczj = Request()("list1");
  if (blank(row.dcqk) || !positiveAmount(row.dczj)) refuse("您还没有点菜，请先选好菜品再提交订单！");

  openFrontDb();
  Settings settings = readSettings();
  DateTime now = Now();

  frame::HttpDetails* http = frame::pageContext().mys->http();
  const std::string client = http ? http->clientAddress() : "";
  std::optional<OrderFlood::Slot> slot = flood_->take(client, settings.flood, now.serialSeconds());
  if (!slot) {
    if (http) http->logLine("order refused by the flood guard: " + client);
    conn()->Execute("update set_tamloall set order_flood_refused = order_flood_refused + 1");
    refuse("对不起！您所在的网络提交的订单太多了，请稍后再试。");
  }

  if (settings.limitOn) applyLimit(settings, now);

  if (settings.addressFilterOn) {
    std::string address = Request()("addresss");
    if (!inServiceArea(settings, address)) {
      data::Recordset& log = newRs("adodb.recordset");
      log.Open("select * from err_record", *conn(), data::adOpenKeyset, data::adLockOptimistic);
      log.AddNew();
      log("add_err_str") = address;
      log.Update();
      log.Close();
      rs().reset();
      refuse("对不起！您填写的送餐地址不在我们的服务区内或是送餐地址输入有误！");
    }
  }

  row.yhm = Request()("yhm");
  data::Value member = Session()("names");
  if (!member.blank() && member.text() != row.yhm) refuse("请输入和你的用户名一样的名称！");

  row.telsss = Request()("telsss");
  row.zffs = Request()("zffs");
  row.addresss = Request()("addresss");
  row.qtbz = Request()("qtbz");
  row.minutes = Request()("minutes");
  row.hours = Request()("hours");

  data::Recordset& order = newRs("adodb.recordset");
  order.Open("select * from tdgl", *conn(), data::adOpenKeyset, data::adLockOptimistic);
  order.AddNew();
  setOrderColumns(order, row, now);
  order.Update();
  slot->keep();
  const long long id = order("id").value().toInteger();
  issueOrderToken(id);

  Response().Write(
      R"(<script>alert('订餐成功！！我们会准时送到您的手中！！谢谢光临！！');location.href="index.asp";</script>)");
  order.Close();
  rs().reset();
  conn()->Close();
  conn().reset();
}

namespace {

const frame::PageRegistration pages([](frame::Registry& registry) {
  auto flood = makeOrderFlood(registry.sharedState());
  registry.add("mabex.dctj", [flood] { return std::make_unique<dctj>(flood); }, {frame::op("main", &dctj::main)});
});

}  // namespace
}  // namespace tovi::orders
