#include "orders/ddgl.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "data/connection.h"
#include "data/recordset.h"
#include "frame/admin_page.h"
#include "frame/alerts.h"
#include "frame/http_details.h"
#include "frame/module1.h"
#include "frame/page_selector.h"
#include "frame/request_guard.h"
#include "frame/text.h"
#include "orders/ddgl1.h"

namespace tovi::orders {

using namespace frame::Module1;

namespace {

class ddgl3 : public frame::Component {
 public:
  void main();
};

constexpr long kPageSize = 20;
constexpr std::size_t kFindChars = 20;
constexpr int kFirstYear = 2006;
constexpr int kLastYearOfDesign = 2016;

[[noreturn]] void alertBack(std::string_view message) {
  Response().Write("<script language=javascript>alert('" + std::string(message) +
                   "');javascript:history.go(-1);</script>");
  Response().End();
  throw frame::PageEnd{};  // not reached: End throws it
}

// One end of the order-time range as the filter form sends it.
struct RangeEnd {
  std::string years, months, days, hours, minutes;

  static RangeEnd read(const std::string& suffix) {
    frame::RequestObject& q = Request();
    return {q("years" + suffix), q("months" + suffix), q("days" + suffix), q("hours" + suffix),
            q("minutes" + suffix)};
  }
  // The date-time the parts form; empty when any part is no whole number or
  // the parts name no real moment (31 February, hour 24).
  std::optional<data::DateTime> toDateTime() const {
    int parts[5];
    const std::string* texts[5] = {&years, &months, &days, &hours, &minutes};
    for (int i = 0; i < 5; ++i) {
      std::string t = frame::trim(*texts[i]);
      if (!data::isWholeNumber(t) || t.size() > 6) return std::nullopt;
      parts[i] = std::stoi(t);
    }
    data::DateTime dt{parts[0], parts[1], parts[2], parts[3], parts[4], 0};
    if (!dt.valid()) return std::nullopt;
    return dt;
  }
};

std::string numberOptions(int from, int to, int selected) {
  std::string out;
  for (int n = from; n <= to; ++n) {
    std::string v = std::to_string(n);
    out += "<option value='" + v + "'" + (n == selected ? " selected" : "") + ">" + v + "</option>";
  }
  return out;
}

// The five lists of one end of the range, pre-selected to `at`.
std::string rangeLists(const std::string& suffix, const data::DateTime& at, int lastYear) {
  return "<select name='years" + suffix + "'>" + numberOptions(kFirstYear, lastYear, at.year) + "</select>年" +
         "<select name='months" + suffix + "'>" + numberOptions(1, 12, at.month) + "</select>月" +
         "<select name='days" + suffix + "'>" + numberOptions(1, 31, at.day) + "</select>日" +
         "<select name='hours" + suffix + "'>" + numberOptions(0, 23, at.hour) + "</select> 点" +
         "<select name='minutes" + suffix + "'>" + numberOptions(0, 59, at.minute) + "</select> 分";
}

std::string hidden(std::string_view name, std::string_view value) {
  return "<input type='hidden' name='" + std::string(name) + "' value='" + frame::htmlEncode(value) + "'>";
}

// The first `n` characters (not bytes) of a UTF-8 text.
std::string firstChars(std::string_view text, std::size_t n) {
  std::size_t pos = 0;
  for (std::size_t i = 0; i < n && pos < text.size(); ++i) frame::nextChar(text, pos);
  return std::string(text.substr(0, pos));
}


}  // namespace

void ddgl::main1() {
  openAdminDb();
  checkAdmin();
  frame::ResponseObject& out = Response();
  out.Write("<link href='../css/Style.css' rel='stylesheet' type='text/css' />");
  out.Write(frame::pageSelectorScript("MyForm"));

  // The range is in use unless the start year is empty.
  const RangeEnd startParts = RangeEnd::read(""), endParts = RangeEnd::read("1");
  const bool range = !startParts.years.empty();
  data::DateTime start, end;
  if (range) {
    if (frame::trim(endParts.years).empty()) alertBack("请同时选择开始时间和结束时间！");
    auto s = startParts.toDateTime(), e = endParts.toDateTime();
    if (!s || !e) alertBack("您选择的查询时间不是有效的日期时间，请重新选择！");
    start = *s;
    end = *e;
    if (end.serialSeconds() - start.serialSeconds() < 0) alertBack("开始查询的时间不能小于结束时间！");
  }

  const std::string lbText = frame::trim(Request()("lb"));
  std::int32_t lb = 0;
  if (!lbText.empty()) {
    data::Value v(lbText);
    const double d = v.toDouble();
    if (!v.isNumeric() || !(d > INT32_MIN && d < INT32_MAX)) alertBack("执行状态不正确！");
    lb = v.toInt32();
  }

  const std::string find = firstChars(Request()("find"), kFindChars);
  const std::string ob = frame::asciiLower(frame::trim(Request()("ob")));
  if (!ob.empty() && ob != "asc" && ob != "desc") alertBack("排序方式不正确！");

  data::Sql query("select * from tdgl");
  if (lb != 0) {
    query.text += " where dczt=?";
    query.params.emplace_back(lb);
  } else {
    query.text += " where dczt in (1,2,3,4)";
  }
  if (range && find.empty()) {
    query.text += " and fromdate>? and fromdate<?";
    query.params.emplace_back(start);
    query.params.emplace_back(end);
  } else if (!find.empty()) {
    query.text += " and yhm like ?";
    query.params.emplace_back("%" + find + "%");
  }
  query.text += " order by fromdate " + ob;

  data::Recordset& list = newRs();
  list.Open(query, *conn(), data::adOpenKeyset, data::adLockOptimistic);
  list.PageSize(kPageSize);
  if (list.Eof()) {
    out.Write("暂无用户！！");
    out.End();
  }

  const long pageCount = list.PageCount();
  const long recordCount = list.RecordCount();
  const long page = frame::wantedPage(Request()("CurrentPage"), pageCount);
  list.AbsolutePage(page);

  // The filter form, pre-selected to the range in use or to the present moment.
  const data::DateTime now = Now();
  const int lastYear = std::max(kLastYearOfDesign, now.year);
  const data::DateTime& shownStart = range ? start : now;
  const data::DateTime& shownEnd = range ? end : now;
  std::string lbOptions;
  for (int code = 0; code <= kLastStatus; ++code) {
    std::string label = code == 0 ? std::string("全部类别") : std::string(statusLabel(code));
    lbOptions += "<option value='" + std::to_string(code) + "'" + (code == lb ? " selected" : "") + ">" + label +
                 "</option>";
  }
  out.Write(R"(<table width='766' border='0' align='center' cellpadding='0' cellspacing='0'><tr><td>
<form method='get' action='ddgl.asp'>
<table width='698' border='0' align='center' cellpadding='3' cellspacing='1' class='tableBorder'>
<tr><td class='forumRowHighlight'>开始时间:)" +
            rangeLists("", shownStart, lastYear) + "<br>" + rangeLists("1", shownEnd, lastYear) +
            R"(</td></tr>
<tr><td class='forumRowHighlight'>当前时间：)" +
            now.general() + R"(</td></tr>
<tr><td class='forumRowHighlight'>用户名关键字：<input type='text' name='find' id='find' size='7' maxlength='20' value=')" +
            frame::htmlEncode(find) + R"('> 执行状态:<select name='lb'>)" + lbOptions +
            R"(</select>&nbsp;排序：<select name='ob'><option value='asc ')" + (ob == "asc" ? " selected" : "") +
            R"(>顺序</option><option value='desc ')" + (ob == "desc" ? " selected" : "") +
            R"(>倒序</option></select> <input type='submit' name='submit' value='查 询'></td></tr>
</table>
</form>
</td></tr></table>)");

  // The list: at most one page of rows from the current position.
  std::string rows = R"(<table width='100%' border='0' align='center' cellpadding='3' cellspacing='1' class='tableBorder'>
