// The order list ddgl.asp: paging, the filters and what they select, the
// checks on the filter values, and the text operations of the component.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "orders/ddgl.h"
#include "support/fake_host.h"
#include "management_fixture.h"

using namespace tovi;
using namespace tovi::testing;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

const char kNoOrders[] = "暂无用户！！";

// `n` orders of `yhm`, one minute apart from 2010-05-17 08:00, ids in that order.
std::vector<long long> addOrders(FakeSite& site, int n, const std::string& yhm = "张三", int dczt = 1) {
  std::vector<long long> ids;
  for (int i = 0; i < n; ++i) {
    Order o;
    o.yhm = yhm;
    o.dczt = dczt;
    o.fromdate = data::DateTime{2010, 5, 17, 8, 0, 0}.addSeconds(60L * i);
    ids.push_back(addOrder(site, o));
  }
  return ids;
}

PageResult list(FakeSite& site, std::vector<std::pair<std::string, std::string>> query) {
  FakeRequest req = operatorRequest();
  req.query = std::move(query);
  return site.run("mabex.ddgl", req, "admin");
}

void addRange(std::vector<std::pair<std::string, std::string>>& q, const data::DateTime& from,
              const data::DateTime& to) {
  auto parts = [&](const data::DateTime& t, const std::string& s) {
    q.emplace_back("years" + s, std::to_string(t.year));
    q.emplace_back("months" + s, std::to_string(t.month));
    q.emplace_back("days" + s, std::to_string(t.day));
    q.emplace_back("hours" + s, std::to_string(t.hour));
    q.emplace_back("minutes" + s, std::to_string(t.minute));
  };
  parts(from, "");
  parts(to, "1");
}

const std::string kBarFirstPage =
    "[第一页] [上一页] [<a href=javascript:PageNext()>下一页</a>] [<a href=javascript:PageLast()>最后一页</a>] 第";
const std::string kBarMiddlePage =
    "[<a href=javascript:PageFirst()>第一页</a>] [<a href=javascript:PagePrior()>上一页</a>] "
    "[<a href=javascript:PageNext()>下一页</a>] [<a href=javascript:PageLast()>最后一页</a>] 第";
const std::string kBarLastPage =
    "[<a href=javascript:PageFirst()>第一页</a>] [<a href=javascript:PagePrior()>上一页</a>] [下一页] [最后一页] 第";

TEST(OrderList, FortyOneOrdersMakeThreePages) {
  FakeSite site;
  std::vector<long long> ids = addOrders(site, 41);

  struct PageCase {
    std::string wanted;
    std::size_t rows;
    std::size_t firstIndex;
    std::string bar;
    std::string selected;
  };
  for (const PageCase& c : {PageCase{"1", 20, 0, kBarFirstPage, "1"}, PageCase{"2", 20, 20, kBarMiddlePage, "2"},
                            PageCase{"3", 1, 40, kBarLastPage, "3"}}) {
    SCOPED_TRACE("page " + c.wanted);
    PageResult page = list(site, {{"CurrentPage", c.wanted}});
    std::vector<long long> shown = listedIds(page.body);
    ASSERT_EQ(shown.size(), c.rows);
    EXPECT_EQ(shown.front(), ids[c.firstIndex]);
    EXPECT_THAT(page.body, HasSubstr("<p align=center><font size=2 color='#000000' >" + c.bar));
    EXPECT_THAT(page.body, HasSubstr("<option value='" + c.selected + "' selected>" + c.selected + "</option>"));
    EXPECT_THAT(page.body, HasSubstr("</select>页/共3页共41条记录</font><p></form>"));
  }
}

TEST(OrderList, OnePageHasNoLinksInTheBar) {
  FakeSite site;
  addOrders(site, 3);
  PageResult page = list(site, {});
  EXPECT_EQ(listedIds(page.body).size(), 3u);
  EXPECT_THAT(page.body, HasSubstr("[第一页] [上一页] [下一页] [最后一页] 第<select name='CurrentPage' size='1' "
                                   "onchange=PageCurrent()><option value='1' selected>1</option></select>页/共1页共3条记录"));
}

