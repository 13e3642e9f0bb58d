#include "accounts/rules.h"

#include <vector>

#include "data/value.h"
#include "frame/text.h"

namespace tovi::accounts {
namespace {

// Chinese characters (the unified ideographs and their extension A).
bool isHan(char32_t c) { return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF); }

bool onlyOf(std::string_view text, std::string_view allowed) {
  return !text.empty() && text.find_first_not_of(allowed) == std::string_view::npos;
}

// Blanks as the member form's \s matches them at the ends.
std::string_view trimSpace(std::string_view s) {
  const char* ws = " \t\r\n\f\v";
  std::size_t b = s.find_first_not_of(ws);
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of(ws) - b + 1);
}

// A whole number of at most four digits in [low, high].
std::optional<int> smallNumber(std::string_view text, int low, int high) {
  if (text.size() > 4 || !onlyOf(text, "0123456789")) return std::nullopt;
  int n = std::stoi(std::string(text));
  if (n < low || n > high) return std::nullopt;
  return n;
}

}  // namespace

std::string accountPasswordProblem(std::string_view password) {
  if (password.size() < 6 || password.size() > 16) return "密码长度须为6到16个字符！";
  for (char c : password)
    if (c <= ' ' || c > '~') return "密码只能使用字母、数字和英文符号，不能有空格！";
  return "";
}

std::string accountNameProblem(std::string_view name) {
  std::string n = frame::trim(name);
  if (n.empty()) return "请填写用户名！";
  if (frame::charCount(n) > 16) return "用户名不能超过16个字符！";
  for (unsigned char c : n)
    if (c < ' ' || c == 127 || c == '\'' || c == '"' || c == '<' || c == '>' || c == '&')
      return "用户名不能含有引号、尖括号、&或控制字符！";
  return "";
}

std::string memberNameProblem(std::string_view name) {
  if (name.empty()) return "请填写用户名！";
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < name.size(); ++count)
    if (!isHan(frame::nextChar(name, pos))) count = 99;
  if (count < 2 || count > 5) return "用户名即订餐时的联系人，须为两个到五个汉字！";
  return "";
}

bool validMemberPassword(std::string_view password) {
  std::string_view p = trimSpace(password);
  return p.size() >= 5 && p.size() <= 15 &&
         onlyOf(p, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-.");
}

std::string storedMemberPassword(std::string_view password) { return std::string(trimSpace(password)); }

bool validMemberEmail(std::string_view email) {
  constexpr std::string_view word = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_";
  std::size_t at = email.find('@');
  if (email.size() > 50 || at == std::string_view::npos) return false;
  auto parts = [](std::string_view text) {
    std::vector<std::string_view> out;
    for (std::size_t dot; (dot = text.find('.')) != std::string_view::npos; text.remove_prefix(dot + 1))
      out.push_back(text.substr(0, dot));
    out.push_back(text);
    return out;
  };
  std::vector<std::string_view> local = parts(email.substr(0, at)), host = parts(email.substr(at + 1));
  if (!onlyOf(local[0], std::string(word) + "-")) return false;
  for (std::size_t i = 1; i < local.size(); ++i)
    if (!onlyOf(local[i], word)) return false;
  if (host.size() < 2 || host.back().size() < 2 || host.back().size() > 3) return false;
  for (std::string_view part : host)
    if (!onlyOf(part, word)) return false;
  return true;
}

bool validMemberTel(std::string_view tel) {
  return (tel.size() == 7 || tel.size() == 8 || tel.size() == 11) && onlyOf(tel, "0123456789");
}

bool validPostcode(std::string_view postcode) {
  return postcode.empty() || (postcode.size() == 6 && onlyOf(postcode, "0123456789"));
}

std::optional<BirthDate> memberBirthDate(std::string_view year, std::string_view month, std::string_view day,
                                         int thisYear) {
  if (year.empty() && month.empty() && day.empty()) return BirthDate{};
  std::optional<int> y = smallNumber(year, 1900, thisYear), m = smallNumber(month, 1, 12), d = smallNumber(day, 1, 31);
  if (!y || !m || !d || !data::DateTime{*y, *m, *d, 0, 0, 0}.valid()) return std::nullopt;
  return BirthDate{*y, *m, *d};
}

}  // namespace tovi::accounts
