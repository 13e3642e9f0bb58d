#include "backoffice/catalogue/picture_upload.h"

#include <fcntl.h>
#include <gd.h>
#include <jpeglib.h>
#include <libexif/exif-data.h>
#include <sodium.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "backoffice/catalogue/editor_page.h"
#include "frame/component.h"
#include "frame/http_details.h"
#include "frame/module1.h"
#include "frame/request_guard.h"
#include "frame/text.h"
#include "storefront/dish_picture.h"

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

using Image = std::unique_ptr<gdImage, decltype(&gdImageDestroy)>;

// Width times height as the picture's header declares them, so that a small
// file claiming a huge picture is refused before its pixels are allocated
// (0 when a JPEG names none: it does not decode either).
double declaredPixels(std::string_view b, std::string_view ext) {
  auto at = [&](std::size_t i) -> double { return i < b.size() ? static_cast<unsigned char>(b[i]) : 0; };
  auto be16 = [&](std::size_t i) { return at(i) * 256 + at(i + 1); };
  if (ext == "png") return (be16(16) * 65536 + be16(18)) * (be16(20) * 65536 + be16(22));  // IHDR
  if (ext == "gif") return (at(6) + at(7) * 256) * (at(8) + at(9) * 256);                  // the logical screen
  // A JPEG's frame header (SOF0 to SOF15 but DHT, JPG and DAC) among the segments before the scan.
  for (std::size_t i = 2; i + 9 < b.size() && at(i) == 0xFF;) {
    const int marker = static_cast<int>(at(i + 1));
    if (marker == 0xFF) {
      ++i;
      continue;
    }
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
      return be16(i + 5) * be16(i + 7);
    i += 2 + static_cast<std::size_t>(be16(i + 2));
  }
  return 0;
}

// libjpeg's errors end in a jump back into decodedJpeg() rather than in exit().
struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf back;
};