TEST(OrderList, PageNumberIsCorrectedNeverRefused) {
  FakeSite site;
  std::vector<long long> ids = addOrders(site, 41);
  struct Case {
    std::string wanted;
    long long firstId;
  };
  for (const Case& c : {Case{"", ids[0]}, Case{"0", ids[0]}, Case{"-5", ids[0]}, Case{"abc", ids[0]},
                        Case{"2", ids[20]}, Case{" 2 ", ids[20]}, Case{"2.4", ids[20]}, Case{"99", ids[40]},
                        Case{"99999999999999999999", ids[40]}, Case{"1e3", ids[40]}}) {
    SCOPED_TRACE("CurrentPage=" + c.wanted);
    PageResult page = list(site, {{"CurrentPage", c.wanted}});
    std::vector<long long> shown = listedIds(page.body);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), c.firstId);
  }
}

TEST(OrderList, RowShowsTheOrderTimesStatusAndLinks) {
  FakeSite site;
  Order o;
  o.yhm = "李四";
  o.fromdate = {2010, 5, 17, 11, 42, 0};
  o.hours = "12";
  o.minutes = "30";
  o.dczt = 3;
  long long id = addOrder(site, o);
  PageResult page = list(site, {});
  std::string idText = std::to_string(id);
  EXPECT_THAT(page.body, HasSubstr("<td>李四</td><td>2010年5月17日11点42分</td><td>2010年5月17日12点30分</td><td>派送当中</td>"
                                   "<td><a href='ddgl1.asp?id=" + idText + "'>查看订单</a></td><td><a href='ddgl3.asp?id=" +
                                   idText + "'>删除订单</a></td>"));
  EXPECT_THAT(page.body, HasSubstr("订单用户管理"));
}

TEST(OrderList, StatusFilterSelectsOneStatusOrTheFourKnownOnes) {
  FakeSite site;
  long long waiting = addOrder(site, Order{.dczt = 1});
  long long cooking = addOrder(site, Order{.dczt = 2});
  long long settled = addOrder(site, Order{.dczt = 4});
  addOrder(site, Order{.dczt = 0});
  long long odd = addOrder(site, Order{.dczt = 7});

  EXPECT_THAT(listedIds(list(site, {}).body), ElementsAre(waiting, cooking, settled));
  PageResult two = list(site, {{"lb", "2"}});
  EXPECT_THAT(listedIds(two.body), ElementsAre(cooking));
  EXPECT_THAT(two.body, HasSubstr("<option value='2' selected>制作当中</option>"));
  EXPECT_THAT(two.body, HasSubstr("<td>制作当中</td>"));
  EXPECT_THAT(listedIds(list(site, {{"lb", "4"}}).body), ElementsAre(settled));
  // Any other code selects exactly that code; its rows read "等待中".
  PageResult seven = list(site, {{"lb", "7"}});
  EXPECT_THAT(listedIds(seven.body), ElementsAre(odd));
  EXPECT_THAT(seven.body, HasSubstr("<td>等待中</td>"));
  EXPECT_THAT(list(site, {{"lb", "3"}}).body, HasSubstr(kNoOrders));
}

TEST(OrderList, RangeSelectsStrictlyBetweenItsEnds) {
  FakeSite site;
  long long before = addOrder(site, Order{.fromdate = {2010, 5, 17, 9, 0, 0}});
  long long inside = addOrder(site, Order{.fromdate = {2010, 5, 17, 9, 30, 0}});
  long long atEnd = addOrder(site, Order{.fromdate = {2010, 5, 17, 10, 0, 0}});
  long long later = addOrder(site, Order{.fromdate = {2010, 5, 18, 9, 30, 0}});

  std::vector<std::pair<std::string, std::string>> q;
  addRange(q, {2010, 5, 17, 9, 0, 0}, {2010, 5, 17, 10, 0, 0});
  PageResult page = list(site, q);
  EXPECT_THAT(listedIds(page.body), ElementsAre(inside));
  // The lists show the range back; the paging form carries it over.
  EXPECT_THAT(page.body, HasSubstr("<select name='hours'><option value='0'>0</option>"));
  EXPECT_THAT(page.body, HasSubstr("<option value='9' selected>9</option>"));
  EXPECT_THAT(page.body, HasSubstr("<select name='hours1'>"));
  EXPECT_THAT(page.body, HasSubstr("<input type='hidden' name='hours1' value='10'>"));

  q.clear();
  addRange(q, {2010, 5, 17, 0, 0, 0}, {2010, 5, 19, 0, 0, 0});
  EXPECT_THAT(listedIds(list(site, q).body), ElementsAre(before, inside, atEnd, later));

  // A name fragment wins over the range.
  addOrder(site, Order{.yhm = "王五", .fromdate = {2009, 1, 1, 0, 0, 0}});
  q.emplace_back("find", "王");
  EXPECT_EQ(listedIds(list(site, q).body).size(), 1u);
}

