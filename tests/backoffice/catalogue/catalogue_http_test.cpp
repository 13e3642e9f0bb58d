// The picture upload, and the catalogue's changes refused from elsewhere or with bad ids or ticks, over HTTP.
// (What the forms store and show: the other tests here. The picture handed to the opener's form and shown on the
// storefront: the browser's catalogue walk.)
#include <regex>

#include "accounts/code_image.h"
#include "backoffice/catalogue/picture_upload.h"
#include "support/over_http.h"

namespace {
// Pictures of the three kinds: the site's own, and a code image for a PNG.
std::string picture(const std::string& type) {
  if (type == "png") return accounts::drawCodeImage("1234");
  return readFile(std::string(TOVI_SOURCE_DIR "/site/images/") + (type == "gif" ? "bullet.gif" : "banner.jpg"));
}
const std::string kBoundary = "----toviTestBoundary7MA4YWxk";
std::string multipart(const std::string& fileName, const std::string& bytes) {
  return "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"file1\"; filename=\"" + fileName +
         "\"\r\nContent-Type: image/png\r\n\r\n" + bytes + "\r\n--" + kBoundary + "--\r\n";
}
struct Catalogue : StaffedSite, ::testing::Test {};
}  // namespace

TEST(PictureUpload, TheTypeComesFromBytesThatDecode) {
  const std::string png = picture("png");
  for (auto [bytes, type] : {std::pair{png, "png"}, {picture("gif"), "gif"}, {picture("jpg"), "jpg"},
                             {png.substr(0, 40), ""}, {"GIF89a, then text", ""}, {"<%@ Language=VBScript %>", ""}})
    EXPECT_EQ(backoffice::catalogue::pictureExtension(bytes).value_or(""), type) << bytes.substr(0, 8);
}

TEST_F(Catalogue, OnePictureIsStoredAsSentUnderANameOfTheServersAndAllElseRefused) {
  const std::string target = "/Up_Bookpic.asp?formname=form1&editname=addname&uppath=pic&filelx=jpg",
                    type = "multipart/form-data; boundary=" + kBoundary, png = picture("png");
  // The type comes from the content, the name from the server.
  const std::string answer = owner.post(target, multipart("我的菜.jpg", png), type, {{"Origin", owner.origin()}}).text();
  std::smatch m;
  ASSERT_TRUE(std::regex_search(answer, m, std::regex("var path = '(uploadpic/[0-9a-f]{32}\\.png)';")));
  EXPECT_EQ(readFile(server.root() + "/" + m[1].str()), png);
  // 2 MB and a bit: under the host's limit.
  const std::string big = png + std::string(backoffice::catalogue::kMaxPictureBytes, '\0');
  std::vector<Ask> asks = {
      {&owner, target, multipart("menu.png", "<% Response.Write 1 %> this is text, not a picture"), {"只能上传"}},
      {&owner, target, multipart("big.png", big), {"不能超过 2 MB"}},
      {&owner, target, multipart("../../admin/x.png", png), {"不能包含路径"}},
      {&owner, target, multipart("", ""), {"请选择"}},
      {&owner, target, multipart("a.png", png), {"操作被拒绝"}, OtherSite},
      {&visitor, target, multipart("a.png", png), {"网络超时或者您还没有登录请登录"}},
      {&owner, "/Up_Bookpic.asp?formname=form1');alert(1);//&editname=addname", "", {"上传参数错误"}, Site, true},
  };
  for (Ask& a : asks) a.type = type;
  expectRefused(asks);
}

TEST_F(Catalogue, ForeignOrBadSavesAndDeletesChangeNothing) {
  const std::string drink = id("cygl", "id", "lei2=3"), save = "/admin/ylxgedit.asp?action=save&id=" + drink,
                    add = "/admin/kcdgadd.asp?form1up=yes", dish = "newsname=x&jiage=1234&fblx=xp", no = "操作被拒绝";
  liveExec(server, "insert into Feedback (UserName, Comments, top, Online, del) values ('客', '你好', 0, 1, 0), "
                   "('删', '你好', 0, 1, 1)");
  const std::string book = "/admin/book_admin.asp", shown = id("Feedback", "ID", "del=0"),
                    reply = book + "?action=replay&id=", removed = id("Feedback", "ID", "del=1");
  auto ask = [&](const std::string& target, const std::string& body, const std::string& answer, From from = Site) {
    return Ask{&owner, target, body, {answer}, from};
  };
  auto answer = [](const char* top, const char* online) {
    return gbkForm({{"comments", "改"}, {"Replay", "r"}, {"top", top}, {"Online", online}, {"send", "ok"}});
  };
  // A link from anywhere is a GET: it never saves or deletes either. (Every malformed tick list: parseIdList's table.)
  expectRefused({ask(save, dish, no, OtherSite), ask(add, dish, no, OtherReferer),
                 {&owner, save + "&" + dish, "", {no}, Site, true}, {&owner, add + "&" + dish, "", {no}, Site, true},
                 {&owner, "/admin/ylxg.asp?action=del&selectdel=" + drink, "", {no}, Site, true},
                 ask("/admin/bulletin.asp?action=save", "Content=hacked", no, OtherReferer),
                 ask("/admin/ylxg.asp?action=del", "selectdel=" + urlEncode(drink + ") or (1=1"), "所选的编号无效"),
                 ask(reply + urlEncode(shown + " or 1=1"), answer("0", "1"), "无此留言编号"),
                 ask(reply + "999", answer("0", "1"), "无此留言，"), ask(reply + removed, answer("0", "1"), "无此留言，"),
                 ask(reply + shown, answer("5", "1"), "请选择"), ask(reply + shown, answer("0", ""), "请选择"),
                 ask(reply + shown, answer("0", "1"), no, OtherSite),
                 ask(book, gbkForm({{"action", "删除"}, {"id", shown}}), no, OtherSite),
                 ask(book, gbkForm({{"action", "删除"}, {"id", shown + ", 0x1"}}), "没有删除任何留言"),
                 ask(book, gbkForm({{"action", "删除"}}), "没有选择合适参数")});
}
