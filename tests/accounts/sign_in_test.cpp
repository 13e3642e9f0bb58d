// The account and member rules, passwords, the failure throttle, the login check, the code image and one-time codes.
#include <set>
#include <thread>

#include "accounts/code_image.h"
#include "accounts/one_time_codes.h"
#include "accounts/passwords.h"
#include "accounts/rules.h"
#include "accounts/throttle.h"
#include "support/shared_database.h"
#include "support/site_rows.h"
#include "support/testing.h"

using namespace tovi::accounts;

template <bool (*valid)(std::string_view)>
std::string refusal(std::string_view value) { return valid(value) ? "" : "refused"; }

TEST(Rules, EachFieldWithAWordOfItsRefusal) {
  const std::string x16(16, 'x'), han16 = "一二三四五六七八九十一二三四五六", no = "refused";
  const std::pair<std::string (*)(std::string_view), std::vector<std::pair<std::string, std::string>>> rules[] = {
      {accountPasswordProblem, {{"abcdef", ""}, {"p@ss-w0rd~!", ""}, {x16, ""}, {"abcde", "长度"}, {x16 + "x", "长度"},
                                {"with blank", "空格"}, {"密码密码", "空格"}, {"abc\x7f" "def", "空格"}}},
      {accountNameProblem, {{"admin", ""}, {"  padded  ", ""}, {han16, ""}, {"", "请填写"}, {"   ", "请填写"},
                            {x16 + "x", "16"}, {han16 + "七", "16"}, {"a'b", "引号"}, {"a\"b", "引号"}, {"a<b", "引号"},
                            {"a>b", "引号"}, {"a&b", "引号"}, {"a\nb", "引号"}, {"\tadmin", "引号"}}},
      {memberNameProblem, {{"王五", ""}, {"五个汉字呀", ""}, {"㐀王", ""}, {"", "请填写"}, {"王", "汉字"},
                           {"张三李四王五", "汉字"}, {"wang", "汉字"}, {"王<b>", "汉字"}, {"王 五", "汉字"}}},
      {refusal<validMemberPassword>, {{"abcde", ""}, {" new.pass_1 ", ""}, {"A-Z_z.9", ""}, {x16.substr(1), ""},
                                      {"abcd", no}, {x16, no}, {"secret 1", no}, {"abc!de", no}, {"密码12345", no}}},
      {refusal<validMemberEmail>, {{"lisi@example.com", ""}, {"a.b_c@mail.example.org", ""}, {"a-b@x.cn", ""},
                                   {std::string(44, 'a') + "@b.com", ""}, {std::string(45, 'a') + "@b.com", no},
                                   {"wang@", no}, {"@example.com", no}, {"wang@example.info", no},
                                   {"wang.x-y@example.com", no}, {"a@b", no}, {"a@b.c", no}, {"a@.com", no},
                                   {"a@@b.com", no}, {"a b@c.com", no}}},
      {refusal<validMemberTel>, {{"1234567", ""}, {"87654321", ""}, {"05918765432", ""}, {"", no}, {"123456", no},
                                 {"123456789", no}, {"0591-876543", no}}},
      {refusal<validPostcode>, {{"", ""}, {"350001", ""}, {"35000", no}, {"3500012", no}, {"35000a", no}}},
  };
  for (const auto& [rule, values] : rules)
    for (const auto& [value, word] : values)
      EXPECT_THAT(rule(value), word.empty() ? ::testing::Matcher<std::string>(IsEmpty()) : HasSubstr(word)) << value;
  for (int i = 0; i < 20; ++i)  // random passwords: twelve characters fit for the rule, no look-alikes among them
    EXPECT_THAT(randomPassword(), ::testing::AllOf(::testing::MatchesRegex("[^0O1lI]{12}"),
                                                   ::testing::ResultOf(accountPasswordProblem, IsEmpty())));
}

