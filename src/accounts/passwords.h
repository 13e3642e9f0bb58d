// Passwords of back-office accounts and members: how they are stored and checked.
//
//   std::string stored = hashPassword("s3cret-pass");     // argon2id string for wq_admin or reg .password
//   switch (verifyPassword(stored, typed)) { ... }
//
// New and changed passwords are stored as libsodium argon2id strings. A stored
// 32-hex MD5 digest (accounts from before) is still accepted; the caller then
// replaces it with hashPassword() of the typed password.
// Threads: every function may be called from any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tovi::accounts {

enum class PasswordMatch {
  No,         // wrong password, or a stored value of no known form (empty, damaged)
  Yes,        // right, and stored as it should be
  YesRehash,  // right, but stored in an old form (MD5, weaker argon2 limits): store it again
};

// An argon2id string for `password`. Throws std::runtime_error when libsodium
// cannot work (no memory).
[[nodiscard]] std::string hashPassword(std::string_view password);
// Compares `password` with the stored value, in time that does not depend on
// where they differ.
[[nodiscard]] PasswordMatch verifyPassword(std::string_view stored, std::string_view password);
// Whether `stored` has the form of an MD5 digest (32 hex digits, any case).
[[nodiscard]] bool isLegacyDigest(std::string_view stored);
// Lower-case hex MD5 of `text` (as accounts of before were stored).
[[nodiscard]] std::string md5Hex(std::string_view text);

// A random password of `length` characters from letters and digits, without
// look-alikes (0 O 1 l I).
[[nodiscard]] std::string randomPassword(std::size_t length = 12);

}  // namespace tovi::accounts
