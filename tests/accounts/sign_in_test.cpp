// The login check, its passwords and failure throttle, the code image and the first site owner.
#include "support/testing.h"

#include <set>
#include <sstream>
#include <thread>

#include "accounts/operators.h"
#include "accounts/code_image.h"
#include "accounts/throttle.h"
#include "accounts/passwords.h"
#include "accounts/rules.h"
#include "support/site_rows.h"

using namespace tovi::accounts;

TEST(Passwords, HashesVerifyAndLegacyDigestsAskForRehash) {
  const std::string h = hashPassword("s3cret-pass"), md5 = "e10adc3949ba59abbe56e057f20f883e";  // md5 of 123456
  EXPECT_THAT(h, StartsWith("$argon2id$"));
  EXPECT_NE(h, hashPassword("s3cret-pass"));  // salted
  EXPECT_EQ(md5Hex("123456"), md5);
  const std::tuple<std::string, const char*, PasswordMatch> cases[] = {
      {h, "s3cret-pass", PasswordMatch::Yes}, {h, "s3cret-pasS", PasswordMatch::No}, {h, "", PasswordMatch::No},
      {md5, "123456", PasswordMatch::YesRehash}, {md5, "1234567", PasswordMatch::No},
      {"E10ADC3949BA59ABBE56E057F20F883E", "123456", PasswordMatch::YesRehash},
      {md5.substr(1), "123456", PasswordMatch::No},
      {"", "123456", PasswordMatch::No}, {"123456", "123456", PasswordMatch::No},
      {"$argon2id$garbage", "123456", PasswordMatch::No}, {"zz", "123456", PasswordMatch::No}};
  for (const auto& [stored, typed, match] : cases)
    EXPECT_EQ(verifyPassword(stored, typed), match) << stored << " " << typed;
}

TEST(Passwords, AccountRulesAndRandomPasswordsFitThem) {
  for (const char* ok : {"abcdef", "A1b2C3d4E5f6G7h8", "p@ss-w0rd!"}) EXPECT_EQ(accountPasswordProblem(ok), "") << ok;
  for (const char* bad : {"", "abcde", "A1b2C3d4E5f6G7h8X", "with blank", "tab\there", "密码密码密码"})
    EXPECT_NE(accountPasswordProblem(bad), "") << bad;
  for (int i = 0; i < 20; ++i) {
    std::string pw = randomPassword();
    EXPECT_EQ(pw.size(), 12u);
    EXPECT_EQ(accountPasswordProblem(pw), "");
    EXPECT_EQ(pw.find_first_of("0O1lI"), std::string::npos);
  }
  for (const char* ok : {"admin", "  padded  ", "王小明", "sixteen_chars_16"})
    EXPECT_EQ(accountNameProblem(ok), "") << ok;
  for (const char* bad : {"", "   ", "seventeen_chars_1", "a'b", "a<b", "a\"b", "a\nb"})
    EXPECT_NE(accountNameProblem(bad), "") << bad;
}

TEST(Throttle, LocksAnAddressOrANameForAWhile) {
  LoginThrottle t(LoginThrottle::Limits{.perAddress = 3, .perName = 5, .window = 100, .lockout = 50});
  // Address: three failures within the window lock it, for every name.
  t.failed("10.0.0.1", "a", 0);
  t.failed("10.0.0.1", "b", 10);
  EXPECT_FALSE(t.refused("10.0.0.1", "c", 11));
  t.failed("10.0.0.1", "c", 20);
  EXPECT_TRUE(t.refused("10.0.0.1", "zzz", 21));
  EXPECT_FALSE(t.refused("10.0.0.2", "zzz", 21));
  EXPECT_TRUE(t.refused("10.0.0.1", "zzz", 69));
  EXPECT_FALSE(t.refused("10.0.0.1", "zzz", 70));
  // Name: five failures from many addresses lock it, whatever its letter case.
  for (int i = 0; i < 5; ++i) t.failed("192.168.0." + std::to_string(i), "Admin", 200 + i);
  EXPECT_TRUE(t.refused("172.16.0.9", "admin ", 205));
  EXPECT_FALSE(t.refused("172.16.0.9", "other", 205));
  // Failures spread wider than the window never lock.
  LoginThrottle slow(LoginThrottle::Limits{.perAddress = 3, .perName = 99, .window = 100, .lockout = 50});
  for (int i = 0; i < 10; ++i) slow.failed("10.0.0.9", "x", i * 60);
  EXPECT_FALSE(slow.refused("10.0.0.9", "x", 600));
  // A login forgets the counts.
  LoginThrottle ok(LoginThrottle::Limits{.perAddress = 3, .perName = 3, .window = 100, .lockout = 50});
  ok.failed("10.0.0.1", "a", 0);
  ok.failed("10.0.0.1", "a", 1);
  ok.succeeded("10.0.0.1", "a");
  ok.failed("10.0.0.1", "a", 2);
  EXPECT_FALSE(ok.refused("10.0.0.1", "a", 3));
}

TEST(Throttle, StaysBoundedAndSafeAcrossThreads) {
  LoginThrottle t(
      LoginThrottle::Limits{.perAddress = 5, .perName = 5, .window = 100, .lockout = 100, .maxEntries = 64});
  std::vector<std::thread> threads;
  for (int k = 0; k < 4; ++k)
    threads.emplace_back([&t, k] {
      for (int i = 0; i < 1000; ++i) {
        std::string key = std::to_string(k) + "-" + std::to_string(i);
        t.failed("addr" + key, "name" + key, i);
        (void)t.refused("addr" + key, "name" + key, i);
      }
    });
  for (auto& th : threads) th.join();
  EXPECT_LE(t.size(), 128u);
  EXPECT_GT(t.size(), 0u);
}