TEST(Rules, MemberBirthDateIsNoneOrARealDateFrom1900ToThisYear) {
  const std::pair<std::vector<std::string_view>, std::string> cases[] = {
      {{"", "", ""}, "0-0-0"}, {{"1990", "2", "28"}, "1990-2-28"}, {{"2000", "02", "29"}, "2000-2-29"},
      {{"1900", "1", "1"}, "1900-1-1"}, {{"2024", "12", "31"}, "2024-12-31"}, {{"1990", "2", "30"}, "-"},
      {{"1900", "2", "29"}, "-"}, {{"1899", "12", "31"}, "-"}, {{"2025", "1", "1"}, "-"}, {{"1990", "", ""}, "-"},
      {{"", "1", "1"}, "-"}, {{"1990", "13", "1"}, "-"}, {{"1990", "1", "0"}, "-"}, {{"01990", "1", "1"}, "-"},
      {{"+1990", "1", "1"}, "-"}, {{"1990", "1", "1.0"}, "-"}};
  for (const auto& [typed, date] : cases) {
    std::optional<BirthDate> b = memberBirthDate(typed[0], typed[1], typed[2], 2024);
    EXPECT_EQ(b ? std::to_string(b->year) + "-" + std::to_string(b->month) + "-" + std::to_string(b->day) : "-", date)
        << typed[0] << "/" << typed[1] << "/" << typed[2];
  }
}

TEST(Passwords, HashesVerifyAndLegacyDigestsAskForRehash) {
  const std::string h = hashPassword("s3cret-pass"), md5 = "e10adc3949ba59abbe56e057f20f883e";  // md5 of 123456
  EXPECT_THAT(h, StartsWith("$argon2id$"));
  EXPECT_NE(h, hashPassword("s3cret-pass"));  // salted
  EXPECT_EQ(md5Hex("123456"), md5);
  using enum PasswordMatch;
  const std::tuple<std::string, const char*, PasswordMatch> cases[] = {
      {h, "s3cret-pass", Yes}, {h, "s3cret-pasS", No}, {h, "", No}, {md5, "123456", YesRehash}, {md5, "1234567", No},
      {"E10ADC3949BA59ABBE56E057F20F883E", "123456", YesRehash}, {md5.substr(1), "123456", No}, {"", "123456", No},
      {"123456", "123456", No}, {"$argon2id$garbage", "123456", No}};
  for (const auto& [stored, typed, match] : cases)
    EXPECT_EQ(verifyPassword(stored, typed), match) << stored << " " << typed;
}

// Two servers' throttles: one in this process (a single server is both), or two on one database (GetParam()).
class Throttles : public SharedDatabase {
 protected:
  std::array<std::shared_ptr<LoginThrottle>, 2> nodes(LoginThrottle::Limits limits) {
    auto one = makeLoginThrottle(GetParam() ? location() : "", "test", limits);
    return {one, GetParam() ? makeLoginThrottle(location(), "test", limits) : one};
  }
};
INSTANTIATE_TEST_SUITE_P(InProcessAndDatabase, Throttles, ::testing::Bool());

TEST_P(Throttles, LockAnAddressOrANameForAWhileCountingOnBothServers) {
  auto [a, b] = nodes({.perAddress = 3, .perName = 5, .window = 100, .lockout = 50});
  // Address: three failures within the window, on either server, lock it, for every name, until the lockout ends.
  for (auto [name, at, node] : {std::tuple{"a", 0, a}, {"b", 10, b}, {"c", 20, a}}) {
    EXPECT_FALSE(node->refused("10.0.0.1", "c", at));
    node->failed("10.0.0.1", name, at);
  }
  for (auto [address, at, refused] :
       {std::tuple{"10.0.0.1", 21, true}, {"10.0.0.2", 21, false}, {"10.0.0.1", 69, true}, {"10.0.0.1", 70, false}})
    EXPECT_EQ(b->refused(address, "zzz", at), refused) << address << " at " << at;
  // Name: five failures from many addresses lock it, whatever its letter case.
  for (int i = 0; i < 5; ++i) (i % 2 ? a : b)->failed("192.168.0." + std::to_string(i), "Admin", 200 + i);
  EXPECT_TRUE(a->refused("172.16.0.9", "admin ", 205));
  EXPECT_FALSE(b->refused("172.16.0.9", "other", 205));
  // Failures spread wider than the window never lock; a login forgets the counts.
  for (int at : {1000, 1060, 1120}) (at % 120 ? a : b)->failed("10.0.0.9", "x", at);
  EXPECT_FALSE(b->refused("10.0.0.9", "x", 1121));
  for (int at : {2000, 2001}) a->failed("10.0.0.9", "x", at);
  b->succeeded("10.0.0.9", "x");
  a->failed("10.0.0.9", "x", 2002);
  EXPECT_FALSE(b->refused("10.0.0.9", "x", 2003));
  // Two servers counting at once lose nothing: twenty failures from two threads reach a limit of twenty.
  auto both = nodes({.perAddress = 20});
  {
    std::jthread first([&] { for (int i = 0; i < 10; ++i) both[0]->failed("10.9.9.9", "", 3000); });
    for (int i = 0; i < 10; ++i) both[1]->failed("10.9.9.9", "", 3000);
  }
  EXPECT_TRUE(both[0]->refused("10.9.9.9", "", 3001));
}

