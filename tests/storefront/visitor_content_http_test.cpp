// The visitor's guestbook, news and bulletin through the real server: posting and its refusals, the list's order and
// pages, and what the operator stored shown as the next request finds it. (The review switch and the form's checks:
// the browser's visitor walk; line breaks and escaping of stored texts: the GuestbookText table; rendered copies
// dropped at a change of the database: the host's rendered-page table.)
#include <regex>

#include "support/over_http.h"

namespace {

// A message with markup in every text and the optional fields left empty.
Fields message() {
  return {{"UserName", "<b>名字</b>"}, {"UserMail", ""}, {"qq", ""}, {"Title", "<i>标题</i>"},
          {"Comments", "<script>alert(1)</script>\r\n二"}, {"verifycode", "1234"}};
}

HttpResponse post(HttpClient& http, const Fields& fields) {
  EXPECT_EQ(http.get("/GetCode.asp").status, 200);
  return postOwn(http, "/guestbook.asp?action=post", gbkForm(fields));
}

// Titles of the listed messages, in the order shown.
std::vector<std::string> titles(const std::string& page) {
  static const std::regex title("<b>(T\\d\\d)</b>");
  std::vector<std::string> out;
  for (std::sregex_iterator it(page.begin(), page.end(), title), end; it != end; ++it) out.push_back((*it)[1]);
  return out;
}

const char kShown[] = "已经显示";
struct Visitor : StaffedSite, ::testing::Test {};
}  // namespace

// A post is stored as typed and shown escaped, the operator's reply too. Bad posts store nothing, and only stored ones
// count towards the limit of three an address.
TEST_F(Visitor, GuestbookStoresPostsAsTypedRefusesBadOnesAndLimitsEachAddress) {
  ASSERT_THAT(post(visitor, message()).text(), HasSubstr(kShown));
  auto stored = [&](const char* field) { return id("Feedback", field, "1=1 order by ID desc"); };
  for (auto [field, value] : {std::pair{"UserName", "<b>名字</b>"}, {"Title", "<i>标题</i>"},
                              {"Comments", "<script>alert(1)</script><BR>二"}, {"top", "0"}, {"del", "False"}})
    EXPECT_EQ(stored(field), value) << field;
  EXPECT_EQ(stored("PostDate"), stored("Dates"));
  liveExec(server, data::Sql("update Feedback set Replay=?, ReplayDate=?",
                             {"谢谢<img src=x><BR>再来", data::DateTime{2025, 2, 3, 9, 30, 0}}));
  expectTexts(visitor.get("/guestbook.asp").text(),
              {"&lt;b&gt;名字&lt;/b&gt;", "&lt;i&gt;标题&lt;/i&gt;", "&lt;script&gt;alert(1)&lt;/script&gt;<br>二",
               "谢谢&lt;img src=x&gt;<br>再来", "2025-2-3 9:30:00"},
              {"<i>", "<b>名字", "<script>alert", "<img src=x"});

  const std::string target = "/guestbook.asp?action=post";
  std::vector<Ask> asks = {{&visitor, target, gbkForm(message()), {"操作被拒绝"}, OtherSite},
                           {&visitor, target, "", {"操作被拒绝"}, Site, true}};
  for (const auto& [field, value, alert] : std::initializer_list<std::tuple<const char*, std::string, const char*>>{
           {"verifycode", "9999", "验证码错误"}, {"UserMail", "wang@", "电子邮件地址不正确"},
           {"UserName", " ", "请填写您的姓名"}, {"UserName", std::string(21, 'a'), "姓名不能超过20个字符"},
           {"qq", "1234", "QQ号码"}, {"qq", "12345a", "QQ号码"},
           {"Title", "", "请填写留言标题"}, {"Title", std::string(51, 'a'), "留言标题不能超过50个字符"},
           {"Comments", " \r\n ", "请填写留言内容"}, {"Comments", std::string(2001, 'a'), "留言内容不能超过2000个字符"}})
    asks.push_back({&visitor, target, gbkForm(withField(message(), field, value)), {alert}});
  expectRefused(asks);
  // Every field at its limit, twice more from the address; the fourth waits.
  Fields full = {{"UserName", std::string(20, 'a')}, {"UserMail", "a@b.cn"}, {"qq", "123456789012"},
                 {"Title", std::string(50, 'b')}, {"verifycode", "1234"}, {"Comments", std::string(1999, 'c') + "\r\n"}};
  for (int i = 0; i < 2; ++i) EXPECT_THAT(post(visitor, full).text(), HasSubstr(kShown)) << i;
  EXPECT_THAT(post(visitor, message()).text(), HasSubstr("太频繁"));
  EXPECT_EQ(liveValue(server, "select * from Feedback"), "3");
}