<tr><th colspan='7' class='tableHeaderText'>订单用户管理</th></tr>
<tr align='center' class='forumRowHighlight'><td>用户名</td><td>提单时间</td><td>到达时间</td><td>执行状态</td><td colspan='2'>订单资料</td></tr>
)";
  for (long i = 0; i < kPageSize && !list.Eof(); ++i) {
    const std::string id = std::to_string(list("id").value().toInteger());
    const std::string date =
        list("years").text() + "年" + list("months").text() + "月" + list("days").text() + "日";
    const long status = list("dczt").value().toInt32();
    std::string_view label = status >= 2 && status <= kLastStatus ? statusLabel(status) : statusLabel(1);
    rows += "<tr align='center' class='forumRow'><td>" + frame::htmlEncode(list("yhm").text()) + "</td><td>" + date +
            list("hourss").text() + "点" + list("minutess").text() + "分</td><td>" + date +
            frame::htmlEncode(list("hours").text()) + "点" + frame::htmlEncode(list("minutes").text()) +
            "分</td><td>" + std::string(label) + "</td><td><a href='ddgl1.asp?id=" + id +
            "'>查看订单</a></td><td><a href='ddgl3.asp?id=" + id + "'>删除订单</a></td></tr>\n";
    list.MoveNext();
  }
  rows += "</table>";
  out.Write(rows);

  // The paging form: the page list, with the filter carried over in hidden fields.
  std::string paging = "<form name='MyForm' method='post' action='ddgl.asp'>";
  if (range) {
    for (const auto& [suffix, parts] : {std::pair{"", &startParts}, std::pair{"1", &endParts}}) {
      paging += hidden(std::string("years") + suffix, parts->years) + hidden(std::string("months") + suffix, parts->months) +
                hidden(std::string("days") + suffix, parts->days) + hidden(std::string("hours") + suffix, parts->hours) +
                hidden(std::string("minutes") + suffix, parts->minutes);
    }
  }
  if (!lbText.empty()) paging += hidden("lb", std::to_string(lb));
  if (!find.empty()) paging += hidden("find", find);
  if (!ob.empty()) paging += hidden("ob", ob + " ");
  paging += "<p align=center><font size=2 color='#000000' >";
  paging += frame::pageSelectorLinks(page, pageCount);
  paging += "第<select name='CurrentPage' size='1' onchange=PageCurrent()>";
  // One option per page (5,000 at 100,000 orders): appended in place, no text made per option.
  paging.reserve(paging.size() + static_cast<std::size_t>(pageCount) * 40 + 256);
  for (long p = 1; p <= pageCount; ++p) {
    char digits[24];
    const std::string_view v(digits, static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, p).ptr - digits));
    paging.append("<option value='").append(v).append(p == page ? "' selected>" : "'>").append(v).append("</option>");
  }
  paging += "</select>页/共" + std::to_string(pageCount) + "页共" + std::to_string(recordCount) + "条记录</font><p>";
  out.Write(paging);
  out.Write("</form>");

  list.Close();
  rs().reset();
  conn()->Close();
}

