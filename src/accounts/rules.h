// Who may hold an account, as the forms and the command line check it: the
// rules for back-office accounts (wq_admin) and members (reg). Each returns
// the Chinese message an alert shows, or "" (or true) when the value is good.
//
//   if (std::string p = accountNameProblem(name); !p.empty()) alertBack(p);
//   if (!validMemberPassword(password)) ...
//
// Pure functions of their arguments.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tovi::accounts {

// Why `password` cannot be a back-office password, or "": 6 to 16 printable
// ASCII characters, no blanks (the login form takes at most 16).
[[nodiscard]] std::string accountPasswordProblem(std::string_view password);
// Why `name` cannot be a back-office user name, or "": 1 to 16 characters
// (after trimming blanks), no control characters, no quotes, < > or &.
[[nodiscard]] std::string accountNameProblem(std::string_view name);

// Why `name` cannot be a member's user name, or "": 2 to 5 Chinese
// characters (the name is the order's contact name, which the order form takes only so).
[[nodiscard]] std::string memberNameProblem(std::string_view name);
// Whether `password` (blanks around it dropped) is a member password the back
// office's member form allows: 5 to 15 of A-Z a-z 0-9 _ - .
[[nodiscard]] bool validMemberPassword(std::string_view password);
// A member password as it is stored: blanks around it dropped, as validMemberPassword reads it.
[[nodiscard]] std::string storedMemberPassword(std::string_view password);
// The member form's e-mail rule, so that the operator can save the record:
// [A-Za-z0-9_-]+(\.\w+)*@(\w+\.)+\w{2,3}, at most 50 characters.
[[nodiscard]] bool validMemberEmail(std::string_view email);
// What the order form takes as a phone, so the member's own fills it: 7, 8 or 11 digits.
[[nodiscard]] bool validMemberTel(std::string_view tel);
// Empty, or 6 digits.
[[nodiscard]] bool validPostcode(std::string_view postcode);

// A member's birth date as the sign-up form gives it (year, month, day as typed).
struct BirthDate {
  int year = 0, month = 0, day = 0;  // all 0: not given
};
// All three empty: a BirthDate of zeros. Otherwise a real date with the year
// in 1900..thisYear; nullopt for anything else.
[[nodiscard]] std::optional<BirthDate> memberBirthDate(std::string_view year, std::string_view month,
                                                       std::string_view day, int thisYear);

}  // namespace tovi::accounts
