// The order list ddgl.asp: its filters, the checks on their values, its text operations. (Twenty a page, the filter
// kept: the browser's back-office walk; the page asked for and the links: the frame's paging tables.)
#include "orders/ddgl.h"

#include <sstream>

#include "support/site_rows.h"
#include "support/testing.h"

// The range fields of the filter from "y/m/d/h/min" texts; an empty text leaves its end out.
static Fields range(const std::string& from, const std::string& to, Fields more = {}) {
  const char* names[] = {"years", "months", "days", "hours", "minutes"};
  for (auto [text, suffix] : {std::pair{from, ""}, std::pair{to, "1"}}) {
    std::istringstream parts(text);
    int i = 0;
    for (std::string part; std::getline(parts, part, '/');) more.emplace_back(names[i++] + std::string(suffix), part);
  }
  return more;
}

// What each filter selects and shows back; refused values get an alert, or no order for text that would change SQL.
TEST(OrderList, FiltersSelectTheirOrdersAndRefuseOtherValues) {
  FakeSite site;
  auto add = [&](const char* yhm, int dczt, data::DateTime at) { return addOrder(site, {yhm, at, dczt}); };
  const long long old = add("王五", 1, {2009, 1, 1, 0, 0, 0}), s1 = add("李四", 1, {2010, 5, 17, 9, 0, 0}),
                  s2 = add("李四", 2, {2010, 5, 17, 9, 30, 0}), s3 = add("李四", 3, {2010, 5, 17, 10, 0, 0}),
                  s4 = add("李四", 4, {2010, 5, 18, 9, 30, 0});
  add("张三", 0, {2011, 1, 1, 0, 0, 0});
  const long long odd = add("张三", 7, {2011, 1, 1, 0, 0, 0}),
                  longName = add("一二三四五六七八九十一二三四五六七八九十", 1, {2011, 1, 2, 0, 0, 0}),
                  tag = add("<b>x'", 1, {2011, 1, 3, 0, 0, 0}), quote = add("O'Brien", 1, {2011, 1, 4, 0, 0, 0});
  const std::vector<long long> known = {old, s1, s2, s3, s4, longName, tag, quote};
  struct Case { std::string name; Fields query; std::vector<long long> ids;
                std::vector<std::string> has = {}, hasNot = {}; bool refused = false; };
  std::vector<Case> cases = {
      // The lists at the server's clock; its year offered even after the years the lists started with.
      {"the four known statuses, oldest first", {}, known,
       {"2024-3-9 10:00:00", "<option value='2024' selected>2024</option></select>", "<option value='9' selected>"},
       {"type='hidden' name='years'"}},
      {"ascending", {{"ob", "asc "}}, known}, {"quote in a name", {{"find", "O'B"}}, {quote}},
      {"descending", {{"ob", "desc "}}, {quote, tag, longName, s4, s3, s2, s1, old},
       {"<option value='desc ' selected>"}},
      {"cooking, by name, newest first", {{"lb", "2"}, {"find", "李"}, {"ob", "desc "}}, {s2},
       {"<td>制作当中</td>", "<option value='2' selected>"}},
      {"another code: that code shown as waiting", {{"lb", "7"}}, {odd}, {"<td>等待中</td>"}},
      {"delivering: the row's values", {{"lb", "3"}}, {s3},
       {"<td>李四</td><td>2010年5月17日10点0分</td><td>2010年5月17日12点30分</td><td>派送当中</td>"}},
      {"range: strictly between its ends, carried into the paging form", range("2010/5/17/9/0", "2010/5/17/10/0"),
       {s2}, {"<option value='9' selected>", "<input type='hidden' name='hours1' value='10'>"}},
      {"wide range", range("2010/5/17/0/0", "2010/5/19/0/0"), {s1, s2, s3, s4}},
      {"an end alone is no range", range("", "2010/5/17/9/10"), known},
      {"a name fragment wins over a range", range("2010/5/17/0/0", "2010/5/19/0/0", {{"find", "王"}}), {old}},
      {"name cut to twenty characters", {{"find", "一二三四五六七八九十一二三四五六七八九十多余"}}, {longName},
       {"value='一二三四五六七八九十一二三四五六七八九十'>"}},
      {"name shown escaped", {{"find", "<b>x'"}}, {tag},
       {"value='&lt;b&gt;x&#39;'>", "<td>&lt;b&gt;x&#39;</td>", "name='find' value='&lt;b&gt;x&#39;'>"}}};
  // Refused: the page ends with its answer, no order listed. (Real date-times: the DateTime table in tests/data.)
  for (const auto& [answer, queries] : std::vector<std::pair<std::string, std::vector<Fields>>>{
           {"有效的日期时间", {range("2010/2/31/0/0", "2010/3/1/0/0"), range("2010/4/1/0/0#) or 1=1 --", "2010/4/2/0/0")}},
           {"同时选择开始时间和结束时间", {range("2010/4/1/0/0", "")}}, {"不能小于", {range("2010/4/2/0/0", "2010/4/1/23/59")}},
           {"排序方式", {{{"ob", "desc, id"}}, {{"ob", "de sc"}}}}, {"执行状态", {{{"lb", "x"}}, {{"lb", "99999999999"}}}},
           {"暂无用户", {{{"find", "' or '1'='1"}}, {{"find", "%' or 1=1 --"}}, {{"lb", "5"}}}}})
    for (const Fields& query : queries) cases.push_back({"refused", query, {}, {answer}, {}, true});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + " " + ::testing::PrintToString(c.query));
    PageResult page = runAs(site, "mabex.ddgl", c.query);
    EXPECT_EQ(listedIds(page.body), c.ids);
    EXPECT_EQ(page.ended, c.refused);
    expectTexts(page.body, c.has, c.hasNot);
  }
}

// Per text and length: its width, Strleft and Checkstr, joined by "|".
TEST(OrderListText, WidthsCutsAndQuoting) {
  using orders::ddgl;
  for (auto [text, length, out] : {std::tuple{"中文ab", 3, "6|中文|中文"}, {"中文ab", 0, "6|中|中文ab"}, {"中文ab", 5, "6|中文a|中文a"},
                                   {"中文ab", 6, "6|中文ab|中文ab"}, {"abc", 10, "3|abc|abc"}, {"", 3, "0||"},
                                   {"it's", 0, "4|i|it''s"}, {"  a'b  ", 0, "7| |a''b"}, {"x%27y", 0, "5|x|x''y"},
                                   {"a'b%27", 3, "6|a'b|a''"}})
    EXPECT_EQ(std::to_string(ddgl::Strlength(text)) + "|" + ddgl::Strleft(text, length) + "|" +
                  ddgl::Checkstr(data::Value(text), length), out) << text << " / " << length;
  EXPECT_EQ(ddgl::Checkstr(data::Value::null(), 5), "");
}
