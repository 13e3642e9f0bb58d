#include "accounts/one_time_codes.h"

#include <liboath/oath.h>
#include <qrencode.h>
#include <sodium.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "accounts/passwords.h"
#include "data/recordset.h"
#include "frame/http_details.h"
#include "frame/module1.h"
#include "frame/text.h"

namespace tovi::accounts {
namespace {

using namespace frame::Module1;

void ensureOath() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (oath_init() != OATH_OK) throw std::runtime_error("liboath could not be initialised");
  });
}

struct Freer {
  void operator()(char* p) const { std::free(p); }
};

}  // namespace

std::string newOtpSecret() {
  if (sodium_init() < 0) throw std::runtime_error("libsodium could not be initialised");
  ensureOath();
  char raw[20];
  randombytes_buf(raw, sizeof raw);
  char* out = nullptr;
  std::size_t length = 0;
  int rc = oath_base32_encode(raw, sizeof raw, &out, &length);
  sodium_memzero(raw, sizeof raw);
  std::unique_ptr<char, Freer> owned(out);
  if (rc != OATH_OK) throw std::runtime_error("base32 encoding failed");
  return std::string(out, length);
}

std::string otpauthUri(std::string_view issuer, std::string_view account, std::string_view secret) {
  const std::string i = frame::percentEncode(issuer);
  return "otpauth://totp/" + i + ":" + frame::percentEncode(account) + "?secret=" + std::string(secret) + "&issuer=" + i +
         "&algorithm=SHA1&digits=6&period=" + std::to_string(kOtpStepSeconds);
}

