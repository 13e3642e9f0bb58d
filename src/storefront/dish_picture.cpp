#include "storefront/dish_picture.h"

#include <cctype>
#include <filesystem>

#include "frame/module1.h"

namespace tovi::storefront {

std::string smallCopyPath(std::string_view pic) {
  constexpr std::string_view kFolder = "uploadpic/";
  if (pic.substr(0, kFolder.size()) != kFolder) return "";
  std::string_view name = pic.substr(kFolder.size());
  if (name.size() != 36 || name[32] != '.') return "";
  for (char c : name.substr(0, 32))
    if (!std::isxdigit(static_cast<unsigned char>(c))) return "";
  std::string_view ext = name.substr(33);
  if (ext != "jpg" && ext != "png" && ext != "gif") return "";
  return std::string(pic.substr(0, pic.size() - 4)) + "-s." + std::string(ext);
}

std::string shownPicture(std::string_view pic) {
  std::string small = smallCopyPath(pic);
  std::error_code error;
  if (!small.empty() && std::filesystem::is_regular_file(frame::Module1::Server().MapPath("/" + small), error))
    return small;
  return std::string(pic);
}

}  // namespace tovi::storefront
