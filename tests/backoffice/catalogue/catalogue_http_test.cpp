// The catalogue pages over HTTP: what the picture upload stores and everything it refuses; the dish saves,
// list deletes and guestbook replies refused from elsewhere or with bad ids or ticks. (What the forms store
// and show, and bad prices: tests/backoffice/catalogue.)
#include <gd.h>

#include <algorithm>
#include <fstream>
#include <regex>

#include "support/over_http.h"
#include "backoffice/catalogue/picture_upload.h"

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

struct Upload : StaffedSite, ::testing::Test {
  const std::string type = "multipart/form-data; boundary=" + kBoundary;
  HttpResponse send(const std::string& fileName, const std::string& bytes) {
    return owner.post(kTarget, multipart(fileName, bytes), type, {{"Origin", owner.origin()}});
  }
};
}  // namespace

// (Handed to the opener's form and shown on the storefront: the browser's catalogue walk.)
TEST_F(Upload, PictureIsStoredAsSentUnderAServerChosenNameOfItsContentsType) {
  std::string bytes = picture(), text = send("我的菜.png", bytes).text();
  std::smatch m;
  ASSERT_TRUE(std::regex_search(text, m, std::regex("var path = '(uploadpic/[0-9a-f]{32}\\.png)';")));
  ASSERT_EQ(std::count_if(std::filesystem::directory_iterator(server.root() + "/uploadpic"), {},
                          [](const auto& e) { return e.path().filename() != ".keep"; }), 1);
  std::ifstream in(std::filesystem::path(server.root()) / m[1].str(), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), bytes);
  // The type comes from the content: a GIF named .jpg is stored as .gif.
  EXPECT_THAT(send("x.jpg", picture(true)).text(), ::testing::ContainsRegex("uploadpic/[0-9a-f]{32}\\.gif"));
}

TEST_F(Upload, EverythingButOnePictureFromALoggedInOperatorIsRefused) {
  std::string big =
      picture() + std::string(backoffice::catalogue::kMaxPictureBytes, '\0');  // 2 MB and a bit: under the host's limit
  std::vector<Ask> asks = {
      {&owner, kTarget, multipart("menu.png", "<% Response.Write 1 %> this is text, not a picture"), {"只能上传"}},
      {&owner, kTarget, multipart("shell.asp", "<%@ Language=VBScript %>"), {"只能上传"}},
      {&owner, kTarget, multipart("a.png", picture().substr(0, 40)), {"只能上传"}},
      {&owner, kTarget, multipart("big.png", big), {"不能超过 2 MB"}},
      {&owner, kTarget, multipart("../../admin/x.png", picture()), {"不能包含路径"}},
      {&owner, kTarget, multipart("", ""), {"请选择"}},
      {&owner, kTarget, multipart("a.png", picture()), {"操作被拒绝"}, OtherSite},
      {&visitor, kTarget, multipart("a.png", picture()), {"网络超时或者您还没有登录请登录"}},
      {&owner, "/Up_Bookpic.asp?formname=form1');alert(1);//&editname=addname", "", {"上传参数错误"}, Site, true},
  };
  for (Ask& a : asks) a.type = type;
  expectRefused(asks);
  EXPECT_THAT(owner.get(kTarget).text(), HasSubstr(R"(enctype="multipart/form-data")"));
  EXPECT_THAT(visitor.get(kTarget).text(), Not(HasSubstr("<form")));
}

struct Catalogue : StaffedSite, ::testing::Test {};

TEST_F(Catalogue, ForeignOrBadSavesAndDeletesChangeNothing) {
  const std::string drink = id("cygl", "id", "lei2=3"), save = "/admin/ylxgedit.asp?action=save&id=" + drink,
                    add = "/admin/kcdgadd.asp?form1up=yes", dish = "newsname=x&jiage=1234&fblx=xp", refused = "操作被拒绝";
  // A link from anywhere is a GET: it never saves or deletes either.
  std::vector<Ask> asks = {{&owner, save, dish, {refused}, OtherSite},
                           {&owner, add, dish, {refused}, OtherReferer},
                           {&owner, save + "&" + dish, "", {refused}, Site, true},
                           {&owner, add + "&" + dish, "", {refused}, Site, true},
                           {&owner, "/admin/ylxg.asp?action=del&selectdel=" + drink, "", {refused}, Site, true},
                           {&owner, "/admin/bulletin.asp?action=save", "Content=hacked", {refused}, OtherReferer}};
  for (const std::string& ticked : {drink + ") or (1=1", drink + ", x", drink + ",," + drink, drink + ".5"})
    asks.push_back({&owner, "/admin/ylxg.asp?action=del", "selectdel=" + urlEncode(ticked), {"所选的编号无效"}});

  // The guestbook's: a message's reply and deletes.
  liveExec(server, "insert into Feedback (UserName, Comments, top, Online, del) values ('客', '你好', 0, 1, 0)");
  liveExec(server, "insert into Feedback (UserName, Comments, top, Online, del) values ('删', '你好', 0, 1, 1)");
  const std::string book = "/admin/book_admin.asp", shown = id("Feedback", "ID", "del=0"),
                    removed = id("Feedback", "ID", "del=1"), noId = "无此留言编号", none = "无此留言，";
  auto reply = [](const char* top, const char* online) {
    return gbkForm({{"comments", "改"}, {"Replay", "r"}, {"top", top}, {"Online", online}, {"send", "ok"}});
  };
  for (auto [message, top, online, answer] :
       {std::tuple{std::string(), "0", "1", noId}, {shown + " or 1=1", "0", "1", noId}, {"999", "0", "1", none},
        {removed, "0", "1", none}, {shown, "5", "1", "请选择"}, {shown, "0", "", "请选择"}})
    asks.push_back({&owner, book + "?action=replay&id=" + urlEncode(message), reply(top, online), {answer}});
  asks.push_back({&owner, book + "?action=replay&id=" + shown, reply("0", "1"), {refused}, OtherSite});
  asks.push_back({&owner, book, gbkForm({{"action", "删除"}, {"id", shown}}), {refused}, OtherSite});
  asks.push_back({&owner, book, gbkForm({{"action", "删除"}, {"id", shown + ", 0x1"}}), {"没有删除任何留言"}});
  asks.push_back({&owner, book, gbkForm({{"action", "删除"}}), {"没有选择合适参数"}});
  expectRefused(asks);
}
