// The back office's changes through the real server: what the saves and the upload store, what they refuse, two
// owners demoting each other at once; the passwd command. (The upload handed to the form and shown: the browser.)
#include <gd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
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
const std::string kBoundary = "----toviTestBoundary7MA4YWxk", kMultipart = "multipart/form-data; boundary=" + kBoundary,
                  kUpload = "/Up_Bookpic.asp?formname=form1&editname=addname&uppath=pic&filelx=jpg";
// A photo taken with the camera turned right (EXIF orientation 6), its top-left corner red.
std::string turnedPhoto(int width, int height) {
  gdImagePtr image = gdImageCreateTrueColor(width, height);
  gdImageFilledRectangle(image, 0, 0, 299, 199, gdTrueColorAlpha(255, 0, 0, 0));
  int size = 0;
  char* jpeg = static_cast<char*>(gdImageJpegPtr(image, &size, 90));
  std::string photo(jpeg, static_cast<std::size_t>(size));
  gdFree(jpeg);
  gdImageDestroy(image);
  const std::string exif(
      "\xFF\xE1\0\x22"
      "Exif\0\0"
      "MM\0\x2A\0\0\0\x08"
      "\0\x01"
      "\x01\x12\0\x03\0\0\0\x01\0\x06\0\0"
      "\0\0\0\0",
      36);
  return photo.insert(2, exif);  // APP1 right after the start of image
}
// "width x height" of a stored JPEG or PNG, and whether its top-left and top-right corners are red.
std::string shape(const std::string& bytes) {
  void* data = const_cast<char*>(bytes.data());
  const int size = static_cast<int>(bytes.size());
  gdImagePtr image =
      bytes.starts_with("\x89PNG") ? gdImageCreateFromPngPtr(size, data) : gdImageCreateFromJpegPtr(size, data);
  if (!image) return "none";
  const int w = gdImageSX(image), h = gdImageSY(image);
  auto red = [&](int x) { return gdTrueColorGetRed(gdImageGetTrueColorPixel(image, x, 2)) > 200 ? " red" : " -"; };
  std::string out = std::to_string(w) + "x" + std::to_string(h) + red(2) + red(w - 3);
  gdImageDestroy(image);
  return out;
}
std::string multipart(const std::string& fileName, const std::string& bytes) {
  return "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"file1\"; filename=\"" + fileName +
         "\"\r\nContent-Type: image/png\r\n\r\n" + bytes + "\r\n--" + kBoundary + "--\r\n";
}

struct BackOffice : StaffedSite, ::testing::Test {
  std::string clerkId = id("wq_admin", "adminid", "flag=2"), ownerId = id("wq_admin", "adminid", "flag=1");
  std::string m = [this] {
    liveExec(server, "insert into reg (names, sh, tel, address) values ('lisi', 0, '0591-1234567', 'x')");
    return id("reg", "id", "names='lisi'");
  }();
  static bool is(const std::string& stored, const std::string& password) {
    return accounts::verifyPassword(stored, password) == accounts::PasswordMatch::Yes;
  }
  // "name|right|password" of the account, the password "?" unless it is `password`.
  std::string account(const std::string& adminid, const std::string& password) {
    const std::string row = "select * from wq_admin where adminid=" + adminid;
    return liveValue(server, row, "admin") + "|" + liveValue(server, row, "flag") + "|" +
           (is(liveValue(server, row, "password"), password) ? password : "?");
  }
  std::string member(const std::string& field) { return liveValue(server, "select * from reg where id=" + m, field); }
};
}  // namespace

TEST(PictureUpload, TheTypeComesFromBytesThatDecode) {
  const std::string png = picture("png"), huge = std::string(png).replace(16, 8, std::string("\0\1\0\0\0\1\0\0", 8));
  for (auto [bytes, type] : {std::pair{png, "png"},
                             {picture("gif"), "gif"},
                             {picture("jpg"), "jpg"},
                             {png.substr(0, 40), ""},
                             {"GIF89a, then text", ""},
                             {"<%@ Language=VBScript %>", ""},
                             {huge, ""}}) {  // 65536 x 65536 declared: refused before decoding
    auto stored = backoffice::catalogue::webPicture(bytes);
    EXPECT_EQ(stored ? stored->extension : "", type) << bytes.substr(0, 8);
  }
}

