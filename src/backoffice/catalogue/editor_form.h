// The pieces every catalogue and content form shares: the form page with the
// rich-text editor frame (dish, news and bulletin forms), the checks a save
// runs before it touches the database, and the alerts the pages answer with.
//
//   EditorForm form{.title = "增加餐饮", .action = "kcdgadd.asp?form1up=yes", .checks = kDishChecks};
//   writeFormStart(form);
//   writeFieldRow("餐饮名称：", textInput("newsname", ""));
//   writeContentRow(storedContent);            // hidden field + editor frame
//   writeButtons(" 增 加 ");
//   writeFormEnd(form);
//
// The editor page (webedit/ewebeditor.asp) keeps the hidden field `Content`
// equal to the edited HTML on every change, so the plain post carries the text
// whatever the submit button does.
//
// Every function writes through Module1::Response() and so needs a started page.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovi::backoffice::catalogue {

// Client-side checks put into checkdata(): the dish rule (name required, price
// a plain number such as 12 or 8.5) or none (news, bulletin).
enum class FormChecks { None, Dish };

struct EditorForm {
  std::string title;                                     // title cell text
  std::string action;                                    // form1's address
  FormChecks checks = FormChecks::None;
  bool head = true;                                      // html/head/title; false for the bulletin
  std::string titleBackground = "../images/admin_bg_1.gif";
  bool footer = true;                                    // showFooter and the closing tags
};

// Head (when wanted), checkdata()/ResetForm(), outer table, title cell, form1, inner table.
void writeFormStart(const EditorForm& form);
// One label/field row of the inner table (`fieldHtml` is markup, already escaped).
void writeFieldRow(std::string_view label, std::string_view fieldHtml);
// The "内 容：" row: hidden text area `Content` holding `content` HTML-encoded, and the editor frame.
void writeContentRow(std::string_view content);
// The submit button `Submit` with `submitLabel` and the " 返 回 " button.
void writeButtons(std::string_view submitLabel);
// Closes the inner table, the form, the cell, the row and the outer table; then the
// footer and the page end when the form has them.
void writeFormEnd(const EditorForm& form);

// <input type="text" name=.. id=.. value=".."> with the value escaped.
[[nodiscard]] std::string textInput(std::string_view name, std::string_view value);

// Writes <script>alert(message); then `then`</script> and ends the page.
[[noreturn]] void alertAndEnd(std::string_view message, std::string_view then = "history.go(-1);");
// The edit pages' answer to an id that names nothing they may edit.
[[noreturn]] void illegalAccess();

// The id of the query string when it is a plain whole number that fits 32 bits.
[[nodiscard]] std::optional<std::int64_t> queryId();
// Ids of a ticked list ("7, 9"): every entry a plain whole number. Empty list for
// an empty selection; nullopt when any entry is something else.
[[nodiscard]] std::optional<std::vector<std::int64_t>> parseIdList(std::string_view list);
// "?,?,?" for n parameters.
[[nodiscard]] std::string placeholders(std::size_t n);
// Whether a (trimmed) price reads as a plain number: digits, optionally a point and digits.
[[nodiscard]] bool isPlainPrice(std::string_view price);

// A change must be a same-site post; otherwise the refusal alert ends the page.
void requireSiteForm();

}  // namespace tovi::backoffice::catalogue
