// tovi.guestbook (guestbook.asp, guestbook.cpp): the public guestbook, the storefront side of
// the messages the operator answers in the back office (book_admin).
//
// A GET lists the messages that are shown (Online 1) and kept (del false), ten
// a page, pinned (top 1) first, newest (PostDate) next, with the query's
// `page` (no number: page 1; past the last: the last). Each shows its title,
// name, date and text, and the operator's reply with its date when there is
// one; everything is HTML-encoded, the "<BR>" the texts are stored with shown
// as line breaks. E-mail and QQ are never shown. Below the list, the post form.
// Without a query string the list depends on the database only, so the host
// may answer it from a rendered copy.
//
// A same-site POST to guestbook.asp?action=post stores a message from the form
// fields UserName (1 to 20 characters), UserMail (optional, an e-mail address),
// qq (optional, 5 to 12 digits), Title (1 to 50 characters), Comments (1 to
// 2,000 characters) and verifycode (the code image GetCode.asp). The message is
// kept as typed with its line breaks as "<BR>", dated now, not pinned, and
// shown at once (Online 1) when the review switch view2.view is 1, else left
// hidden for the operator; the alert tells the visitor which. Refused with an
// alert, nothing stored: a GET or a post from elsewhere, a wrong code, an empty
// or too long field, a bad e-mail or QQ, and a fourth message from one address
// within ten minutes.
#pragma once

#include <string>
#include <string_view>

namespace tovi::storefront {

// A stored message or reply as HTML: encoded, each "<BR>" (any letter case)
// a line break.
[[nodiscard]] std::string storedTextHtml(std::string_view stored);
// A visitor's text as stored: CR LF, CR and LF each turned into "<BR>".
[[nodiscard]] std::string storedBreaks(std::string_view typed);

}  // namespace tovi::storefront