// About `maxEntries` keys per table: in memory under four threads; in the database, once swept (once a minute).
TEST(Throttle, StaysBounded) {
  InProcessLoginThrottle bounded(LoginThrottle::Limits{.maxEntries = 64});
  std::vector<std::jthread> threads;
  for (int k = 0; k < 4000; k += 1000)
    threads.emplace_back([&bounded, k] {
      for (int i = k; i < k + 1000; ++i) bounded.failed("a" + std::to_string(i), std::to_string(i), i);
    });
  threads.clear();  // joins them
  EXPECT_LE(bounded.size(), 128u);
  FakeSite site;
  DatabaseLoginThrottle stored(site.databasePath(), "test", {.window = 100, .lockout = 100, .maxEntries = 8});
  for (int i = 0; i < 300; ++i) stored.failed("a" + std::to_string(i), "", 1000 + i);
  EXPECT_LE(rowCount(site, "tovi_throttle"), 16 + 60);
}

// A login post as the login form sends it, from `address` at `second` past ten, with the code the session holds.
static FakeRequest login(const std::string& name, const std::string& password, const std::string& code = "4711",
                         const std::string& sessionCode = "4711", int second = 0, const char* address = "127.0.0.1") {
  FakeRequest req;
  req.sameSitePost().form = {{"admin", name}, {"password", password}, {"verifycode", code}};
  if (!sessionCode.empty()) req.session["GetCode"] = data::Value(sessionCode);
  req.now = data::DateTime{2024, 3, 9, 10, 0, 0}.addSeconds(second);
  req.clientAddress = address;
  return req;
}

TEST(LoginCheck, RefusalsSpendTheCodeRepeatedOnesLockTheAddressALoginSetsTheKeys) {
  FakeSite site;  // its owner "admin" has no password
  addAccount(site, "boss", 1, hashPassword("right-pass"));
  FakeRequest get = login("boss", "right-pass"), foreign = login("boss", "right-pass");
  get.method = "GET";
  foreign.headers["Origin"] = "http://evil.example";
  const std::string wrong = "用户名或密码错误", badCode = "验证码错误", toForm = "href='login.asp'", in = "top.location";
  auto answer = [&](FakeRequest req) { return site.run("tovi.chkadmin", req, "admin").body; };
  int n = 0;
  for (auto [req, refusal, codeSpent] : {
           std::tuple{login("boss", "wrong-pass"), wrong, true}, {login("nobody", "right-pass"), wrong, true},
           {login("admin", ""), wrong, true}, {login("boss' or '1'='1", "x' or '1'='1"), wrong, true},
           {login("boss", "right-pass", "1234"), badCode, true}, {login("boss", "right-pass", ""), badCode, true},
           {login("boss", "right-pass", "", ""), badCode, true}, {get, toForm, false}, {foreign, toForm, false}}) {
    req.clientAddress = "10.0.0." + std::to_string(++n);  // each its own address: the failures stay below the limit
    PageResult page = site.run("tovi.chkadmin", req, "admin");
    EXPECT_THAT(page.body, HasSubstr(refusal)) << n;
    EXPECT_EQ(req.session["admin"].text() + req.session["flag"].text() + (page.sessionRenewed ? "id" : ""), "") << n;
    req.form = {{"admin", "boss2"}, {"password", "right-pass"}, {"verifycode", "4711"}};  // the same code again
    EXPECT_THAT(answer(req), HasSubstr(codeSpent ? badCode : toForm)) << n;
  }
  // Five failures from one address: even the right password waits there, not elsewhere, and not for ever.
  for (int i = 0; i < 5; ++i) EXPECT_THAT(answer(login("boss", "guess", "4711", "4711", 10 + i)), HasSubstr(wrong));
  for (auto [second, address, expected] :
       {std::tuple{20, "127.0.0.1", std::string("登录失败次数过多")}, {21, "10.1.2.3", in}, {960, "127.0.0.1", in}})
    EXPECT_THAT(answer(login("boss", "right-pass", "4711", "4711", second, address)), HasSubstr(expected)) << second;
  // A login keeps the stored name and the right under a new session id; an MD5 digest becomes argon2 then, not before.
  addAccount(site, "veteran", 2, md5Hex("old-secret"));
  for (auto [password, keys] : {std::pair{"nope", ""}, {"old-secret", "veteran2"}}) {
    FakeRequest req = login(" veteran ", password, "4711", "4711", 0, "10.2.0.1");
    EXPECT_EQ(site.run("tovi.chkadmin", req, "admin").sessionRenewed, *keys != '\0');
    EXPECT_EQ(req.session["admin"].text() + req.session["flag"].text(), keys);
    const std::string stored = valuesOf(site.db(), "select * from wq_admin where admin='veteran'", "password").at(0);
    EXPECT_EQ(stored.starts_with("$argon2id$") ? "argon2" : stored, *keys ? "argon2" : md5Hex("old-secret"));
  }
}

