// The order list ddgl.asp: paging, the filters and what they select, the
// checks on the filter values, and the text operations of the component.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "orders/ddgl.h"
#include "support/site_rows.h"

using namespace tovi;
using namespace tovi::testing;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

PageResult list(FakeSite& site, Fields query) { return runAs(site, "mabex.ddgl", std::move(query)); }

// The range fields of the filter from "y/m/d/h/min" texts; an empty text leaves its end out.
Fields range(const std::string& from, const std::string& to) {
  Fields q;
  for (auto [text, suffix] : {std::pair{from, ""}, std::pair{to, "1"}}) {
    if (text.empty()) continue;
    std::size_t at = 0;
    for (const char* name : {"years", "months", "days", "hours", "minutes"}) {
      std::size_t slash = text.find('/', at);
      q.emplace_back(name + std::string(suffix), text.substr(at, slash - at));
      at = slash == std::string::npos ? text.size() : slash + 1;
    }
  }
  return q;
}

TEST(OrderList, PagingCorrectsThePageNumberAndLinksOnlyOtherPages) {
  FakeSite site;
  std::vector<long long> ids;
  for (int i = 0; i < 41; ++i)
    ids.push_back(addOrder(site, Order{.yhm = i < 3 ? "李四" : "张三",
                                       .fromdate = data::DateTime{2010, 5, 17, 8, 0, 0}.addSeconds(60L * i)}));
  struct Case {
    Fields query;
    std::size_t rows, first;
    int page, pages;
  };
  for (const Case& c : {Case{{}, 20, 0, 1, 3}, Case{{{"CurrentPage", "0"}}, 20, 0, 1, 3},
                        Case{{{"CurrentPage", "-5"}}, 20, 0, 1, 3}, Case{{{"CurrentPage", "abc"}}, 20, 0, 1, 3},
                        Case{{{"CurrentPage", "2"}}, 20, 20, 2, 3}, Case{{{"CurrentPage", " 2 "}}, 20, 20, 2, 3},
                        Case{{{"CurrentPage", "2.4"}}, 20, 20, 2, 3}, Case{{{"CurrentPage", "3"}}, 1, 40, 3, 3},
                        Case{{{"CurrentPage", "99999999999999999999"}}, 1, 40, 3, 3},
                        Case{{{"CurrentPage", "1e3"}}, 1, 40, 3, 3}, Case{{{"find", "李"}}, 3, 0, 1, 1}}) {
    SCOPED_TRACE(c.query.empty() ? "" : c.query[0].second);
    std::string body = list(site, c.query).body;
    std::vector<long long> shown = listedIds(body);
    ASSERT_EQ(shown.size(), c.rows);
    EXPECT_EQ(shown.front(), ids[c.first]);
    const std::string n = std::to_string(c.page);
    EXPECT_THAT(body, HasSubstr("<option value='" + n + "' selected>" + n + "</option>"));
    EXPECT_THAT(body, HasSubstr("</select>页/共" + std::to_string(c.pages) + "页共" +
                                std::to_string(c.pages == 1 ? 3 : 41) + "条记录</font><p></form>"));
    EXPECT_EQ(occurrences(body, "[<a href=javascript:PageFirst()>第一页</a>] [<a href=javascript:PagePrior()>上一页</a>]"),
              c.page > 1);
    EXPECT_EQ(occurrences(body, "[<a href=javascript:PageNext()>下一页</a>] [<a href=javascript:PageLast()>最后一页</a>]"),
              c.page < c.pages);
  }
}

TEST(OrderList, StatusFilterSelectsOneStatusOrTheFourKnownOnes) {
  FakeSite site;
  long long ids[5];
  for (int s = 1; s <= 4; ++s) ids[s] = addOrder(site, Order{.yhm = "李四", .dczt = s});
  addOrder(site, Order{.dczt = 0});
  long long odd = addOrder(site, Order{.dczt = 7});
  const std::string id3 = std::to_string(ids[3]);
  EXPECT_THAT(listedIds(list(site, {}).body), ElementsAre(ids[1], ids[2], ids[3], ids[4]));
  struct Case {
    std::string lb;
    long long id;
    std::string cell;
  };
  for (const Case& c : {Case{"1", ids[1], "<td>等待中</td>"}, Case{"2", ids[2], "<td>制作当中</td>"},
                        Case{"4", ids[4], "<td>已结帐</td>"}, Case{"7", odd, "<td>等待中</td>"},  // other codes: that code
                        Case{"3", ids[3],
                             "<td>李四</td><td>2010年5月17日11点42分</td><td>2010年5月17日12点30分</td><td>派送当中</td>"
                             "<td><a href='ddgl1.asp?id=" + id3 + "'>查看订单</a></td><td><a href='ddgl3.asp?id=" +
                                 id3 + "'>删除订单</a></td>"}}) {
    SCOPED_TRACE(c.lb);
    std::string body = list(site, {{"lb", c.lb}}).body;
    EXPECT_THAT(listedIds(body), ElementsAre(c.id));
    EXPECT_THAT(body, HasSubstr(c.cell));
  }
  EXPECT_THAT(list(site, {{"lb", "2"}}).body, HasSubstr("<option value='2' selected>制作当中</option>"));
}