TEST(OrderList, WithoutRangeTheListsShowTheServerClock) {
  FakeSite site;
  addOrder(site, Order{});
  FakeRequest req = operatorRequest();
  req.now = data::DateTime{2026, 3, 4, 21, 7, 9};
  PageResult page = site.run("mabex.ddgl", req, "admin");
  EXPECT_THAT(page.body, HasSubstr("当前时间：2026-3-4 21:07:09"));
  // The current year is offered even after the years the lists started with.
  EXPECT_THAT(page.body, HasSubstr("<select name='years'><option value='2006'>2006</option>"));
  EXPECT_THAT(page.body, HasSubstr("<option value='2026' selected>2026</option></select>年"));
  EXPECT_THAT(page.body, HasSubstr("<option value='7' selected>7</option><option value='8'>8</option>"));
  EXPECT_THAT(page.body, Not(HasSubstr("type='hidden' name='years'")));
}

TEST(OrderList, RangesThatAreNoDateTimeAreRefused) {
  FakeSite site;
  addOrder(site, Order{});
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> query;
    std::string message;
  };
  auto full = [](std::string start, std::string end) {
    std::vector<std::pair<std::string, std::string>> q;
    auto put = [&](const std::string& text, const std::string& s) {
      std::vector<std::string> parts;
      std::size_t from = 0, at;
      while ((at = text.find('/', from)) != std::string::npos) parts.push_back(text.substr(from, at - from)), from = at + 1;
      parts.push_back(text.substr(from));
      const char* names[] = {"years", "months", "days", "hours", "minutes"};
      for (int i = 0; i < 5; ++i) q.emplace_back(names[i] + s, parts[i]);
    };
    put(start, "");
    if (!end.empty()) put(end, "1");
    return q;
  };
  const std::string invalid = "您选择的查询时间不是有效的日期时间，请重新选择！";
  for (const Case& c : {
           Case{"31February", full("2010/2/31/0/0", "2010/3/1/0/0"), invalid},
           Case{"EndOn31April", full("2010/4/1/0/0", "2010/4/31/0/0"), invalid},
           Case{"Hour24", full("2010/4/1/24/0", "2010/4/2/0/0"), invalid},
           Case{"Letters", full("2010/4/x/0/0", "2010/4/2/0/0"), invalid},
           Case{"Hostile", full("2010/4/1/0/0#) or 1=1 --", "2010/4/2/0/0"), invalid},
           Case{"StartWithoutEnd", full("2010/4/1/0/0", ""), "请同时选择开始时间和结束时间！"},
           Case{"EndBeforeStart", full("2010/4/2/0/0", "2010/4/1/23/59"), "开始查询的时间不能小于结束时间！"},
       }) {
    SCOPED_TRACE(c.name);
    PageResult page = list(site, c.query);
    EXPECT_TRUE(page.ended);
    EXPECT_THAT(page.body, HasSubstr("<script language=javascript>" + alertOf(c.message) +
                                     ";javascript:history.go(-1);</script>"));
    EXPECT_THAT(page.body, Not(HasSubstr("ddgl1.asp")));
  }
  // An end without a start is no range at all.
  auto endOnly = full("/////", "2010/4/2/0/0");
  endOnly.erase(endOnly.begin(), endOnly.begin() + 5);
  EXPECT_EQ(listedIds(list(site, endOnly).body).size(), 1u);
}

TEST(OrderList, NameFragmentIsOnlyAValue) {
  FakeSite site;
  long long zhang = addOrder(site, Order{.yhm = "张三丰"});
  long long quoted = addOrder(site, Order{.yhm = "O'Brien"});
  addOrder(site, Order{.yhm = "李四"});

  EXPECT_THAT(listedIds(list(site, {{"find", "三"}}).body), ElementsAre(zhang));
  EXPECT_THAT(listedIds(list(site, {{"find", "O'B"}}).body), ElementsAre(quoted));
  for (const char* hostile : {"' or '1'='1", "%' or 1=1 --", "'; delete from tdgl; --"}) {
    SCOPED_TRACE(hostile);
    PageResult page = list(site, {{"find", hostile}});
    EXPECT_TRUE(page.ended);
    EXPECT_EQ(page.body.substr(page.body.size() - std::string(kNoOrders).size()), kNoOrders);
  }
  EXPECT_EQ(orderCount(site), 3);
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
  EXPECT_THAT(desc.body, HasSubstr("<input type='hidden' name='ob' value='desc '>"));
}

