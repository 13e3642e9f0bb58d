// The second sign-in factor of back-office accounts: time-based one-time
// codes (six digits, 30-second steps, HMAC-SHA-1, as authenticator apps make
// them), their enrolment QR code, and ten one-time recovery codes.
//
//   std::string secret = newOtpSecret();                   // base32 of 160 random bits
//   Response().Write(qrSvg(otpauthUri("岚禾", "admin", secret)));
//   if (acceptedStep(secret, typed, otpClock())) ...       // one step either side of now
//   std::vector<std::string> shown = enrolSecondFactor(id, secret, step);   // on conn()
//   if (useSecondFactor(id, typed)) ...                    // a code once, or a recovery code once
//
// An account has the factor while wq_admin.otp_secret is not empty. A code is
// accepted only for a later time step than the last one accepted for that
// account (otp_step), so no code serves twice. Recovery codes are stored as
// argon2id strings in wq_admin_recovery, a row removed when its code is used.
// The secret never leaves the database but on the enrolment page.
// Threads: the pure functions from any thread; the others in a page (Module1's
// context, conn() open). Errors: data::Error from the database.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovi::accounts {

inline constexpr int kOtpStepSeconds = 30;
inline constexpr int kRecoveryCodes = 10;

// A new secret: 20 bytes from libsodium's randombytes, as 32 base32 letters.
[[nodiscard]] std::string newOtpSecret();
// "otpauth://totp/ISSUER:ACCOUNT?secret=...&issuer=ISSUER&..." with issuer and account percent-encoded.
[[nodiscard]] std::string otpauthUri(std::string_view issuer, std::string_view account, std::string_view secret);
// The time step (Unix seconds / 30) of the code `typed` for `secret` at `unixTime`,
// looking one step either side; nullopt for anything else (not six digits, a bad secret).
[[nodiscard]] std::optional<std::int64_t> acceptedStep(std::string_view secret, std::string_view typed,
                                                       std::int64_t unixTime);
// `text` as a QR code drawn in inline SVG (black squares on white, a quiet zone around).
// Throws std::runtime_error when it cannot be encoded (too long).
[[nodiscard]] std::string qrSvg(std::string_view text);
// Ten new recovery codes, "xxxxx-xxxxx" of lower-case letters and digits without look-alikes.
[[nodiscard]] std::vector<std::string> newRecoveryCodes();
// A typed recovery code as stored: lower case, without blanks and dashes.
[[nodiscard]] std::string recoveryCodeKey(std::string_view typed);

// In a page: the Unix time codes are checked at; the start option
// totp-test-time (tests only) fixes it.
[[nodiscard]] std::int64_t otpClock();
// Whether the site owner asks every back-office account for the second factor.
[[nodiscard]] bool otpRequired();
// The account's secret, "" when it has none (or no such account).
[[nodiscard]] std::string otpSecretOf(long adminid);
// Stores `secret` for an account without one, with `step` as used (the enrolment's code),
// and new recovery codes (replacing any); returns the codes to show once, or nothing
// when the account is gone or already has a secret.
[[nodiscard]] std::vector<std::string> enrolSecondFactor(long adminid, const std::string& secret, std::int64_t step);
// Accepts a current code of a later step than the last used (and records its step),
// or one of the account's recovery codes (and removes it). False for anything else.
[[nodiscard]] bool useSecondFactor(long adminid, std::string_view typed, bool recoveryToo = true);
// Removes the account's secret, its last step and its recovery codes.
void clearSecondFactor(long adminid);

// A login whose password was right, waiting in the session (for five minutes
// at most) for its code, or for the enrolment the site owner asks for.
struct HeldLogin {
  long adminid = 0;
  bool enrol = false;  // waits for the enrolment, not for a code
};
inline constexpr int kHeldLoginSeconds = 5 * 60;
// Holds the login of `adminid` in the session; nobody is logged in meanwhile
// (the session keys admin and flag are emptied).
void holdLogin(long adminid, bool enrol);
// The login held in this session; nullopt when none or lapsed.
[[nodiscard]] std::optional<HeldLogin> heldLogin();
// Forgets the held login.
void dropHeldLogin();
// Logs the account in (session keys admin and flag from its row) and forgets
// the held login; false, with nobody logged in, when the account is gone.
// The caller renews the session id.
[[nodiscard]] bool releaseLogin(long adminid);

}  // namespace tovi::accounts