TEST(OrderList, RangeSelectsStrictlyBetweenItsEndsAndTheFormsCarryTheFilter) {
  FakeSite site;
  long long before = addOrder(site, Order{.fromdate = {2010, 5, 17, 9, 0, 0}});
  long long inside = addOrder(site, Order{.fromdate = {2010, 5, 17, 9, 30, 0}});
  long long atEnd = addOrder(site, Order{.fromdate = {2010, 5, 17, 10, 0, 0}});
  long long later = addOrder(site, Order{.fromdate = {2010, 5, 18, 9, 30, 0}});
  PageResult page = list(site, range("2010/5/17/9/0", "2010/5/17/10/0"));
  EXPECT_THAT(listedIds(page.body), ElementsAre(inside));
  // The lists show the range back; the paging form carries it over.
  EXPECT_THAT(page.body, HasSubstr("<select name='hours'><option value='0'>0</option>"));
  EXPECT_THAT(page.body, HasSubstr("<option value='9' selected>9</option>"));
  EXPECT_THAT(page.body, HasSubstr("<input type='hidden' name='hours1' value='10'>"));
  EXPECT_THAT(listedIds(list(site, range("2010/5/17/0/0", "2010/5/19/0/0")).body),
              ElementsAre(before, inside, atEnd, later));
  // An end without a start is no range at all; a name fragment wins over a range.
  EXPECT_EQ(listedIds(list(site, range("", "2010/5/17/9/10")).body).size(), 4u);
  long long wang = addOrder(site, Order{.yhm = "王五", .fromdate = {2009, 1, 1, 0, 0, 0}});
  Fields q = range("2010/5/17/0/0", "2010/5/19/0/0");
  q.emplace_back("find", "王");
  EXPECT_THAT(listedIds(list(site, q).body), ElementsAre(wang));

  for (int i = 0; i < 25; ++i) addOrder(site, Order{.yhm = "赵六", .dczt = 2});
  page = list(site, {{"lb", "2"}, {"find", "赵"}, {"ob", "desc "}, {"CurrentPage", "2"}});
  EXPECT_EQ(listedIds(page.body).size(), 5u);
  EXPECT_THAT(page.body, HasSubstr("<form name='MyForm' method='post' action='ddgl.asp'><input type='hidden' name='lb' "
                                   "value='2'><input type='hidden' name='find' value='赵'><input type='hidden' "
                                   "name='ob' value='desc '>"));
}

TEST(OrderList, WithoutRangeTheListsShowTheServerClock) {
  FakeSite site;
  addOrder(site, Order{});
  FakeRequest req = operatorOf();
  req.now = data::DateTime{2026, 3, 4, 21, 7, 9};
  std::string body = site.run("mabex.ddgl", req, "admin").body;
  EXPECT_THAT(body, HasSubstr("当前时间：2026-3-4 21:07:09"));
  // The current year is offered even after the years the lists started with.
  EXPECT_THAT(body, HasSubstr("<select name='years'><option value='2006'>2006</option>"));
  EXPECT_THAT(body, HasSubstr("<option value='2026' selected>2026</option></select>年"));
  EXPECT_THAT(body, HasSubstr("<option value='7' selected>7</option><option value='8'>8</option>"));
  EXPECT_THAT(body, Not(HasSubstr("type='hidden' name='years'")));
}