TEST_F(BackOffice, SavesStoreWhatWasAskedAsAnArgonHashAndDeletesAskFirst) {
  // A member's approval and, when given, a new password; a delete on the post only (a GET asks: the refusals).
  postOwn(clerk, "/admin/reg2.asp?id=" + m, "sh=1&password=&password1=");
  EXPECT_EQ(member("sh") + "|" + member("password"), "1|");
  postOwn(clerk, "/admin/reg2.asp?id=" + m, "sh=0&password=+new.pass_1+&password1=+new.pass_1+");
  EXPECT_EQ(member("sh") + "|" + std::to_string(is(member("password"), "new.pass_1")), "0|1");
  postOwn(clerk, "/admin/reg3.asp?id=" + m, "");
  EXPECT_EQ(member("names"), "<none>");
  const std::string s = "/admin/saveadmin.asp?", edit = s + "action=edit&id=" + clerkId;
  postOwn(clerk, "/admin/renpassword.asp?action=save",
          "oldpassword=clerk-pass&newpassword=next-pass&newpassword2=next-pass");
  postOwn(owner, edit, "admin=+cashier+&password=&flag=1");
  EXPECT_EQ(account(clerkId, "next-pass"), "cashier|1|next-pass");  // an empty password keeps the one before
  postOwn(owner, edit, "admin=cashier&password=new-pass1");          // no flag: unchanged
  EXPECT_EQ(account(clerkId, "new-pass1"), "cashier|1|new-pass1");
  // A same-site Referer without Origin is enough.
  owner.post(s + "action=add", "admin2=newbie&password2=fresh-pass&flag2=2", "application/x-www-form-urlencoded",
             {{"Referer", owner.origin() + "/admin/manageadmin.asp"}});
  const std::string newbie = id("wq_admin", "adminid", "admin='newbie'");
  EXPECT_EQ(account(newbie, "fresh-pass"), "newbie|2|fresh-pass");
  postOwn(owner, s + "id=" + newbie + "&action=del", "");
  EXPECT_EQ(account(newbie, ""), "<none>|<none>|?");
  // One's own edit updates the session (cashier owns too): the new name opens, the lowered right holds when raised.
  postOwn(owner, s + "action=edit&id=" + ownerId, "admin=chief&flag=2");
  EXPECT_THAT(owner.get("/admin/admin.asp").text(), HasSubstr("岚禾统一后台"));
  liveExec(server, "update wq_admin set flag=1 where admin='chief'");
  EXPECT_THAT(owner.get("/admin/manageadmin.asp").text(), HasSubstr("您没有管理权限!!"));
  // A picture: its type from the content, its name from the server; a photo turned upright, at most 1600 px, with a
  // small copy within 246 x 186 served beside it when larger (none for the small code image).
  const std::string png = picture("png");
  // (3400 wide: decoded at half the size, then made smaller.)
  for (auto [bytes, stored] : {std::pair{png, "png " + shape(png) + ", 404"},
                               {turnedPhoto(3000, 2000), "jpg 1067x1600 - red, 124x186 - red"},
                               {turnedPhoto(3400, 1700), "jpg 800x1600 - red, 93x186 - red"}}) {
    const std::string answer =
        owner.post(kUpload, multipart("我的菜.jpg", bytes), kMultipart, {{"Origin", owner.origin()}}).text();
    std::smatch path;
    ASSERT_TRUE(std::regex_search(answer, path, std::regex("var path = '(uploadpic/[0-9a-f]{32})\\.(png|jpg)';")));
    const HttpResponse copy = owner.get("/" + path[1].str() + "-s." + path[2].str());
    const std::string small = copy.status == 200 ? shape(copy.body) : std::to_string(copy.status);
    EXPECT_EQ(path[2].str() + " " + shape(readFile(server.root() + "/" + path[1].str() + "." + path[2].str())) +
                  ", " + small,
              stored);
  }
}