// (A page number past the last or no number: the WantedPage table.)
TEST_F(Visitor, GuestbookShowsPinnedFirstThenNewestTenAPage) {
  // A message posted `minute` minutes after 8:00, as the operator's side stores one.
  auto add = [&](const std::string& title, int minute, int top = 0, int online = 1, bool del = false) {
    const data::DateTime at = data::DateTime{2025, 1, 1, 8, 0, 0}.addSeconds(60L * minute);
    liveExec(server, data::Sql("insert into Feedback (Title, UserName, Comments, PostDate, Dates, top, Online, del) "
                               "values (?, '客人', '好', ?, ?, ?, ?, ?)", {title, at, at, top, online, del}));
  };
  for (int i = 1; i <= 25; ++i) add((i < 10 ? "T0" : "T") + std::to_string(i), i, i <= 2);  // T01, T02 pinned
  add("T90", 90, 0, 0);        // hidden
  add("T91", 91, 0, 1, true);  // deleted
  using V = std::vector<std::string>;
  EXPECT_EQ(titles(visitor.get("/guestbook.asp").text()),
            (V{"T02", "T01", "T25", "T24", "T23", "T22", "T21", "T20", "T19", "T18"}));
  const std::string second = visitor.get("/guestbook.asp?page=2").text();
  EXPECT_EQ(titles(second), (V{"T17", "T16", "T15", "T14", "T13", "T12", "T11", "T10", "T09", "T08"}));
  EXPECT_THAT(second, HasSubstr("共25条留言"));
  EXPECT_EQ(titles(visitor.get("/guestbook.asp?page=3").text()), (V{"T07", "T06", "T05", "T04", "T03"}));
}

// (Which ids read as ids: the PositiveId table.)
TEST_F(Visitor, NewsAndBulletinShowWhatTheOperatorStored) {
  EXPECT_THAT(visitor.get("/news.asp").text(), HasSubstr("暂时没有新闻"));
  for (int i = 1; i <= 21; ++i)
    liveExec(server, data::Sql("insert into cyxw (title, content, dates) values (?, ?, ?)",
                               {"新闻" + std::to_string(i) + "<s>", "<p class=rich>正文" + std::to_string(i) + "</p>",
                                data::DateTime{2025, 3, i, 12, 0, 0}}));
  std::string first = visitor.get("/news.asp").text();
  EXPECT_THAT(first, HasSubstr("<a href='newsitem.asp?id=21'>新闻21&lt;s&gt;</a>"));
  EXPECT_LT(first.find("id=21'"), first.find("id=20'"));
  expectTexts(visitor.get("/news.asp?page=2").text(), {"id=1'"}, {"id=2'"});
  // The operator's markup as stored.
  expectTexts(visitor.get("/newsitem.asp?id=7").text(), {"新闻7&lt;s&gt;", "<p class=rich>正文7</p>"});
  for (const char* bad : {"", "?id=abc", "?id=99"}) EXPECT_EQ(visitor.get(std::string("/newsitem.asp") + bad).status, 404);
  // The bulletin: the operator's markup as stored; the back office's placeholder, saved unchanged, shows none.
  for (auto [content, onHome, own] : {std::tuple{"", false, "暂时没有公告"}, {"<b>本周八折</b>", true, "<b>本周八折</b>"},
                                      {"暂时没有消息！！", false, "暂时没有公告"}}) {
    liveExec(server, data::Sql("update bulletin set content=?", {content}));
    const std::string box = "class='box bulletin'><h2>网站公告</h2><div class=body>" + std::string(own);
    EXPECT_EQ(visitor.get("/index.asp").text().find(box) != std::string::npos, onHome) << content;
    EXPECT_THAT(visitor.get("/bulletin.asp").text(), HasSubstr(own)) << content;
  }
}