// A JPEG decoded at the smallest of libjpeg's reduced sizes (1/2, 1/4, 1/8 of
// each side) that is still kMaxSide long, which gd's decoder cannot do: a
// phone's photo never takes its full size in memory (a 12-megapixel one 12 MB
// instead of 48), and decodes several times faster. nullptr when it does not
// decode or would still be more than kMaxPixels; `cmyk` when it is a CMYK
// one, which gd's decoder reads.
// No C++ object lives between the setjmp and the jumps; what changes in
// between is volatile.
gdImagePtr decodedJpeg(std::string_view bytes, bool& cmyk) {
  jpeg_decompress_struct info;
  JpegErrors errors;
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<JpegErrors*>(c->err)->back, 1); };
  errors.manager.emit_message = [](j_common_ptr, int) {};  // warnings (a cut-off file): read on, as gd does
  gdImagePtr volatile image = nullptr;
  JSAMPROW volatile row = nullptr;
  if (setjmp(errors.back)) {
    jpeg_destroy_decompress(&info);
    if (image) gdImageDestroy(image);
    std::free(row);
    return nullptr;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  if ((cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK)) std::longjmp(errors.back, 1);
  info.out_color_space = JCS_RGB;
  const unsigned longest = std::max(info.image_width, info.image_height);
  for (unsigned denominator = 8; denominator > 1 && info.scale_denom == 1; denominator /= 2)
    if (longest / denominator >= static_cast<unsigned>(kMaxSide)) info.scale_denom = denominator;
  jpeg_start_decompress(&info);
  if (static_cast<double>(info.output_width) * info.output_height > kMaxPixels) std::longjmp(errors.back, 1);
  image = gdImageCreateTrueColor(static_cast<int>(info.output_width), static_cast<int>(info.output_height));
  row = static_cast<JSAMPROW>(std::malloc(std::size_t{info.output_width} * 3));
  if (!image || !row) std::longjmp(errors.back, 1);
  while (info.output_scanline < info.output_height) {
    int* pixels = image->tpixels[info.output_scanline];
    JSAMPROW rows[1] = {row};
    jpeg_read_scanlines(&info, rows, 1);
    for (unsigned x = 0; x < info.output_width; ++x)
      pixels[x] = gdTrueColor(row[3 * x], row[3 * x + 1], row[3 * x + 2]);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  std::free(row);
  return image;
}

// A JPEG's EXIF orientation: 1 (as stored) to 8; 1 without one.
int exifOrientation(std::string_view jpeg) {
  ExifData* exif = exif_data_new_from_data(reinterpret_cast<const unsigned char*>(jpeg.data()),
                                           static_cast<unsigned int>(jpeg.size()));
  if (!exif) return 1;
  int orientation = 1;
  ExifEntry* entry = exif_data_get_entry(exif, EXIF_TAG_ORIENTATION);
  if (entry && entry->format == EXIF_FORMAT_SHORT && entry->components == 1)
    orientation = exif_get_short(entry->data, exif_data_get_byte_order(exif));
  exif_data_unref(exif);
  return orientation;
}

// The picture as the camera was held: a turn (gd turns counter-clockwise),
// then for the mirrored orientations a flip.
Image upright(Image image, int orientation) {
  struct Step {
    float turn;
    char flip;  // 'h'orizontal, 'v'ertical
  };
  static constexpr Step kSteps[9] = {{0, 0},     {0, 0},   {0, 'h'},   {180, 0}, {0, 'v'},
                                     {270, 'h'}, {270, 0}, {270, 'v'}, {90, 0}};
  if (orientation < 2 || orientation > 8) return image;
  const Step step = kSteps[orientation];
  if (step.turn != 0) {
    Image turned(gdImageRotateInterpolated(image.get(), step.turn, 0), gdImageDestroy);
    if (!turned) throw std::runtime_error("cannot turn the picture");
    image = std::move(turned);
  }
  if (step.flip == 'h') gdImageFlipHorizontal(image.get());
  if (step.flip == 'v') gdImageFlipVertical(image.get());
  return image;
}

// The picture averaged down to fit in `width` x `height`, its proportions
// kept; null when it fits already.
Image scaledInto(gdImagePtr image, int width, int height) {
  const int w = gdImageSX(image), h = gdImageSY(image);
  if (w <= width && h <= height) return Image(nullptr, gdImageDestroy);
  const double k = std::min(static_cast<double>(width) / w, static_cast<double>(height) / h);
  const int fw = std::max(1, static_cast<int>(std::lround(w * k))),
            fh = std::max(1, static_cast<int>(std::lround(h * k)));
  Image out(gdImageCreateTrueColor(fw, fh), gdImageDestroy);
  if (!out) throw std::runtime_error("cannot make the smaller picture");
  gdImageAlphaBlending(out.get(), 0);
  gdImageSaveAlpha(out.get(), 1);
  gdImageCopyResampled(out.get(), image, 0, 0, 0, 0, fw, fh, w, h);
  return out;
}

// The picture with its longest side at most kMaxSide.
Image fitted(Image image) {
  Image smaller = scaledInto(image.get(), kMaxSide, kMaxSide);
  return smaller ? std::move(smaller) : std::move(image);
}

std::string encoded(gdImagePtr image, std::string_view ext) {
  int size = 0;
  gdImageSaveAlpha(image, 1);
  void* data = ext == "jpg"   ? gdImageJpegPtr(image, &size, 85)
               : ext == "png" ? gdImagePngPtr(image, &size)
                              : gdImageGifPtr(image, &size);
  if (!data) throw std::runtime_error("cannot save the picture");
  std::string out(static_cast<const char*>(data), static_cast<std::size_t>(size));
  gdFree(data);
  return out;
}

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
  const std::string bytes = std::to_string(kMaxPictureBytes), mb = std::to_string(kMaxPictureBytes >> 20);
  // The size is checked before sending: a larger file would only be refused
  // (413) once the wait for sending it is over.
  Response().Write(R"(<html><head><meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<title>上传图片</title>
<link href="css/style.css" rel="stylesheet" type="text/css">
</head>
<body style="margin:10px;font-size:12px">
<form name="upform" method="post" enctype="multipart/form-data" action="Up_Bookpic.asp?formname=)" +
                   formName + "&amp;editname=" + fieldName + R"(">
<p>选择图片：<input type="file" name="file1" accept="image/jpeg,image/png,image/gif"> 不超过 )" +
                   mb + R"( MB</p>
<p><input type="submit" name="Submit" value="上传图片" class="button"> 支持 JPG、PNG、GIF 图片；大图片存放时缩小到 )" +
                   std::to_string(kMaxSide) + R"( 像素。</p>
