// One-time login codes through the real server on a fixed clock: enrolment, the code step (wrong, reused, recovery
// codes once each), the site owner's requirement, and the command that clears a lost phone.
#include <liboath/oath.h>

#include <cstdlib>
#include <regex>

#include "support/over_http.h"

namespace {
constexpr long long kNow = 1700000000, kStep = kNow / 30;

// What an authenticator app shows for the base32 `secret` in time step `step`.
std::string codeAt(const std::string& secret, long long step) {
  char *raw = nullptr, otp[7] = {};
  std::size_t length = 0;
  oath_init();
  EXPECT_EQ(oath_base32_decode(secret.data(), secret.size(), &raw, &length), OATH_OK);
  EXPECT_EQ(oath_totp_generate(raw, length, step * 30, 30, 0, 6, otp), OATH_OK);
  std::free(raw);
  return otp;
}

// Enrols the client's account: the secret its page shows, then the recovery codes a right code brings.
std::pair<std::string, std::vector<std::string>> enrol(HttpClient& http) {
  std::smatch m;
  const std::string page = http.get("/admin/twofactor.asp").text(), twofactor = "/admin/twofactor.asp?action=on";
  EXPECT_THAT(page, HasSubstr("<svg"));
  if (!std::regex_search(page, m, std::regex("<code>([A-Z2-7 ]+)</code>"))) return {};
  const std::string secret = std::regex_replace(m[1].str(), std::regex(" "), "");
  EXPECT_THAT(postOwn(http, twofactor, "otpcode=" + codeAt(secret, kStep + 2)).text(), HasSubstr("不正确"));
  const std::string shown = postOwn(http, twofactor, "otpcode=" + codeAt(secret, kStep)).text();
  const std::regex code("<code>([a-z0-9-]{11})</code>");
  std::vector<std::string> codes;
  for (std::sregex_iterator i(shown.begin(), shown.end(), code), end; i != end; ++i) codes.push_back((*i)[1]);
  return {secret, codes};
}
}  // namespace

TEST(TwoFactor, CodesServeOnceRecoveryCodesOnceTheOwnerCanRequireThemAndTheCommandClearsThem) {
  LiveServer server({.args = {"--fixed-code", "1234", "--totp-test-time", std::to_string(kNow)}});
  const std::string password = printedPassword(server.initOutput()), in = "岚禾统一后台", admin = "/admin/admin.asp";
  HttpClient owner(server.port());
  ASSERT_THAT(logIn(owner, "admin", password).text(), HasSubstr("index.asp"));
  const auto [secret, codes] = enrol(owner);
  ASSERT_EQ(codes.size(), 10u);
  EXPECT_EQ(liveValue(server, "select * from wq_admin", "otp_secret"), secret);
  // The password alone opens nothing; the code then does, once per step, as does each recovery code once.
  for (auto [code, right] : {std::pair{codeAt(secret, kStep), false},
                             {codeAt(secret, kStep + 2), false},
                             {codeAt(secret, kStep + 1), true},
                             {codeAt(secret, kStep + 1), false},
                             {codes[0], true},
                             {codes[0], false}}) {
    HttpClient http(server.port());
    ASSERT_THAT(logIn(http, "admin", password).text(), HasSubstr("chkcode.asp"));
    EXPECT_THAT(http.get(admin).text(), Not(HasSubstr(in)));
    EXPECT_THAT(postOwn(http, "/admin/chkcode.asp", "otpcode=" + code).text(),
                HasSubstr(right ? "index.asp" : "用户名或密码错误"));
    EXPECT_EQ(http.get(admin).text().find(in) != std::string::npos, right) << code;
  }
  EXPECT_EQ(liveValue(server, "select * from wq_admin_recovery"), "9");
  // Required by the owner: an account without codes enrols before anything opens, and nobody turns them off.
  postOwn(owner, "/admin/saveadmin.asp?action=otp", "required=1");
  liveExec(server, data::Sql("insert into wq_admin (admin, password, flag) values ('clerk', ?, 2)",
                             {accounts::hashPassword("clerk-pass")}));
  HttpClient clerk(server.port());
  EXPECT_THAT(logIn(clerk, "clerk", "clerk-pass").text(), HasSubstr("twofactor.asp"));
  EXPECT_THAT(clerk.get(admin).text(), Not(HasSubstr(in)));
  EXPECT_EQ(enrol(clerk).second.size(), 10u);
  EXPECT_THAT(clerk.get(admin).text(), HasSubstr(in));
  EXPECT_THAT(postOwn(owner, "/admin/twofactor.asp?action=off", "otpcode=" + codeAt(secret, kStep - 1)).text(),
              HasSubstr("不能关闭"));
  // Wrong codes count with wrong passwords: after five from one address, even the right password waits.
  for (int i = 0; i < 5; ++i) {
    HttpClient http(server.port());
    logIn(http, "admin", password);
    postOwn(http, "/admin/chkcode.asp", "otpcode=000000");
  }
  HttpClient late(server.port());
  EXPECT_THAT(logIn(late, "admin", password).text(), HasSubstr("失败次数过多"));
  // A lost phone: the command clears the secret, the step and the codes; an unknown name fails.
  auto reset = [&](const std::string& name) {
    return std::system(
        (TOVI_BINARY " passwd --reset-2fa " + server.siteOptions() + " " + name + " >/dev/null").c_str());
  };
  EXPECT_NE(reset("nobody"), 0);
  ASSERT_EQ(reset("admin"), 0);
  EXPECT_EQ(liveValue(server, "select * from wq_admin where admin='admin' and otp_secret='' and otp_step is null") +
                "|" + liveValue(server, "select * from wq_admin_recovery"),
            "1|10");  // the clerk's ten stay
}
