#include "accounts/passwords.h"

#include <openssl/evp.h>
#include <sodium.h>

#include <stdexcept>

#include "frame/text.h"

namespace tovi::accounts {
namespace {

// Moderate limits: a login costs tens of milliseconds, not seconds.
constexpr unsigned long long kOps = crypto_pwhash_OPSLIMIT_INTERACTIVE;
constexpr std::size_t kMem = crypto_pwhash_MEMLIMIT_INTERACTIVE;

void ensureSodium() {
  if (sodium_init() < 0) throw std::runtime_error("libsodium could not be initialised");
}

bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

}  // namespace

std::string hashPassword(std::string_view password) {
  ensureSodium();
  char out[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str(out, password.data(), password.size(), kOps, kMem) != 0)
    throw std::runtime_error("password hashing ran out of memory");
  return out;
}

bool isLegacyDigest(std::string_view stored) {
  if (stored.size() != 32) return false;
  for (char c : stored)
    if (!isHex(c)) return false;
  return true;
}

std::string md5Hex(std::string_view text) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  if (EVP_Digest(text.data(), text.size(), digest, &len, EVP_md5(), nullptr) != 1)
    throw std::runtime_error("MD5 is not available");
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < len; ++i) {
    hex += kDigits[digest[i] >> 4];
    hex += kDigits[digest[i] & 15];
  }
  return hex;
}

PasswordMatch verifyPassword(std::string_view stored, std::string_view password) {
  ensureSodium();
  if (isLegacyDigest(stored)) {
    std::string want = frame::asciiLower(stored);
    std::string got = md5Hex(password);
    return sodium_memcmp(want.data(), got.data(), 32) == 0 ? PasswordMatch::YesRehash : PasswordMatch::No;
  }
  if (stored.rfind("$argon2", 0) != 0 || stored.size() >= crypto_pwhash_STRBYTES) return PasswordMatch::No;
  std::string str(stored);  // libsodium wants it NUL-terminated
  if (crypto_pwhash_str_verify(str.c_str(), password.data(), password.size()) != 0) return PasswordMatch::No;
  return crypto_pwhash_str_needs_rehash(str.c_str(), kOps, kMem) == 0 ? PasswordMatch::Yes
                                                                        : PasswordMatch::YesRehash;
}

std::string randomPassword(std::size_t length) {
  ensureSodium();
  static const char kAlphabet[] = "abcdefghijkmnpqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789";
  const auto n = static_cast<std::uint32_t>(sizeof kAlphabet - 1);
  std::string pw;
  for (std::size_t i = 0; i < length; ++i) pw += kAlphabet[randombytes_uniform(n)];
  return pw;
}

}  // namespace tovi::accounts