TEST(OrderList, OrderingOrStatusFilterOutsideTheirValuesIsRefused) {
  FakeSite site;
  addOrder(site, Order{});
  struct Case {
    const char* key;
    const char* value;
    const char* message;
  };
  for (const Case& c : {Case{"ob", "desc, id", "排序方式不正确！"}, Case{"ob", "asc; delete from tdgl", "排序方式不正确！"},
                        Case{"ob", "random()", "排序方式不正确！"}, Case{"ob", "de sc", "排序方式不正确！"},
                        Case{"lb", "abc", "执行状态不正确！"}, Case{"lb", "1 or 1=1", "执行状态不正确！"},
                        Case{"lb", "2)", "执行状态不正确！"}, Case{"lb", "99999999999", "执行状态不正确！"}}) {
    SCOPED_TRACE(std::string(c.key) + "=" + c.value);
    PageResult page = list(site, {{c.key, c.value}});
    EXPECT_THAT(page.body, HasSubstr(alertOf(c.message)));
    EXPECT_TRUE(listedIds(page.body).empty());
  }
  EXPECT_EQ(orderCount(site), 1);
}

TEST(OrderList, NoMatchingOrderEndsWithTheNotice) {
  FakeSite site;
  PageResult page = list(site, {});
  EXPECT_TRUE(page.ended);
  EXPECT_THAT(page.body, HasSubstr("</Script>暂无用户！！"));
  EXPECT_THAT(page.body, Not(HasSubstr("<form method='get'")));
}

TEST(OrderList, GuardStopsVisitorsBeforeAnyOrderIsRead) {
  FakeSite site;
  addOrder(site, Order{.yhm = "秘密客户"});
  FakeRequest anonymous;
  PageResult page = site.run("mabex.ddgl", anonymous, "admin");
  EXPECT_TRUE(page.ended);
  EXPECT_THAT(page.body, HasSubstr("网络超时或者您还没有登录请登录"));
  EXPECT_THAT(page.body, Not(HasSubstr("秘密客户")));

  FakeRequest noRight = operatorRequest(3);
  EXPECT_THAT(site.run("mabex.ddgl", noRight, "admin").body, Not(HasSubstr("秘密客户")));
}

TEST(OrderList, PagingFormCarriesTheFilter) {
  FakeSite site;
  addOrders(site, 25, "赵六", 2);
  PageResult page = list(site, {{"lb", "2"}, {"find", "赵"}, {"ob", "desc "}, {"CurrentPage", "2"}});
  EXPECT_EQ(listedIds(page.body).size(), 5u);
  EXPECT_THAT(page.body, HasSubstr("<form name='MyForm' method='post' action='ddgl.asp'>"
                                   "<input type='hidden' name='lb' value='2'>"
                                   "<input type='hidden' name='find' value='赵'>"
                                   "<input type='hidden' name='ob' value='desc '>"));
  EXPECT_THAT(page.body, HasSubstr("PageCurrent(){document.MyForm.action='?c'+(document.MyForm.CurrentPage.selectedIndex+1)"));
}

struct TextCase {
  std::string str;
  long length;
  long width;
  std::string left;
  std::string checked;
};

TEST(OrderListText, WidthsCutsAndQuoting) {
  for (const TextCase& c : {
           TextCase{"中文ab", 3, 6, "中文", "中文"},
           TextCase{"中文ab", 0, 6, "中", "中文ab"},
           TextCase{"中文ab", 5, 6, "中文a", "中文a"},
           TextCase{"中文ab", 6, 6, "中文ab", "中文ab"},
           TextCase{"abc", 10, 3, "abc", "abc"},
           TextCase{"", 3, 0, "", ""},
           TextCase{"it's", 0, 4, "i", "it''s"},
           TextCase{"  a'b  ", 0, 7, " ", "a''b"},
           TextCase{"x%27y", 0, 5, "x", "x''y"},
           TextCase{"a'b%27", 3, 6, "a'b", "a''"},
       }) {
    SCOPED_TRACE(c.str + " / " + std::to_string(c.length));
    EXPECT_EQ(orders::ddgl::Strlength(c.str), c.width);
    EXPECT_EQ(orders::ddgl::Strleft(c.str, c.length), c.left);
    EXPECT_EQ(orders::ddgl::Checkstr(data::Value(c.str), c.length), c.checked);
  }
  EXPECT_EQ(orders::ddgl::Checkstr(data::Value::null(), 5), "");
}

}  // namespace
