// Storefront members through the real server: sign-up, sign-in, sign-out, what the navigation bar learns, and how a
// member's orders are found. (The bar, "my orders" and the filled-in order form: the browser's visitor walk; which
// names, phones, e-mails and dates a member may give: the member rule table in tests/accounts.)
#include <atomic>
#include <thread>

#include "support/over_http.h"

namespace {

Fields newcomer(const std::string& name) {
  return {{"names", name}, {"password", "secret1"}, {"password1", "secret1"}, {"question", "宠物名字"},
          {"answer", "阿黄"}, {"sex", "0"}, {"tel", "05918765432"}, {"address", "鼓楼区五四路1号"},
          {"email", "wang@example.com"}, {"postcode", "350001"}, {"yearss", "1990"}, {"monthss", "2"},
          {"dayss", "28"}, {"vocation", "餐饮"}, {"verifycode", "1234"}};
}

HttpResponse signUp(HttpClient& http, const Fields& fields) {
  EXPECT_EQ(http.get("/GetCode.asp").status, 200);
  return postOwn(http, "/register.asp", gbkForm(fields));
}

HttpResponse signIn(HttpClient& http, const std::string& name, const std::string& password) {
  return postOwn(http, "/signin.asp", gbkForm({{"names", name}, {"password", password}}));
}

const char kSignedUp[] = "注册成功", kWrong[] = "用户名或密码错误";
struct StorefrontMembers : StaffedSite, ::testing::Test {};
}  // namespace

TEST_F(StorefrontMembers, SignUpAndSignInRenewTheSessionAndTellOnlyWhatTheBarNeeds) {
  auto before = visitor.cookies();
  ASSERT_THAT(signUp(visitor, newcomer("王小明")).text(), HasSubstr(kSignedUp));
  EXPECT_NE(visitor.cookies()["TOVISESSION"], before["TOVISESSION"]);
  // The birth month as given, the password hashed. (Approved at once: the newcomer signs back in below.)
  EXPECT_EQ(liveValue(server, "select * from reg", "monthss"), "2");
  EXPECT_THAT(liveValue(server, "select * from reg", "password"), StartsWith("$argon2id$"));
  HttpResponse info = visitor.get("/member.asp");
  EXPECT_EQ(info.body, R"({"name":"\u738b\u5c0f\u660e","tel":"05918765432",)"
                       R"("address":"\u9f13\u697c\u533a\u4e94\u56db\u8def1\u53f7"})");
  EXPECT_THAT(info.headers["Cache-Control"], HasSubstr("no-store"));
  // "My orders" without a name typed: the sign-in's names cookie, which the sign-out drops; the member's own phone in
  // full, anyone else's view of it masked.
  liveExec(server, "insert into tdgl (yhm, dcqk, telsss) values ('王小明', '宫保鸡丁 1份', '13800138000')");
  expectTexts(visitor.get("/ckdd.asp").text(), {"宫保鸡丁 1份", "电话号码：13800138000"});
  const std::string own = "/ddzt.asp?id=" + liveValue(server, "select * from tdgl", "id");  // opens to its member
  EXPECT_EQ(visitor.get(own).status, 200);
  (void)postOwn(visitor, "/signout.asp", "");
  EXPECT_EQ(visitor.get(own).status, 403);
  EXPECT_EQ(visitor.get("/member.asp").body, "{}");
  EXPECT_THAT(visitor.get("/ckdd.asp").text(), HasSubstr("您还没订过餐"));
  EXPECT_THAT(visitor.get("/ckdd.asp?names=" + percentEncode(toGbk("王小明"))).text(), HasSubstr("电话号码：138****8000"));
  // Back in: one answer for an unknown name and a wrong password.
  std::string wrong = signIn(visitor, "王小明", "secret2").text();
  EXPECT_THAT(wrong, HasSubstr(kWrong));
  EXPECT_EQ(signIn(visitor, "nobody", "secret1").text(), wrong);
  before = visitor.cookies();
  EXPECT_THAT(signIn(visitor, "王小明", "secret1").text(), HasSubstr("登录成功"));
  EXPECT_NE(visitor.cookies()["TOVISESSION"], before["TOVISESSION"]);
}

// One name is given once, even at the same moment. Each check the page makes refuses once, a field's rule by one of
// its values.
TEST_F(StorefrontMembers, BadSignUpsAreRefusedAndStoreNothing) {
  std::vector<std::thread> threads;
  std::atomic<int> accepted{0};
  for (int i = 0; i < 6; ++i)
    threads.emplace_back([&] {
      HttpClient http(server.port());
      if (signUp(http, newcomer("张已有")).text().find(kSignedUp) != std::string::npos) ++accepted;
    });
  for (auto& t : threads) t.join();
  ASSERT_EQ(accepted.load(), 1);
  std::vector<Ask> asks = {{&visitor, "/register.asp", gbkForm(newcomer("新来客")), {"操作被拒绝"}, OtherSite}};
  for (const auto& [field, value, alert] : std::initializer_list<std::tuple<const char*, const char*, const char*>>{
           {"verifycode", "9999", "验证码错误"}, {"names", "张已有", "该用户名已被注册"}, {"names", "wang", "两个到五个汉字"},
           {"password", "abc12", "6到15个字符"}, {"password1", "secret2", "两次填写的密码不一致"},
           {"question", "", "密码提示问题"}, {"tel", "123456789", "请输入可用联系电话"}, {"address", " ", "请填写送餐地址"},
           {"email", "wang@", "邮件地址不正确"}, {"postcode", "35000", "邮编"}, {"dayss", "30", "出生日期不正确"},  // 30 February
           {"vocation", "一二三四五六七八九十一二三四五六七八九十一", "行业不能超过20个字符"}})
    asks.push_back({&visitor, "/register.asp", gbkForm(withField(newcomer("新来客"), field, value)), {alert}});
  expectRefused(asks);
  EXPECT_EQ(liveValue(server, "select * from reg"), "1");
}

// A GET signs nobody in or out; a withdrawn approval, the failure throttle, a member deleted while signed in.
TEST_F(StorefrontMembers, ThrottledWithdrawnAndDeletedMembers) {
  ASSERT_THAT(signUp(visitor, newcomer("李四")).text(), HasSubstr(kSignedUp));
  HttpClient other(server.port());
  (void)visitor.get("/signout.asp");
  (void)other.get("/signin.asp?names=" + percentEncode(toGbk("李四")) + "&password=secret1");
  EXPECT_THAT(visitor.get("/member.asp").body, HasSubstr("\"tel\""));
  EXPECT_EQ(other.get("/member.asp").body, "{}");
  // The operator withdraws the approval: told so, only with the right password.
  liveExec(server, "update reg set sh=0");
  EXPECT_THAT(signIn(other, "李四", "secret9").text(), HasSubstr(kWrong));
  EXPECT_THAT(signIn(other, "李四", "secret1").text(), HasSubstr("审核"));
  EXPECT_EQ(other.get("/member.asp").body, "{}");
  liveExec(server, "update reg set sh=1");
  // Too many failures for one name: even the right password waits.
  for (int i = 0; i < 10; ++i) {
    HttpClient guesser(server.port());
    (void)signIn(guesser, "李四", "guess" + std::to_string(i));
  }
  EXPECT_THAT(signIn(other, "李四", "secret1").text(), HasSubstr("次数过多"));
  // Deleted while signed in: signed out at the next look.
  liveExec(server, "delete from reg");
  EXPECT_EQ(visitor.get("/member.asp").body, "{}");
}