// (Every malformed id: tests/frame's positiveId table; every malformed tick list: parseIdList's.)
TEST_F(BackOffice, BadOrForeignRequestsChangeNothing) {
  HttpClient *const o = &owner, *const c = &clerk;
  const std::string s = "/admin/saveadmin.asp?", pw = "/admin/renpassword.asp?action=save", no = "操作被拒绝";
  const std::string cid = clerkId, oid = ownerId, edit = s + "action=edit&id=" + cid, reg2 = "/admin/reg2.asp?id=" + m;
  liveExec(server, "insert into Feedback (UserName, Comments, top, Online, del) values ('客', '你好', 0, 1, false), "
                   "('删', '你好', 0, 1, true)");
  const std::string drink = id("cygl", "id", "lei2=3"), save = "/admin/ylxgedit.asp?action=save&id=" + drink,
                    add = "/admin/kcdgadd.asp?form1up=yes", dish = "newsname=x&jiage=1234&fblx=xp",
                    del = "/admin/ylxg.asp?action=del", book = "/admin/book_admin.asp",
                    shown = id("Feedback", "ID", "del=false"), reply = book + "?action=replay&id=",
                    removed = id("Feedback", "ID", "del=true");
  auto answer = [](const char* top, const char* online) {
    return gbkForm({{"comments", "改"}, {"Replay", "r"}, {"top", top}, {"Online", online}, {"send", "ok"}});
  };
  std::vector<Ask> asks = {
      // Accounts and members.
      {o, s + "id=" + cid, "admin=x", {"未知的操作"}}, {o, s + "action=edit", "admin=x", {"参数错误"}},
      {o, s + "action=edit&id=9999", "admin=x", {"该用户不存在"}}, {o, edit, "admin=++", {"请填写用户名"}},
      {o, edit, "admin=admin", {"已被其他用户使用"}}, {o, edit, "admin=clerk&password=abc", {"密码长度"}},
      {o, edit, "admin=clerk&flag=3", {"权限只能是"}}, {o, s + "action=edit&id=" + oid, "admin=admin&flag=2", {"最后一个站长"}},
      {o, s + "action=add", "admin2=n&password2=&flag2=2", {"请填写新用户的密码"}},
      {o, s + "action=add", "admin2=n&password2=good-pass", {"请选择权限"}},
      {o, s + "action=add", "admin2=clerk&password2=good-pass&flag2=2", {"已存在"}},
      {o, s + "action=del&id=" + oid, "", {"不能删除当前登录的用户"}}, {o, s + "action=del&id=" + cid, "", {no}, OtherSite},
      {c, pw, "oldpassword=wrong&newpassword=next-pass&newpassword2=next-pass", {"原密码错误"}},
      {c, pw, "oldpassword=clerk-pass&newpassword=next-pass&newpassword2=next-pasz", {"两次输入的新密码不一致"}},
      {c, "/admin/reg2.asp?id=x", "sh=1", {"参数错误"}},
      {c, "/admin/reg2.asp?id=" + std::to_string(std::stoll(m) + 50), "sh=1", {"该用户不存在"}},
      {c, reg2, "sh=2", {"请选择审核与否"}}, {c, reg2, "sh=1&password1=abcdef", {"密码填写不正确"}},
      {c, reg2, "sh=1&password=abcdef&password1=abcdeg", {"两次填写的密码不一致"}},
      {c, reg2 + "&sh=1", "", {no}, Site, true}, {c, "/admin/reg3.asp?id=" + m, "", {no}, OtherReferer},
      // A delete asked for by a GET asks first.
      {o, s + "id=" + cid + "&action=del", "", {"<b>clerk</b>", "action='saveadmin.asp?id=" + cid + "&"}, Site, true},
      {c, "/admin/reg3.asp?id=" + m, "", {"<b>lisi</b>", "action='reg3.asp?id=" + m + "'"}, Site, true},
      // The catalogue and the guestbook; a link from anywhere is a GET, which never saves or deletes either.
      {o, save, dish, {no}, OtherSite}, {o, add, dish, {no}, OtherReferer},
      {o, save + "&" + dish, "", {no}, Site, true}, {o, add + "&" + dish, "", {no}, Site, true},
      {o, del + "&selectdel=" + drink, "", {no}, Site, true},
      {o, "/admin/bulletin.asp?action=save", "Content=hacked", {no}, OtherReferer},
      {o, del, "selectdel=" + percentEncode(drink + ") or (1=1"), {"所选的编号无效"}},
      {o, reply + percentEncode(shown + " or 1=1"), answer("0", "1"), {"无此留言编号"}},
      {o, reply + "999", answer("0", "1"), {"无此留言，"}}, {o, reply + removed, answer("0", "1"), {"无此留言，"}},
      {o, reply + shown, answer("5", "1"), {"请选择"}}, {o, reply + shown, answer("0", ""), {"请选择"}},
      {o, reply + shown, answer("0", "1"), {no}, OtherSite},
      {o, book, gbkForm({{"action", "删除"}, {"id", shown}}), {no}, OtherSite},
      {o, book, gbkForm({{"action", "删除"}, {"id", shown + ", 0x1"}}), {"没有删除任何留言"}},
      {o, book, gbkForm({{"action", "删除"}}), {"没有选择合适参数"}},
      {o, "/Up_Bookpic.asp?formname=form1');alert(1);//&editname=addname", "", {"上传参数错误"}, Site, true},
  };
  // The site owner's browser, driven by another site.
  for (From from : {OtherSite, OtherReferer, Nowhere})
    asks.push_back({o, s + "action=add", "admin2=sneaky&password2=sneaky-pass&flag2=1", {no}, from});
  // Pictures that are none, too big (for the page: 20 MB and a bit, under the host's limit for it; then over that),
  // with a path, missing, from elsewhere.
  const std::string png = picture("png"), big = png + std::string(backoffice::catalogue::kMaxPictureBytes, '\0');
  for (auto [who, name, bytes, says, from] :
       {std::tuple{o, "menu.png", std::string("<% Response.Write 1 %> text"), "只能上传", Site},
        {o, "big.png", big, "不能超过 20 MB", Site},
        {o, "huge.png", big + std::string(64 << 10, '\0'), "提交的内容太大", Site},
        {o, "../../admin/x.png", png, "不能包含路径", Site},
        {o, "", "", "请选择", Site},
        {o, "a.png", png, no.c_str(), OtherSite},
        {&visitor, "a.png", png, "还没有登录", Site}})
    asks.push_back({who, kUpload, multipart(name, bytes), {says}, from, false, kMultipart});
  expectRefused(asks);
}

