#include "accounts/code_image.h"

#include <gd.h>
#include <gdfontg.h>
#include <sodium.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "frame/component.h"
#include "frame/http_details.h"
#include "frame/module1.h"
#include "frame/text.h"

namespace tovi::accounts {
namespace {

int rnd(int n) { return static_cast<int>(randombytes_uniform(static_cast<std::uint32_t>(n))); }

struct ImageDeleter {
  void operator()(gdImagePtr im) const { gdImageDestroy(im); }
};

}  // namespace

std::string randomCode() {
  if (sodium_init() < 0) throw std::runtime_error("libsodium could not be initialised");
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04u", static_cast<unsigned>(randombytes_uniform(10000)));
  return buf;
}

std::string drawCodeImage(std::string_view code) {
  const int width = 60, height = 20;
  std::unique_ptr<gdImage, ImageDeleter> im(gdImageCreateTrueColor(width, height));
  if (!im) throw std::runtime_error("libgd could not create an image");
  gdImagePtr p = im.get();
  gdImageFilledRectangle(p, 0, 0, width - 1, height - 1, gdTrueColor(236, 238, 250));
  for (int i = 0; i < 60; ++i)
    gdImageSetPixel(p, rnd(width), rnd(height), gdTrueColor(150 + rnd(80), 150 + rnd(80), 190 + rnd(60)));
  for (int i = 0; i < 2; ++i)
    gdImageLine(p, rnd(width), rnd(height), rnd(width), rnd(height), gdTrueColor(170, 175, 215));
  gdFontPtr font = gdFontGetGiant();  // 9 x 15
  int x = 6;
  for (char c : code) {
    int colour = gdTrueColor(20 + rnd(60), 25 + rnd(50), 90 + rnd(70));
    gdImageChar(p, font, x + rnd(3), 1 + rnd(4), static_cast<unsigned char>(c), colour);
    x += 12;
  }
  gdImageRectangle(p, 0, 0, width - 1, height - 1, gdTrueColor(147, 149, 192));
  int size = 0;
  void* png = gdImagePngPtr(p, &size);
  if (!png) throw std::runtime_error("libgd could not encode the image");
  std::string bytes(static_cast<const char*>(png), static_cast<std::size_t>(size));
  gdFree(png);
  return bytes;
}

namespace {

class getcode : public frame::Component {
 public:
  void main();
};

void getcode::main() {
  using namespace frame::Module1;
  frame::HttpDetails& http = Http();
  std::string code = http.option("fixed-code");
  if (code.empty()) code = randomCode();
  Session().Set(kCodeSessionKey, data::Value(code));
  http.setHeader("Cache-Control", "no-store, no-cache, must-revalidate");
  http.setHeader("Pragma", "no-cache");
  http.sendBinary("image/png", drawCodeImage(code));
}

const frame::PageRegistration pages([](frame::Registry& registry) { registry.addMain<getcode>("tovi.getcode"); });

}  // namespace

bool codeAccepted(std::string_view typed) {
  using namespace frame::Module1;
  std::string expected = Session().Get(kCodeSessionKey).text();
  Session().Set(kCodeSessionKey, data::Value(""));
  if (expected.empty()) expected = Http().option("fixed-code");
  std::string code = frame::trim(typed);
  return !expected.empty() && code.size() == expected.size() &&
         sodium_memcmp(code.data(), expected.data(), code.size()) == 0;
}

}  // namespace tovi::accounts
