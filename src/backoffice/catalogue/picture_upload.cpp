#include "backoffice/catalogue/picture_upload.h"

#include <fcntl.h>
#include <gd.h>
#include <sodium.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "backoffice/catalogue/editor_page.h"
#include "frame/component.h"
#include "frame/http_details.h"
#include "frame/module1.h"
#include "frame/request_guard.h"
#include "frame/text.h"

namespace tovi::backoffice::catalogue {

using namespace frame::Module1;

namespace {

class up_bookpic : public frame::Component {
 public:
  void main();
};

constexpr std::string_view kFolder = "uploadpic";

[[noreturn]] void refuse(std::string_view message, std::string_view then = "history.go(-1);") {
  Response().Write(R"(<html><head><meta http-equiv="Content-Type" content="text/html; charset=gb2312"></head><body>)"
                   "<script language=javascript>alert('" +
                   frame::jsString(message) + "');" + std::string(then) + "</script></body></html>");
  Response().End();
  throw frame::PageEnd{};
}

bool startsWith(std::string_view bytes, std::string_view magic) { return bytes.substr(0, magic.size()) == magic; }

std::string randomName() {
  if (sodium_init() < 0) throw std::runtime_error("libsodium could not start");
  unsigned char raw[16];
  randombytes_buf(raw, sizeof raw);
  char hex[2 * sizeof raw + 1];
  sodium_bin2hex(hex, sizeof hex, raw, sizeof raw);
  return hex;
}

// Writes a new file; never replaces one (O_EXCL) nor follows a link.
void writeNewFile(const std::string& path, std::string_view bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot create " + path);
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) {
      ::close(fd);
      ::unlink(path.c_str());
      throw std::runtime_error("cannot write " + path);
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) throw std::runtime_error("cannot write " + path);
}

void writeForm(const std::string& formName, const std::string& fieldName) {
  Response().Write(R"(<html><head><meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<title>上传图片</title>
<link href="css/style.css" rel="stylesheet" type="text/css">
</head>
<body style="margin:10px;font-size:12px">
<form name="upform" method="post" enctype="multipart/form-data" action="Up_Bookpic.asp?formname=)" +
                   formName + "&amp;editname=" + fieldName + R"(">
<p>选择图片：<input type="file" name="file1" accept="image/jpeg,image/png,image/gif"></p>
<p><input type="submit" name="Submit" value="上传图片" class="button"> 支持 JPG、PNG、GIF 图片，不超过 2 MB。</p>
</form>
</body></html>
)");
}

}  // namespace

std::optional<std::string_view> pictureExtension(std::string_view bytes) {
  if (bytes.size() > kMaxPictureBytes || bytes.size() < 8) return std::nullopt;
  void* data = const_cast<char*>(bytes.data());
  int size = static_cast<int>(bytes.size());
  gdImagePtr image = nullptr;
  std::string_view ext;
  if (startsWith(bytes, "\xFF\xD8\xFF")) {
    image = gdImageCreateFromJpegPtrEx(size, data, 1);
    ext = "jpg";
  } else if (startsWith(bytes, std::string_view("\x89PNG\r\n\x1A\n", 8))) {
    image = gdImageCreateFromPngPtr(size, data);
    ext = "png";
  } else if (startsWith(bytes, "GIF87a") || startsWith(bytes, "GIF89a")) {
    image = gdImageCreateFromGifPtr(size, data);
    ext = "gif";
  }
  if (!image) return std::nullopt;
  gdImageDestroy(image);
  return ext;
}

void up_bookpic::main() {
  if (!backOfficeAdmitted())
    refuse("网络超时或者您还没有登录请登录", "if (window.opener) window.close(); else window.location.href='admin/login.asp';");
  std::string formName = Request().QueryString("formname"), fieldName = Request().QueryString("editname");
  if (!isIdentifier(formName) || !isIdentifier(fieldName)) refuse("上传参数错误：表单名或字段名无效。", "window.close();");

  frame::HttpDetails& http = Http();
  if (!frame::iequals(http.method(), "POST")) {
    writeForm(formName, fieldName);
    return;
  }
  if (!frame::postedFromSite()) refuse("操作被拒绝：图片只能从本站后台页面上传。");

  const frame::UploadedFile* file = nullptr;
  for (const frame::UploadedFile& f : http.files()) {
    if (f.bytes.empty() && f.fileName.empty()) continue;
    if (file) refuse("一次只能上传一张图片！");
    file = &f;
  }
  if (!file || file->bytes.empty()) refuse("请选择要上传的图片！");
  if (file->fileName.find_first_of(std::string_view("/\\\0", 3)) != std::string::npos)
    refuse("图片文件名不能包含路径！");
  if (file->bytes.size() > kMaxPictureBytes) refuse("图片太大：不能超过 2 MB！");
  std::optional<std::string_view> ext = pictureExtension(file->bytes);
  if (!ext) refuse("只能上传 JPG、PNG 或 GIF 图片！");

  // Through MapPath: an installed site keeps uploads outside its read-only web root.
  std::filesystem::path folder = Server().MapPath("/" + std::string(kFolder));
  std::filesystem::create_directories(folder);
  std::string name = randomName() + "." + std::string(*ext);
  writeNewFile((folder / name).string(), file->bytes);

  std::string path = std::string(kFolder) + "/" + name;
  Response().Write(R"(<html><head><meta http-equiv="Content-Type" content="text/html; charset=gb2312"></head><body>
<p>图片已上传：)" + path + R"(</p>
<script language=javascript>
var path = ')" + path + R"(';
try {
  window.opener.document.forms[')" + formName + R"('].elements[')" + fieldName + R"('].value = path;
  window.close();
} catch (e) {
  alert('图片已上传，地址：' + path);
}
</script>
</body></html>
)");
}

namespace {

const frame::PageRegistration pages([](frame::Registry& registry) {
  registry.addMain<up_bookpic>("tovi.up_bookpic");
});

}  // namespace
}  // namespace tovi::backoffice::catalogue
