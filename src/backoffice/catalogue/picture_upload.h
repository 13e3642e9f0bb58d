// tovi.up_bookpic (Up_Bookpic.asp?formname=form1&editname=addname&uppath=pic&filelx=jpg, picture_upload.cpp):
// the picture upload pop-up of the dish forms.
//
// Only for logged-in back-office users (session admin set, flag 1 or 2), like
// the back office itself. A GET shows the upload form; the post (multipart,
// same-site) takes one picture: JPEG, PNG or GIF recognised by its bytes and
// confirmed by decoding it, at most kMaxPictureBytes. It is stored as
// uploadpic/<32 random hex digits>.<jpg|png|gif> under the web root, a name the
// server alone chooses, and the page then puts that path (relative to the
// storefront root) into field `editname` of form `formname` in the window that
// opened it and closes. `uppath` and `filelx` are accepted and not needed: the
// folder and the type come from the server and the content.
//
// Refusals (an alert, nothing stored): not logged in; form or field names that
// are not identifiers; a GET post or a post from another site; no file, several
// files, a file name holding a path, a file over the limit, anything that is
// not one of the three picture types.
// Failures: a folder or file that cannot be written throws (the host answers 500).
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace tovi::backoffice::catalogue {

inline constexpr std::size_t kMaxPictureBytes = 2u << 20;

// "jpg", "png" or "gif" when `bytes` start as that picture type and decode as
// one; nullopt for anything else.
[[nodiscard]] std::optional<std::string_view> pictureExtension(std::string_view bytes);

}  // namespace tovi::backoffice::catalogue