TEST(OrderList, FilterValuesOutsideTheirValuesAreRefusedOrMatchNothing) {
  FakeSite site;
  addOrder(site, Order{.yhm = "O'Brien"});
  const std::string invalid = "您选择的查询时间不是有效的日期时间，请重新选择！", none = "</Script>暂无用户！！";
  const std::string order = "排序方式不正确！", status = "执行状态不正确！";
  struct Case {
    Fields query;
    std::string answer;
  };
  for (const Case& c : {
           Case{range("2010/2/31/0/0", "2010/3/1/0/0"), invalid}, Case{range("2010/4/1/0/0", "2010/4/31/0/0"), invalid},
           Case{range("2010/4/1/24/0", "2010/4/2/0/0"), invalid}, Case{range("2010/4/x/0/0", "2010/4/2/0/0"), invalid},
           Case{range("2010/4/1/0/0#) or 1=1 --", "2010/4/2/0/0"), invalid},
           Case{range("2010/4/1/0/0", ""), "请同时选择开始时间和结束时间！"},
           Case{range("2010/4/2/0/0", "2010/4/1/23/59"), "开始查询的时间不能小于结束时间！"},
           Case{{{"ob", "desc, id"}}, order}, Case{{{"ob", "asc; delete from tdgl"}}, order},
           Case{{{"ob", "random()"}}, order}, Case{{{"ob", "de sc"}}, order}, Case{{{"lb", "abc"}}, status},
           Case{{{"lb", "1 or 1=1"}}, status}, Case{{{"lb", "2)"}}, status}, Case{{{"lb", "99999999999"}}, status},
           Case{{{"find", "' or '1'='1"}}, none}, Case{{{"find", "%' or 1=1 --"}}, none},
           Case{{{"find", "'; delete from tdgl; --"}}, none}, Case{{{"lb", "3"}}, none},
       }) {
    SCOPED_TRACE(c.query[0].first + "=" + c.query[0].second);
    PageResult page = list(site, c.query);
    EXPECT_TRUE(page.ended);
    EXPECT_THAT(page.body, HasSubstr(c.answer == none ? none : "<script language=javascript>" + alertOf(c.answer)));
    EXPECT_TRUE(listedIds(page.body).empty());
  }
  EXPECT_EQ(listedIds(list(site, {{"find", "O'B"}}).body).size(), 1u);
  EXPECT_EQ(orderCount(site), 1);
}

TEST(OrderList, NameFragmentIsCutToTwentyCharactersAndShownEscaped) {
  FakeSite site;
  addOrder(site, Order{.yhm = "一二三四五六七八九十一二三四五六七八九十"});
  PageResult page = list(site, {{"find", "一二三四五六七八九十一二三四五六七八九十多余"}});
  EXPECT_EQ(listedIds(page.body).size(), 1u);
  EXPECT_THAT(page.body, HasSubstr("value='一二三四五六七八九十一二三四五六七八九十'>"));
  addOrder(site, Order{.yhm = "<b>x'"});
  page = list(site, {{"find", "<b>x'"}});
  EXPECT_THAT(page.body, HasSubstr("value='&lt;b&gt;x&#39;'>"));
  EXPECT_THAT(page.body, HasSubstr("<td>&lt;b&gt;x&#39;</td>"));
  EXPECT_THAT(page.body, HasSubstr("<input type='hidden' name='find' value='&lt;b&gt;x&#39;'>"));
}

TEST(OrderList, OrderingTakesOnlyTheTwoWords) {
  FakeSite site;
  long long first = addOrder(site, Order{.fromdate = {2010, 1, 1, 8, 0, 0}});
  long long second = addOrder(site, Order{.fromdate = {2010, 1, 2, 8, 0, 0}});
  long long third = addOrder(site, Order{.fromdate = {2009, 1, 2, 8, 0, 0}});
  EXPECT_THAT(listedIds(list(site, {}).body), ElementsAre(third, first, second));
  EXPECT_THAT(listedIds(list(site, {{"ob", "asc "}}).body), ElementsAre(third, first, second));
  PageResult desc = list(site, {{"ob", "desc "}});
  EXPECT_THAT(listedIds(desc.body), ElementsAre(second, first, third));
  EXPECT_THAT(desc.body, HasSubstr("<option value='desc ' selected>倒序</option>"));
}

TEST(OrderListText, WidthsCutsAndQuoting) {
  struct Case {
    std::string str;
    long length, width;
    std::string left, checked;
  };
  for (const Case& c : {Case{"中文ab", 3, 6, "中文", "中文"}, Case{"中文ab", 0, 6, "中", "中文ab"},
                        Case{"中文ab", 5, 6, "中文a", "中文a"}, Case{"中文ab", 6, 6, "中文ab", "中文ab"},
                        Case{"abc", 10, 3, "abc", "abc"}, Case{"", 3, 0, "", ""}, Case{"it's", 0, 4, "i", "it''s"},
                        Case{"  a'b  ", 0, 7, " ", "a''b"}, Case{"x%27y", 0, 5, "x", "x''y"},
                        Case{"a'b%27", 3, 6, "a'b", "a''"}}) {
    SCOPED_TRACE(c.str + " / " + std::to_string(c.length));
    EXPECT_EQ(orders::ddgl::Strlength(c.str), c.width);
    EXPECT_EQ(orders::ddgl::Strleft(c.str, c.length), c.left);
    EXPECT_EQ(orders::ddgl::Checkstr(data::Value(c.str), c.length), c.checked);
  }
  EXPECT_EQ(orders::ddgl::Checkstr(data::Value::null(), 5), "");
}

}  // namespace