std::optional<std::int64_t> acceptedStep(std::string_view secret, std::string_view typed, std::int64_t unixTime) {
  if (typed.size() != 6 || typed.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  ensureOath();
  char* raw = nullptr;
  std::size_t length = 0;
  if (oath_base32_decode(secret.data(), secret.size(), &raw, &length) != OATH_OK) return std::nullopt;
  std::unique_ptr<char, Freer> owned(raw);
  const std::string code(typed);
  int position = 0;
  std::uint64_t step = 0;
  int rc = oath_totp_validate3(raw, length, static_cast<time_t>(unixTime), kOtpStepSeconds, 0, 1, &position, &step,
                               code.c_str());
  sodium_memzero(raw, length);
  if (rc < 0 || length == 0) return std::nullopt;
  return static_cast<std::int64_t>(step);
}

std::string qrSvg(std::string_view text) {
  const std::string s(text);
  std::unique_ptr<QRcode, void (*)(QRcode*)> qr(QRcode_encodeString(s.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1),
                                                &QRcode_free);
  if (!qr) throw std::runtime_error("the text does not fit a QR code");
  const int w = qr->width, size = w + 8;  // four modules of quiet zone each side
  std::string path;
  for (int y = 0; y < w; ++y)
    for (int x = 0; x < w; ++x)
      if (qr->data[y * w + x] & 1) path += "M" + std::to_string(x + 4) + " " + std::to_string(y + 4) + "h1v1h-1z";
  const std::string n = std::to_string(size), px = std::to_string(size * 4);
  return "<svg xmlns='http://www.w3.org/2000/svg' width='" + px + "' height='" + px + "' viewBox='0 0 " + n + " " + n +
         "' shape-rendering='crispEdges'><rect width='" + n + "' height='" + n + "' fill='#fff'/><path d='" + path +
         "' fill='#000'/></svg>";
}

std::vector<std::string> newRecoveryCodes() {
  if (sodium_init() < 0) throw std::runtime_error("libsodium could not be initialised");
  static const char kAlphabet[] = "abcdefghjkmnpqrstuvwxyz23456789";
  std::vector<std::string> codes;
  for (int i = 0; i < kRecoveryCodes; ++i) {
    std::string code;
    for (int k = 0; k < 10; ++k) {
      if (k == 5) code += '-';
      code += kAlphabet[randombytes_uniform(sizeof kAlphabet - 1)];
    }
    codes.push_back(code);
  }
  return codes;
}

std::string recoveryCodeKey(std::string_view typed) {
  std::string key;
  for (char c : typed) {
    if (c == '-' || c == ' ') continue;
    key += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return key;
}

std::int64_t otpClock() {
  const std::string fixed = Http().option("totp-test-time");
  return fixed.empty() ? static_cast<std::int64_t>(std::time(nullptr)) : std::stoll(fixed);
}

bool otpRequired() {
  data::Recordset rs;
  rs.Open("select * from set_tamloall", *conn(), data::adOpenKeyset, data::adLockReadOnly);
  bool required = !rs.Eof() && rs("otp_required").value().toInteger() == 1;
  rs.Close();
  return required;
}

std::string otpSecretOf(long adminid) {
  data::Recordset rs;
  rs.Open(data::Sql("select * from wq_admin where adminid=?", {data::Value(adminid)}), *conn(), data::adOpenKeyset,
          data::adLockReadOnly);
  std::string secret = rs.Eof() ? "" : rs("otp_secret").text();
  rs.Close();
  return secret;
}

std::vector<std::string> enrolSecondFactor(long adminid, const std::string& secret, std::int64_t step) {
  // Hashing first: the update below then settles a race of two enrolments.
  std::vector<std::string> codes = newRecoveryCodes(), hashes;
  for (const std::string& code : codes) hashes.push_back(hashPassword(recoveryCodeKey(code)));
  if (conn()->Execute(
          data::Sql("update wq_admin set otp_secret=?, otp_step=? where adminid=? and "
                    "(otp_secret is null or otp_secret='')",
                    {data::Value(secret), data::Value(static_cast<long long>(step)), data::Value(adminid)})) != 1)
    return {};
  conn()->Execute(data::Sql("delete from wq_admin_recovery where adminid=?", {data::Value(adminid)}));
  for (const std::string& hash : hashes)
    conn()->Execute(data::Sql("insert into wq_admin_recovery (adminid, hash) values (?, ?)",
                              {data::Value(adminid), data::Value(hash)}));
  return codes;
}

bool useSecondFactor(long adminid, std::string_view typed, bool recoveryToo) {
  const std::string secret = otpSecretOf(adminid);
  if (secret.empty()) return false;
  if (std::optional<std::int64_t> step = acceptedStep(secret, typed, otpClock())) {
    // In one statement: of two posts of one code, one wins.
    const auto s = data::Value(static_cast<long long>(*step));
    return conn()->Execute(data::Sql("update wq_admin set otp_step=? where adminid=? and otp_secret=? and "
                                     "(otp_step is null or otp_step<?)",
                                     {s, data::Value(adminid), data::Value(secret), s})) == 1;
  }
  const std::string key = recoveryCodeKey(typed);
  if (!recoveryToo || key.size() != 10) return false;
  data::Recordset rs;
  rs.Open(data::Sql("select * from wq_admin_recovery where adminid=?", {data::Value(adminid)}), *conn(),
          data::adOpenKeyset, data::adLockReadOnly);
  long matched = 0;
  for (; !rs.Eof() && !matched; rs.MoveNext())
    if (verifyPassword(rs("hash").text(), key) != PasswordMatch::No)
      matched = static_cast<long>(rs("id").value().toInteger());
  rs.Close();
  return matched && conn()->Execute(data::Sql("delete from wq_admin_recovery where id=?", {data::Value(matched)})) == 1;
}

void clearSecondFactor(long adminid) {
  conn()->Execute(
      data::Sql("update wq_admin set otp_secret='', otp_step=null where adminid=?", {data::Value(adminid)}));
  conn()->Execute(data::Sql("delete from wq_admin_recovery where adminid=?", {data::Value(adminid)}));
}

void holdLogin(long adminid, bool enrol) {
  Session().Set("admin", data::Value(""));
  Session().Set("flag", data::Value(""));
  Session().Set("otp_held", data::Value(adminid));
  Session().Set("otp_enrol", data::Value(enrol ? 1 : 0));
  Session().Set("otp_until", data::Value(static_cast<long long>(Now().serialSeconds() + kHeldLoginSeconds)));
}

std::optional<HeldLogin> heldLogin() {
  const long id = static_cast<long>(Session().Get("otp_held").toInteger());
  if (id <= 0 || Now().serialSeconds() > Session().Get("otp_until").toInteger()) return std::nullopt;
  return HeldLogin{id, Session().Get("otp_enrol").toInteger() == 1};
}

void dropHeldLogin() {
  for (const char* key : {"otp_held", "otp_enrol", "otp_until", "otp_new_secret"}) Session().Set(key, data::Value(""));
}

bool releaseLogin(long adminid) {
  dropHeldLogin();
  data::Recordset rs;
  rs.Open(data::Sql("select * from wq_admin where adminid=?", {data::Value(adminid)}), *conn(), data::adOpenKeyset,
          data::adLockReadOnly);
  const bool found = !rs.Eof();
  const data::Value flag = found ? rs("flag").value() : data::Value();
  Session().Set("admin", data::Value(found ? frame::trim(rs("admin").text()) : ""));
  Session().Set("flag", flag.isNull() || flag.isEmpty() ? data::Value("") : flag);
  rs.Close();
  return found;
}

}  // namespace tovi::accounts