</form>
<script type="text/javascript">
document.forms.upform.addEventListener('submit', function (e) {
  var files = this.elements.file1.files;
  if (files && files.length && files[0].size > )" +
                   bytes + R"() {
    alert('图片太大：不能超过 )" +
                   mb + R"( MB！');
    e.preventDefault();
  }
});
</script>
</body></html>
)");
}

}  // namespace

std::optional<WebPicture> webPicture(std::string_view bytes) {
  if (bytes.size() > kMaxPictureBytes || bytes.size() < 8) return std::nullopt;
  void* data = const_cast<char*>(bytes.data());
  const int size = static_cast<int>(bytes.size());
  std::string_view ext = startsWith(bytes, "\xFF\xD8\xFF")                             ? "jpg"
                         : startsWith(bytes, std::string_view("\x89PNG\r\n\x1A\n", 8)) ? "png"
                         : startsWith(bytes, "GIF87a") || startsWith(bytes, "GIF89a")  ? "gif"
                                                                                       : "";
  if (ext.empty()) return std::nullopt;
  // Those gd decodes (at their full size) are refused first when they declare too many pixels.
  const bool few = declaredPixels(bytes, ext) <= kMaxPixels;
  bool cmyk = false;
  Image image(ext == "jpg"   ? decodedJpeg(bytes, cmyk)
              : !few         ? nullptr
              : ext == "png" ? gdImageCreateFromPngPtr(size, data)
                             : gdImageCreateFromGifPtr(size, data),
              gdImageDestroy);
  if (cmyk && few) image.reset(gdImageCreateFromJpegPtrEx(size, data, 1));
  if (!image) return std::nullopt;
  image = fitted(std::move(image));
  if (ext == "jpg") image = upright(std::move(image), exifOrientation(bytes));
  WebPicture out{ext, encoded(image.get(), ext), gdImageSX(image.get()), gdImageSY(image.get()), {}};
  if (Image small = scaledInto(image.get(), storefront::kSmallCopyWidth, storefront::kSmallCopyHeight))
    out.small = encoded(small.get(), ext);
  return out;
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
  if (file->bytes.size() > kMaxPictureBytes)
    refuse("图片太大：不能超过 " + std::to_string(kMaxPictureBytes >> 20) + " MB！");
  std::optional<WebPicture> picture = webPicture(file->bytes);
  if (!picture) refuse("只能上传 JPG、PNG 或 GIF 图片（不超过 " + std::to_string(kMaxPixels / 10000) + " 万像素）！");

  // Through MapPath: an installed site keeps uploads outside its read-only web root.
  std::filesystem::path folder = Server().MapPath("/" + std::string(kFolder));
  std::filesystem::create_directories(folder);
  std::string name = randomName() + "." + std::string(picture->extension);
  std::string path = std::string(kFolder) + "/" + name;
  // The small copy first: once the picture's path is handed out, its copy is there.
  if (!picture->small.empty())
    writeNewFile((folder / std::filesystem::path(storefront::smallCopyPath(path)).filename()).string(), picture->small);
  writeNewFile((folder / name).string(), picture->bytes);

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
