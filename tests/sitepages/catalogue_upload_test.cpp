// The picture upload page over HTTP: what it stores, and everything it refuses.
#include <gd.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "sitepages/upload_page.h"
#include "over_http.h"

using namespace tovi;
using namespace tovi::testing;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

const std::string kTarget = "/Up_Bookpic.asp?formname=form1&editname=addname&uppath=pic&filelx=jpg";

// A small picture, as GD writes it.
std::string picture(bool gif = false) {
  gdImagePtr im = gdImageCreate(8, 6);
  gdImageColorAllocate(im, 200, 40, 40);
  int size = 0;
  void* data = gif ? gdImageGifPtr(im, &size) : gdImagePngPtr(im, &size);
  std::string bytes(static_cast<const char*>(data), static_cast<std::size_t>(size));
  gdFree(data);
  gdImageDestroy(im);
  return bytes;
}

const std::string kBoundary = "----toviTestBoundary7MA4YWxk";

std::string multipart(const std::string& fileName, const std::string& bytes) {
  return "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"file1\"; filename=\"" + fileName +
         "\"\r\nContent-Type: image/png\r\n\r\n" + bytes + "\r\n--" + kBoundary +
         "\r\nContent-Disposition: form-data; name=\"Submit\"\r\n\r\nup\r\n--" + kBoundary + "--\r\n";
}

class Upload : public ::testing::Test {
 protected:
  Upload() : server_(kFixedCode), http_(server_.port()) {}
  void login() { http_ = asOwner(server_); }

  HttpResponse send(const std::string& fileName, const std::string& bytes, bool sameSite = true) {
    std::map<std::string, std::string> headers;
    if (sameSite) headers["Origin"] = http_.origin();
    return http_.post(kTarget, multipart(fileName, bytes), "multipart/form-data; boundary=" + kBoundary, headers);
  }

  // The stored uploads (the folder's .keep aside).
  std::vector<std::filesystem::path> stored() const {
    std::vector<std::filesystem::path> files;
    std::filesystem::path dir = std::filesystem::path(server_.root()) / "uploadpic";
    if (!std::filesystem::exists(dir)) return files;
    for (const auto& e : std::filesystem::directory_iterator(dir))
      if (e.path().filename() != ".keep") files.push_back(e.path());
    return files;
  }

  LiveServer server_;
  HttpClient http_;
};

// (Handed to the opener's form and shown on the storefront: the browser's catalogue walk.)
TEST_F(Upload, PictureIsStoredAsSentUnderAServerChosenNameOfItsContentsType) {
  login();
  EXPECT_THAT(http_.get(kTarget).text(), HasSubstr(R"(enctype="multipart/form-data")"));
  std::string bytes = picture();
  std::smatch m;
  std::string text = send("我的菜.png", bytes).text();
  ASSERT_TRUE(std::regex_search(text, m, std::regex("var path = '(uploadpic/[0-9a-f]{32}\\.png)';")));
  ASSERT_EQ(stored().size(), 1u);
  std::ifstream in(std::filesystem::path(server_.root()) / m[1].str(), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), bytes);
  // The type comes from the content: a GIF named .jpg is stored as .gif.
  EXPECT_THAT(send("x.jpg", picture(true)).text(), ::testing::ContainsRegex("uploadpic/[0-9a-f]{32}\\.gif"));
}

TEST_F(Upload, EverythingButOnePictureIsRefused) {
  login();
  std::string big = picture() + std::string(sitepages::kMaxPictureBytes, '\0');  // 2 MB and a bit: under the host's limit
  struct Case {
    std::string name, fileName, bytes, answer;
  };
  const Case cases[] = {
      {"renamed text file", "menu.png", "<% Response.Write 1 %> this is text, not a picture", "只能上传"},
      {"page file", "shell.asp", "<%@ Language=VBScript %>", "只能上传"},
      {"broken picture", "a.png", picture().substr(0, 40), "只能上传"},
      {"over the limit", "big.png", big, "不能超过 2 MB"},
      {"path in the name", "../../admin/x.png", picture(), "不能包含路径"},
      {"no file", "", "", "请选择"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HttpResponse r = send(c.fileName, c.bytes);
    EXPECT_THAT(r.text(), HasSubstr(c.answer));
    EXPECT_THAT(r.text(), Not(HasSubstr("uploadpic/")));
  }
  EXPECT_THAT(send("a.png", picture(), false).text(), HasSubstr("操作被拒绝"));
  EXPECT_TRUE(stored().empty());
}

TEST_F(Upload, OnlyForLoggedInOperators) {
  HttpResponse r = send("a.png", picture());
  EXPECT_THAT(r.text(), HasSubstr("网络超时或者您还没有登录请登录"));
  EXPECT_THAT(http_.get(kTarget).text(), Not(HasSubstr("<form")));
  EXPECT_TRUE(stored().empty());
  login();
  EXPECT_THAT(http_.get("/Up_Bookpic.asp?formname=form1');alert(1);//&editname=addname").text(),
              HasSubstr("上传参数错误"));
}

}  // namespace
