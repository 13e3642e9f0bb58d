// The back-office pages that back up, compact and restore the database.
#include <fstream>

#include "data/maintenance.h"
#include "support/over_http.h"
#include "backoffice/shell/maintenance.h"

using namespace tovi::backoffice::shell;
namespace fs = std::filesystem;

// (Backup and restore under arriving orders, and a junk file refused: tests/host/service_http_test.cpp.)
TEST(Maintenance, BackupNamesAndListing) {
  EXPECT_EQ(backupName(2024, 3, 9, 7, 5, 1), "tamlo-20240309-070501.mdb");
  FakeSite site;
  const std::string folder = site.root() + "/database/backup";
  fs::create_directories(folder + "/tamlo-dir.mdb");
  for (const char* n : {"tamlo-20240101-000000.mdb", "tamlo-20240309-101500.mdb", "other.mdb", "tamlo-x.txt"})
    std::ofstream(folder + "/" + n) << "x";
  EXPECT_THAT(listBackups(folder), ElementsAre("tamlo-20240309-101500.mdb", "tamlo-20240101-000000.mdb"));
  EXPECT_TRUE(listBackups(site.root() + "/nowhere").empty());
  EXPECT_EQ(sizeText(812), "812 字节");
  EXPECT_EQ(sizeText(36045), "35.2 KB");
}

// On a fixed clock, for the names.
TEST(MaintenancePages, BackupThenRestoreThroughThePages) {
  FakeSite site;
  const std::string folder = site.root() + "/database/backup";
  addMember(site, Member{.names = "kept"});
  auto post = [&](const std::string& page, Fields form, data::DateTime now) {
    FakeRequest req = operatorOf(1);
    req.sameSitePost();
    req.form = std::move(form);
    req.now = now;
    return site.run("tovi.database_menager" + page, req, "admin").body;
  };
  EXPECT_THAT(post("2", {}, {2024, 3, 9, 10, 15, 0}), HasSubstr("备份完成：database/backup/tamlo-20240309-101500.mdb"));
  // A second backup in the same second gets its own name.
  EXPECT_THAT(post("2", {}, {2024, 3, 9, 10, 15, 0}), HasSubstr("tamlo-20240309-101500-2.mdb"));
  addMember(site, Member{.names = "lost"});
  FakeRequest list = operatorOf(1);
  list.http = true;
  EXPECT_THAT(site.run("tovi.database_menager4", list, "admin").body,
              HasSubstr("<input type='radio' name='backup' value='tamlo-20240309-101500.mdb'>"));
  EXPECT_THAT(post("4", {{"backup", "tamlo-20240309-101500.mdb"}}, {2024, 3, 9, 11, 0, 0}),
              HasSubstr("已恢复备份 tamlo-20240309-101500.mdb；恢复前的数据库已备份为 tamlo-20240309-110000.mdb。"));
  EXPECT_EQ(rowCount(site, "reg"), 1);
  // The safety copy is there: a backup never overwrites a file.
  EXPECT_THROW(data::backup(site.databasePath(), folder + "/tamlo-20240309-110000.mdb"), data::Error);
}

struct MaintenanceOverHttp : StaffedSite, ::testing::Test {};

TEST_F(MaintenanceOverHttp, PagesShowTheDatabaseAndCompactKeepsIt) {
  for (const char* page : {"1", "2", "3", "4"})
    expectTexts(owner.get(std::string("/admin/database_menager") + page + ".asp").text(),
                {"database/tamlo.mdb", "文件大小："});
  EXPECT_THAT(owner.get("/admin/database_menager1.asp").text(), HasSubstr("不需要改用隐秘的文件名"));
  const std::string dishes = liveValue(server, "select * from cygl");
  EXPECT_THAT(postOwn(owner, "/admin/database_menager3.asp", "Submit=1").text(), HasSubstr("压缩完成："));
  EXPECT_EQ(liveValue(server, "select * from cygl"), dishes);
}

TEST_F(MaintenanceOverHttp, RightOneOnlySameSitePostsOnlyAndRestoresOnlyFromTheBackupFolder) {
  fs::create_directories(server.root() + "/database/backup");
  std::vector<Ask> asks = {{&owner, "/admin/database_menager2.asp", "Submit=1", {"操作被拒绝"}, OtherSite}};
  for (const char* page : {"1", "2", "3", "4"})
    asks.push_back(
        {&clerk, std::string("/admin/database_menager") + page + ".asp", "Submit=1", {"alert('您没有管理权限!!')"}});
  for (const char* name : {"", "../tamlo.mdb", "../../etc/passwd", "tamlo-20990101-000000.mdb", "/tmp/x.mdb"})
    asks.push_back(
        {&owner, "/admin/database_menager4.asp", "backup=" + urlEncode(name) + "&Submit=1", {"history.go(-1)"}});
  expectRefused(asks);
}