TEST(PasswdCommand, SetsAPasswordFromStandardInput) {
  LiveServer server({.args = {"--fixed-code", "1234"}});
  auto passwd = [&](const std::string& name, const std::string& password) {
    return std::system(("echo '" + password + "' | " TOVI_BINARY " passwd " + server.siteOptions() + " " + name +
                        " >/dev/null 2>&1").c_str());
  };
  EXPECT_NE(passwd("admin", "short"), 0);
  EXPECT_NE(passwd("nobody", "brand-new-pw"), 0);
  ASSERT_EQ(passwd("admin", "brand-new-pw"), 0);
  EXPECT_TRUE(BackOffice::is(liveValue(server, "select * from wq_admin", "password"), "brand-new-pw"));  // the owner's
}

TEST(BackOfficeRace, TwoOwnersDemotingEachOtherAtOnceLeaveOne) {
  // Two I/O threads read the two posts at the same moment.
  LiveServer server({.args = {"--fixed-code", "1234", "--io-threads", "2"}});
  const std::string hash = accounts::hashPassword("owner-pass"), names[2] = {"east", "west"};
  liveExec(server, "delete from wq_admin");
  liveExec(server, data::Sql("insert into wq_admin (admin, password) values ('east', ?), ('west', ?)", {hash, hash}));
  const std::string ids[2] = {liveValue(server, "select * from wq_admin where admin='east'", "adminid"),
                              liveValue(server, "select * from wq_admin where admin='west'", "adminid")};
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    liveExec(server, "update wq_admin set flag=1");
    HttpClient owners[2] = {HttpClient(server.port()), HttpClient(server.port())};
    for (int i = 0; i < 2; ++i) ASSERT_THAT(logIn(owners[i], names[i], "owner-pass").text(), HasSubstr("top.location"));
    // Each demotes the other: both posts wait on their connections for their last byte, then arrive together.
    int sockets[2];
    for (int i = 0; i < 2; ++i) {
      const std::string body = "admin=" + names[1 - i] + "&password=&flag=2";
      std::string request = "POST /admin/saveadmin.asp?action=edit&id=" + ids[1 - i] +
                            " HTTP/1.1\r\nHost: " + owners[i].origin().substr(7) + "\r\nOrigin: " + owners[i].origin() +
                            "\r\nCookie: TOVISESSION=" + owners[i].cookies()["TOVISESSION"] +
                            "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                            std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
      ASSERT_GE(sockets[i] = connectLoopback(server.port()), 0);
      ASSERT_EQ(send(sockets[i], request.data(), request.size() - 1, 0), static_cast<ssize_t>(request.size() - 1));
    }
    for (int s : sockets) ASSERT_EQ(send(s, "2", 1, 0), 1);  // the last byte of both: flag=2
    for (int s : sockets) {
      char buf[4096];
      while (recv(s, buf, sizeof buf, 0) > 0) continue;  // to the end of the answer
      close(s);
    }
    ASSERT_EQ(liveValue(server, "select * from wq_admin where flag=1"), "1");
  }
}