namespace {
// A login post as the login form sends it, with the code the session holds.
FakeRequest loginPost(const std::string& name, const std::string& password, const std::string& code = "4711",
                      const std::string& sessionCode = "4711", int second = 0) {
  FakeRequest req;
  req.sameSitePost();
  req.form = {{"admin", name}, {"password", password}, {"verifycode", code}, {"Submit2", "提交"}};
  if (!sessionCode.empty()) req.session["GetCode"] = data::Value(sessionCode);
  req.now = data::DateTime{2024, 3, 9, 10, 0, 0}.addSeconds(second);
  return req;
}
const char kIn[] = "top.location.href='index.asp'";
}  // namespace

// (The right password, the name trimmed and the session renewed: back_office_http_test.cpp.)
TEST(LoginCheck, RefusalsLeaveTheKeysUnsetAndUseTheCodeUp) {
  FakeSite site;
  addAccount(site, "boss", 2, hashPassword("right-pass"));
  int n = 0;
  const std::string wrong = "alert('用户名或密码错误，请重新登录！');window.location.href='login.asp';";
  const std::string badCode = "alert('验证码错误，请重新登录！');window.location.href='login.asp';";
  FakeRequest get = loginPost("boss", "right-pass"), foreign = loginPost("boss", "right-pass");
  get.method = "GET";
  foreign.headers["Origin"] = "http://evil.example";
  struct Case {
    const char* name;
    FakeRequest req;
    std::string answer;
    bool codeSpent = true;
  };
  for (Case c : {
           Case{"WrongPassword", loginPost("boss", "wrong-pass"), wrong},
           Case{"UnknownName", loginPost("nobody", "right-pass"), wrong},
           Case{"EmptyPassword", loginPost("boss", ""), wrong},
           Case{"HostileName", loginPost("boss' or '1'='1", "x' or '1'='1"), wrong},
           Case{"WrongCode", loginPost("boss", "right-pass", "1234"), badCode},
           Case{"NoCodeInSession", loginPost("boss", "right-pass", "", ""), badCode},
           Case{"EmptyCodeTyped", loginPost("boss", "right-pass", ""), badCode},
           Case{"Get", get, "<script language=javascript>window.location.href='login.asp'", false},
           Case{"ForeignPost", foreign, "<script language=javascript>window.location.href='login.asp'", false},
       }) {
    SCOPED_TRACE(c.name);
    // Each case from its own address, so the failure counts stay below the limit.
    c.req.clientAddress = "10.0.0." + std::to_string(++n);
    PageResult page = site.run("tovi.chkadmin", c.req, "admin");
    EXPECT_THAT(page.body, HasSubstr(c.answer));
    EXPECT_FALSE(page.sessionRenewed);
    EXPECT_EQ(c.req.session["admin"].text() + c.req.session["flag"].text(), "");
    if (!c.codeSpent) continue;
    EXPECT_EQ(c.req.session["GetCode"].text(), "");
    // The same code a second time is no longer valid.
    c.req.form = {{"admin", "boss2"}, {"password", "right-pass"}, {"verifycode", "4711"}};
    EXPECT_THAT(site.run("tovi.chkadmin", c.req, "admin").body, HasSubstr(badCode));
  }
}

TEST(LoginCheck, RepeatedFailuresRefuseEvenTheRightPassword) {
  FakeSite site;
  addAccount(site, "boss", 1, hashPassword("right-pass"));
  for (int i = 0; i < 5; ++i) {
    FakeRequest req = loginPost("boss", "guess" + std::to_string(i), "4711", "4711", i);
    EXPECT_THAT(site.run("tovi.chkadmin", req, "admin").body, HasSubstr("用户名或密码错误"));
  }
  FakeRequest right = loginPost("boss", "right-pass", "4711", "4711", 10);
  EXPECT_THAT(site.run("tovi.chkadmin", right, "admin").body, HasSubstr("登录失败次数过多"));
  EXPECT_TRUE(right.session["admin"].blank());
  // Five failures lock the address, not yet the name: another address gets in.
  FakeRequest elsewhere = loginPost("boss", "right-pass", "4711", "4711", 11);
  elsewhere.clientAddress = "10.1.2.3";
  EXPECT_THAT(site.run("tovi.chkadmin", elsewhere, "admin").body, HasSubstr(kIn));
  FakeRequest later = loginPost("boss", "right-pass", "4711", "4711", 16 * 60);
  EXPECT_THAT(site.run("tovi.chkadmin", later, "admin").body, HasSubstr(kIn));
}

TEST(CodeImage, PngOfTheCodeKeptInTheSession) {
  FakeSite site;
  FakeRequest req;
  req.http = true;
  PageResult page = site.run("tovi.getcode", req, "");
  EXPECT_THAT(req.session["GetCode"].text(), ::testing::MatchesRegex("[0-9]{4}"));
  EXPECT_EQ(page.binaryType, "image/png");
  EXPECT_EQ(page.binary.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  EXPECT_THAT(page.headers["Cache-Control"], HasSubstr("no-store"));
  // Each image brings a new code (10,000 possible: twenty alike would be a fault).
  std::set<std::string> seen;
  for (int i = 0; i < 20; ++i) {
    site.run("tovi.getcode", req, "");
    seen.insert(req.session["GetCode"].text());
  }
  EXPECT_GT(seen.size(), 1u);
}

// (The owner created in a fresh database, whose printed password logs in: back_office_http_test.cpp.)
TEST(FirstSiteOwner, NotCreatedOverAnExistingAccount) {
  FakeSite site;  // holds the owner "admin", without a password
  std::ostringstream out;
  createFirstSiteOwner(site.databasePath(), out);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(valuesOf(site, "select * from wq_admin", "password"), std::vector<std::string>{""});
}
