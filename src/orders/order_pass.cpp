// order_pass.asp: the order filter settings ("订餐信息过虑"), the single row of
// set_tamloall that order submission reads: the submission limit (on/off,
// minutes, orders per window), the delivery-address keyword filter, and the
// flood guard per client address (orders per window of minutes, 0 for off),
// with the number of orders it has refused.
//
//   order_pass.asp               shows the stored settings
//   order_pass.asp?action=save   stores the posted form, then shows it
//
// How it fails: the back-office guard refuses visitors who are not logged in.
// A save must be a post from the site's own pages; minutes and counts that are
// not whole numbers from 0 to 999999999 (also the flood guard's), or a switch other than 0 and 1, get a
// clear alert and nothing is stored. The browser checks the numbers too (check()).
#include <optional>
#include <string>

#include "data/connection.h"
#include "data/recordset.h"
#include "frame/alerts.h"
#include "frame/component.h"
#include "frame/module1.h"
#include "frame/request_guard.h"
#include "frame/text.h"

namespace tovi::orders {
namespace {

class order_pass : public frame::Component {
 public:
  void main();
};

}  // namespace

using namespace frame::Module1;
using frame::alertBack;

namespace {

// Nine digits at most, so every accepted value fits the whole-number column.
constexpr std::size_t kMaxDigits = 9;

// A count typed into the form: 0 or more, plain digits (blanks around allowed).
std::optional<int> count(std::string_view typed) {
  std::string t = frame::trim(typed);
  if (t.empty() || t.size() > kMaxDigits || t.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  return std::stoi(t);
}

// A switch of the form: "1" (开) or "0" (关).
std::optional<int> onOff(std::string_view posted) {
  if (posted == "1") return 1;
  if (posted == "0") return 0;
  return std::nullopt;
}

// A radio's checked mark when the stored switch holds `value`.
std::string checkedWhen(const data::Value& stored, int value) {
  return stored.isNumber(value) ? " checked=\"checked\"" : "";
}

const char kCheckScript[] = R"(<script language="javascript">
function check(){
  var f=document.order_pass;
  if(!/^\s*\d{1,9}\s*$/.test(f.order_time.value)){alert('限制时间必须是0或正整数！');f.order_time.focus();return false;}
  if(!/^\s*\d{1,9}\s*$/.test(f.order_times.value)){alert('限制次数必须是0或正整数！');f.order_times.focus();return false;}
  if(!/^\s*\d{1,9}\s*$/.test(f.order_flood_time.value)){alert('防刷单时间必须是0或正整数！');f.order_flood_time.focus();return false;}
  if(!/^\s*\d{1,9}\s*$/.test(f.order_flood_times.value)){alert('防刷单次数必须是0或正整数！');f.order_flood_times.focus();return false;}
  return true;
}
</script>)";

void save() {
  frame::requirePostFromSite();
  frame::RequestObject& q = Request();
  const auto minutes = count(q("order_time"));
  if (!minutes) alertBack("限制时间必须是0或正整数！");
  const auto times = count(q("order_times"));
  if (!times) alertBack("限制次数必须是0或正整数！");
  const auto floodMinutes = count(q("order_flood_time"));
  if (!floodMinutes) alertBack("防刷单时间必须是0或正整数！");
  const auto floodTimes = count(q("order_flood_times"));
  if (!floodTimes) alertBack("防刷单次数必须是0或正整数！");
  const auto timeState = onOff(q("radiobutton")), deleteState = onOff(q("order_delet"));
  if (!timeState || !deleteState) alertBack("请选择限时限次和送餐地址过虑的开或关！");

  data::Recordset& settings = newRs();
  settings.Open("select * from set_tamloall", *conn(), data::adOpenKeyset, data::adLockOptimistic);
  if (settings.Eof()) alertBack("订单过虑设置不存在，请先检查数据库！");
  settings("order_time") = *minutes;
  settings("order_times") = *times;
  settings("order_time_state") = *timeState;
  settings("order_deletkey") = q("order_deletkey");
  settings("order_delet_state") = *deleteState;
  settings("order_flood_time") = *floodMinutes;
  settings("order_flood_times") = *floodTimes;
  settings.Update();
  settings.Close();
}

}  // namespace

void order_pass::main() {
  openAdminDb();
  checkAdmin();
  if (Request()("action") == "save") save();

  data::Recordset& settings = newRs();
  settings.Open("select * from set_tamloall", *conn(), data::adOpenKeyset, data::adLockReadOnly);
  if (settings.Eof()) alertBack("订单过虑设置不存在，请先检查数据库！");
  const data::Value timeState = settings("order_time_state").value();
  const data::Value deleteState = settings("order_delet_state").value();

  frame::ResponseObject& out = Response();
  out.Write(std::string(R"(<html>
<style type="text/css">
<!--
.STYLE1 {color: #000000}
-->
</style>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<link href="../css/style.css" rel="stylesheet" type="text/css">
)") + kCheckScript + R"(
</head>
<body>
)");
  out.Write(R"(<form name="order_pass" method="post" action="order_pass.asp?action=save">
<table cellpadding="3" cellspacing="1" border="0" width="100%" class="tableBorder" align="center">
<tr><th colspan="4" class="tableHeaderText STYLE1" height="25">订单信息过虑设置</th></tr>
<tr><td width="40%" align="right" class="forumRowHighlight">限时限次：</td><td width="60%" class="forumRowHighlight"><input type="radio" name="radiobutton" value="1")" +
            checkedWhen(timeState, 1) + R"(>开 <input type="radio" name="radiobutton" value="0")" +
            checkedWhen(timeState, 0) + R"(>关</td></tr>
<tr><td width="40%" align="right" class="forumRowHighlight">限制时间：</td><td width="60%" class="forumRowHighlight"><input type="text" name="order_time" style="width:50px" value=")" +
            frame::htmlEncode(settings("order_time").text()) + R"(">（单位：分钟）</td></tr>
<tr><td width="40%" align="right" class="forumRowHighlight">限制次数：</td><td width="60%" class="forumRowHighlight"><input type="text" name="order_times" style="width:50px" value=")" +
            frame::htmlEncode(settings("order_times").text()) + R"(">（单位：次数）</td></tr>
<tr><td width="40%" align="right" class="forumRowHighlight">送餐地址过虑：</td><td width="60%" class="forumRowHighlight"><input type="radio" name="order_delet" value="1")" +
            checkedWhen(deleteState, 1) + R"(>开 <input type="radio" name="order_delet" value="0")" +
            checkedWhen(deleteState, 0) + R"(>关</td></tr>
<tr><td width="40%" align="right" class="forumRowHighlight">送餐地址过虑：</td><td width="60%" class="forumRowHighlight"><textarea name="order_deletkey" rows="10" cols="60">
)" +
            frame::htmlEncode(settings("order_deletkey").text()) + R"(</textarea><br>必需包含的字段用“|”隔开！</td></tr>
<tr><td width="40%" align="right" class="forumRowHighlight">防刷单（同一网络地址）：</td><td width="60%" class="forumRowHighlight">每 <input type="text" name="order_flood_time" style="width:50px" value=")" +
            frame::htmlEncode(settings("order_flood_time").text()) + R"("> 分钟最多 <input type="text" name="order_flood_times" style="width:50px" value=")" +
            frame::htmlEncode(settings("order_flood_times").text()) + R"("> 单（填0关闭；已拦截 )" +
            frame::htmlEncode(settings("order_flood_refused").text()) + R"( 单）</td></tr>
<tr><td colspan="2" align="center" class="forumRowHighlight"><input type="submit" name="Submit" class="button" value="确定更改" onclick="return check();"></td></tr>
</table>
</form>
</body>
</html>)");
  settings.Close();
  rs().reset();
}

namespace {

const frame::PageRegistration pages([](frame::Registry& registry) {
  registry.addMain<order_pass>("mabex.order_pass");
});

}  // namespace
}  // namespace tovi::orders