TEST(CodeImage, PngOfANewCodeKeptInTheSession) {
  FakeSite site;
  FakeRequest req;
  req.http = true;
  std::set<std::string> seen;  // each image a new code: twenty alike out of 10,000 would be a fault
  for (int i = 0; i < 20; ++i) {
    PageResult page = site.run("tovi.getcode", req, "");
    EXPECT_EQ(page.binaryType + " " + page.headers["Cache-Control"].substr(0, 8), "image/png no-store");
    EXPECT_THAT(*seen.insert(req.session["GetCode"].text()).first, ::testing::MatchesRegex("[0-9]{4}"));
  }
  EXPECT_GT(seen.size(), 1u);
}

TEST(OneTimeCodes, StepsOneEitherSideOfNowUriAndRecoveryCodes) {
  const std::string key = "GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ";  // "12345678901234567890", the published test key
  const std::tuple<const char*, std::int64_t, std::int64_t> cases[] = {
      {"287082", 59, 1}, {"287082", 29, 1}, {"287082", 89, 1}, {"287082", 119, -1}, {"081804", 1111111109, 37037036},
      {"050471", 1111111111, 37037037}, {"005924", 1234567890, 41152263}, {"279037", 2000000000, 66666666},
      {"28708", 59, -1}, {"2870820", 59, -1}, {"28708a", 59, -1}, {" 287082", 59, -1}, {"", 59, -1}};
  for (const auto& [code, now, step] : cases) EXPECT_EQ(acceptedStep(key, code, now).value_or(-1), step) << code << now;
  EXPECT_FALSE(acceptedStep("not base32!", "287082", 59));
  const std::string han = "%E5%B2%9A%E7%A6%BE";
  EXPECT_EQ(otpauthUri("岚禾", "a b&c", "ABC"),
            "otpauth://totp/" + han + ":a%20b%26c?secret=ABC&issuer=" + han + "&algorithm=SHA1&digits=6&period=30");
  EXPECT_THAT(newOtpSecret(), ::testing::AllOf(::testing::MatchesRegex("[A-Z2-7]{32}"), ::testing::Ne(newOtpSecret())));
  const std::vector<std::string> codes = newRecoveryCodes();
  EXPECT_EQ(std::set<std::string>(codes.begin(), codes.end()).size(), 10u);
  for (const std::string& code : codes) EXPECT_THAT(code, ::testing::MatchesRegex("[a-hjkmnp-z2-9]{5}-[a-hjkmnp-z2-9]{5}"));
  for (const char* typed : {"abcde-fghjk", " ABCDE FGHJK ", "abcdefghjk", "AbCdE-fGhJk"})
    EXPECT_EQ(recoveryCodeKey(typed), "abcdefghjk") << typed;
}
