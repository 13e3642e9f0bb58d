// The filter settings page order_pass.asp: the edges of what it shows and
// saves (the browser walk saves and reads back ordinary values), and refusals
// that store nothing.
#include "support/site_rows.h"
#include "support/testing.h"

namespace {

Fields form(std::string on, std::string minutes, std::string times, std::string filter, std::string keys) {
  return {{"radiobutton", on}, {"order_time", minutes}, {"order_times", times},
          {"order_delet", filter}, {"order_deletkey", keys}};
}

PageCase save(std::string name, Fields fields, std::vector<std::string> has = {}) {
  return {.name = name, .page = "order_pass", .query = {{"action", "save"}}, .form = fields, .has = has};
}

}  // namespace

TEST(OrderSettings, ShowsOddStoredValuesAndSavesEscapedKeywordsAndZeros) {
  FakeSite site;
  // A stored switch that is neither 0 nor 1 checks neither radio; showing writes nothing.
  setOrderFilters(site, {5, 5, 2, 1, "鼓楼|台江"});
  expectPage(site, {.name = "odd switch", .page = "order_pass",
                    .has = {R"(name="radiobutton" value="1">开 <input type="radio" name="radiobutton" value="0">关)"}});
  EXPECT_EQ(orderFilters(site), (OrderFilters{5, 5, 2, 1, "鼓楼|台江"}));
  expectPage(site, save("keywords", form("1", "10", "3", "0", "A座|B座\r\n<台江>"),
                        {R"(name="order_delet" value="0" checked="checked">关)", ">\nA座|B座\r\n&lt;台江&gt;</textarea>"}));
  EXPECT_EQ(orderFilters(site), (OrderFilters{1, 10, 3, 0, "A座|B座\r\n<台江>"}));
  expectPage(site,
             save("zeros", form("0", "0", " 0 ", "1", ""), {R"(name="radiobutton" value="0" checked="checked">关)"}));
  EXPECT_EQ(orderFilters(site), (OrderFilters{0, 0, 0, 1, ""}));
}

TEST(OrderSettings, BadValuesOrForeignRequestsStoreNothing) {
  FakeSite site;
  const OrderFilters before{1, 10, 3, 1, "鼓楼"};
  setOrderFilters(site, before);
  auto refused = [](const std::string& message) { return alertOf(message) + ";history.go(-1);"; };
  const std::string minutes = refused("限制时间必须是0或正整数！"), times = refused("限制次数必须是0或正整数！"),
                    sw = refused("请选择限时限次和送餐地址过虑的开或关！");
  for (auto [field, value, message] :
       {std::tuple{"order_time", "abc", minutes}, {"order_time", "", minutes}, {"order_time", "-1", minutes},
        {"order_times", "2.5", times}, {"order_times", "99999999999", times},
        {"order_times", "1; drop table tdgl", times}, {"radiobutton", "", sw}, {"order_delet", "2", sw}}) {
    PageCase c = save(std::string(field) + "=" + value, form("1", "10", "3", "1", "x"), {message});
    std::ranges::find(c.form, field, &Fields::value_type::first)->second = value;
    c.ended = true;
    expectPage(site, c);
  }
  // From another site, or a GET.
  for (auto [method, origin] : {std::pair{"POST", "http://evil.example"}, {"GET", "http://127.0.0.1:8080"}}) {
    FakeRequest req = operatorOf();
    req.sameSitePost().method = method;
    req.headers["Origin"] = origin;
    req.query = form("0", "99", "9", "0", "evil");
    req.query.emplace_back("action", "save");
    EXPECT_THAT(site.run("mabex.order_pass", req, "admin").body, HasSubstr("操作被拒绝")) << method;
  }
  EXPECT_EQ(orderFilters(site), before);
}
