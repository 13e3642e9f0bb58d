// tovi.up_bookpic (Up_Bookpic.asp?formname=form1&editname=addname&uppath=pic&filelx=jpg, picture_upload.cpp):
// the picture upload pop-up of the dish forms.
//
// Only for logged-in back-office users (session admin set, flag 1 or 2), like
// the back office itself. A GET shows the upload form, which names the limit
// and checks the chosen file against it before sending; the post (multipart,
// same-site) takes one picture: JPEG, PNG or GIF recognised by its bytes and
// confirmed by decoding it, at most kMaxPictureBytes (a phone's photo). What is
// stored is webPicture() of it, as uploadpic/<32 random hex digits>.<jpg|png|gif>
// under the web root, a name the server alone chooses, with its small copy
// beside it (storefront/dish_picture.h) when it is larger; the page then puts
// that path (relative to the storefront root) into field `editname` of form
// `formname` in the window that opened it and closes. `uppath` and `filelx`
// are accepted and not needed: the folder and the type come from the server
// and the content.
//
// Refusals (an alert, nothing stored): not logged in; form or field names that
// are not identifiers; a GET post or a post from another site; no file, several
// files, a file name holding a path, a file over the limit, anything that is
// not one of the three picture types, a picture of more than kMaxPixels.
// A post over the limit never reaches the page: the host answers 413 for
// kUploadPath once the body passes kUploadBodyBytes (main sets that limit).
// Failures: a folder or file that cannot be written throws (the host answers 500).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tovi::backoffice::catalogue {

inline constexpr std::size_t kMaxPictureBytes = 20u << 20;
inline constexpr std::size_t kUploadBodyBytes = kMaxPictureBytes + (64u << 10);  // the picture and its form
inline constexpr std::string_view kUploadPath = "/Up_Bookpic.asp";
inline constexpr int kMaxSide = 1600;           // the stored picture's longest side at most
// Decoded at most (a JPEG at a reduced size, so larger photos pass); PNG and
// GIF pictures are refused by the size they declare, before decoding.
inline constexpr long kMaxPixels = 60'000'000;

struct WebPicture {
  std::string_view extension;  // "jpg", "png" or "gif", as the picture's own type
  std::string bytes;
  int width = 0, height = 0;
  std::string small;  // the same at the storefront's small copy size, same type; empty when it fits already
};

// The picture in `bytes` as the storefront shows it: turned as the camera was
// held (a JPEG's EXIF orientation), its longest side at most kMaxSide, saved
// again in its own type (a JPEG at quality 85; metadata are not kept), and
// its small copy made the same way.
// nullopt for anything that does not start as one of the three types and
// decode as it, or that would take more than kMaxPixels decoded.
[[nodiscard]] std::optional<WebPicture> webPicture(std::string_view bytes);

}  // namespace tovi::backoffice::catalogue
