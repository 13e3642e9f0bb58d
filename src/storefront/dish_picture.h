// Dish pictures at the size the storefront shows them. The category grids show
// a dish's picture at 123 x 93 CSS pixels, on phones too (the home page's
// hover box at 150 x 122); the upload page stores beside each picture a copy
// at twice the grid's size for screens of two device pixels a CSS pixel, and
// the pages show that copy wherever it exists (pictures stored before it was
// made, or typed-in paths, are shown as they are).
//
//   smallCopyPath("uploadpic/<32 hex>.jpg")   // "uploadpic/<32 hex>-s.jpg"; "" for any other path
//   Response().Write("<img src='" + htmlEncode(shownPicture(pic)) + "' width=123 height=93>");
#pragma once

#include <string>
#include <string_view>

namespace tovi::storefront {

// The box the small copy fits in, keeping the picture's proportions: twice the grid's 123 x 93.
inline constexpr int kSmallCopyWidth = 246, kSmallCopyHeight = 186;

// Where the small copy of an uploaded picture (uploadpic/<32 hex digits>.<jpg|png|gif>, as the
// upload page names them) goes; "" for any other path, which never has one.
[[nodiscard]] std::string smallCopyPath(std::string_view pic);

// The small copy of `pic` when there is one in the web root, else `pic` itself.
// Reads the file system through the page's Server().MapPath: on a page's thread.
[[nodiscard]] std::string shownPicture(std::string_view pic);

}  // namespace tovi::storefront
