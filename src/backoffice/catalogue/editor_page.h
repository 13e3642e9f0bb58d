// tovi.ewebeditor (webedit/ewebeditor.asp?id=Content&style=standard, editor_page.cpp): the
// rich-text editor shown in the frame of the back-office forms.
//
// The page loads the editor (Quill, copied into webedit/quill/ by the set-up)
// and webedit/editor.js, which take the start text from the parent page's field
// named by `id` and write the edited HTML back into that field on every change.
// Toolbar: paragraph style, bold, italic, underline, strike-through, text and
// background colour, numbered and bulleted lists, alignment, links, images by
// address, clear formatting; every title and prompt in Simplified Chinese.
// Formatting is written as inline styles, so the text looks the same on the
// storefront, which does not load the editor's stylesheet.
//
// Failures: an `id` that is not an identifier gets a short error page and no editor.
#pragma once

#include <string_view>

namespace tovi::backoffice::catalogue {

// Whether `name` is an ASCII identifier (letter or '_' first, then letters,
// digits, '_'), at most 64 characters: safe to name a field in a script.
[[nodiscard]] bool isIdentifier(std::string_view name);

}  // namespace tovi::backoffice::catalogue