long ddgl::Strlength(std::string_view str) {
  long width = 0;
  for (std::size_t pos = 0; pos < str.size();) width += frame::gbWidth(frame::nextChar(str, pos));
  return width;
}

std::string ddgl::Strleft(std::string_view str, long l) {
  long width = 0;
  std::size_t pos = 0;
  while (pos < str.size()) {
    width += frame::gbWidth(frame::nextChar(str, pos));
    if (width >= l) break;
  }
  return std::string(str.substr(0, pos));
}

std::string ddgl::Checkstr(const data::Value& str, long length) {
  if (str.isNull()) return "";
  const std::string original = str.text();
  std::string result = frame::trim(frame::replaceAll(original, "'", "''"));
  if (original.find("%27") != std::string::npos) result = frame::trim(frame::replaceAll(result, "%27", "''"));
  if (length > 0 && Strlength(result) > length) result = Strleft(result, length);
  return result;
}

void ddgl3::main() {
  openAdminDb();
  checkAdmin();

  const auto id = orderId(Request()("id"));
  if (!id) frame::alertBack("订单编号不正确！");
  const std::string idText = std::to_string(*id);
  // Any method but GET is a request to delete and must pass the same-site check.
  const bool confirmOnly = frame::iequals(Http().method(), "GET");
  if (!confirmOnly) frame::requirePostFromSite();

  data::Recordset& order = newRs();
  order.Open(data::Sql("select * from tdgl where id=?", {*id}), *conn(), data::adOpenKeyset, data::adLockReadOnly);
  if (order.Eof()) frame::alertBack("没有找到这个订单，它可能已被删除！");

  if (confirmOnly) {
    Response().Write(frame::confirmDeletePage(
        "删除订单",
        "确定要删除联系人 <b>" + frame::htmlEncode(order("yhm").text()) + "</b> 于 " +
            frame::htmlEncode(order("fromdate").text()) + " 提交的订单吗？删除后不能恢复。",
        "ddgl3.asp?id=" + idText, "javascript:history.go(-1)"));
    order.Close();
    rs().reset();
    return;
  }

  order.Close();
  rs().reset();
  conn()->Execute(data::Sql("delete from tdgl where id=?", {*id}));
  Response().Write("<script language=javascript>alert('订单已删除！');window.location.href='ddgl.asp';</script>");
}

namespace {

const frame::PageRegistration pages([](frame::Registry& registry) {
  registry.add("mabex.ddgl", [] { return std::make_unique<ddgl>(); },
               {frame::op("main1", &ddgl::main1), frame::op("Strleft"), frame::op("Strlength"), frame::op("Checkstr")});
  registry.addMain<ddgl3>("tovi.ddgl3");
});

}  // namespace
}  // namespace tovi::orders
