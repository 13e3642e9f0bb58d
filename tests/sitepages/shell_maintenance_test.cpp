// The back-office pages that back up, compact and restore the database.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/site_rows.h"
#include "data/maintenance.h"
#include "sitepages/maintenance_pages.h"

using namespace tovi;
using namespace tovi::testing;
using namespace tovi::sitepages;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
namespace fs = std::filesystem;

namespace {

std::string backupFolder(FakeSite& site) { return site.root() + "/database/backup"; }

// (Backup and restore under arriving orders, and a junk file refused: tests/host/service_http_test.cpp.)
TEST(Maintenance, BackupNamesAndListing) {
  EXPECT_EQ(backupName(2024, 3, 9, 7, 5, 1), "tamlo-20240309-070501.mdb");
  FakeSite site;
  fs::create_directories(backupFolder(site));
  for (const char* n : {"tamlo-20240101-000000.mdb", "tamlo-20240309-101500.mdb", "other.mdb", "tamlo-x.txt"})
    std::ofstream(backupFolder(site) + "/" + n) << "x";
  fs::create_directories(backupFolder(site) + "/tamlo-dir.mdb");
  EXPECT_THAT(listBackups(backupFolder(site)), ElementsAre("tamlo-20240309-101500.mdb", "tamlo-20240101-000000.mdb"));
  EXPECT_TRUE(listBackups(site.root() + "/nowhere").empty());
  EXPECT_EQ(sizeText(812), "812 字节");
  EXPECT_EQ(sizeText(36045), "35.2 KB");
}

FakeRequest ownerPost(std::vector<std::pair<std::string, std::string>> form = {}) {
  FakeRequest req = operatorOf(1);
  req.sameSitePost();
  req.form = std::move(form);
  req.now = data::DateTime{2024, 3, 9, 10, 15, 0};
  return req;
}

TEST(MaintenancePages, BackupThenRestoreThroughThePages) {
  FakeSite site;
  addMember(site, Member{.names = "kept"});
  FakeRequest backup = ownerPost();
  EXPECT_THAT(site.run("tovi.database_menager2", backup, "admin").body,
              HasSubstr("备份完成：database/backup/tamlo-20240309-101500.mdb"));
  // A second backup in the same second gets its own name.
  EXPECT_THAT(site.run("tovi.database_menager2", backup, "admin").body, HasSubstr("tamlo-20240309-101500-2.mdb"));

  addMember(site, Member{.names = "lost"});
  FakeRequest list = operatorOf(1);
  list.http = true;
  EXPECT_THAT(site.run("tovi.database_menager4", list, "admin").body,
              HasSubstr("<input type='radio' name='backup' value='tamlo-20240309-101500.mdb'>"));

  FakeRequest restore = ownerPost({{"backup", "tamlo-20240309-101500.mdb"}});
  restore.now = data::DateTime{2024, 3, 9, 11, 0, 0};
  std::string body = site.run("tovi.database_menager4", restore, "admin").body;
  EXPECT_THAT(body, HasSubstr("已恢复备份 tamlo-20240309-101500.mdb；恢复前的数据库已备份为 tamlo-20240309-110000.mdb。"));
  EXPECT_EQ(rowCount(site, "reg"), 1);
  // The safety copy holds what the restore replaced; a backup never overwrites a file.
  EXPECT_TRUE(fs::exists(backupFolder(site) + "/tamlo-20240309-110000.mdb"));
  EXPECT_THROW(data::backup(site.databasePath(), backupFolder(site) + "/tamlo-20240309-110000.mdb"), data::Error);
}

TEST(MaintenancePages, RestoreOnlyNamesFromTheBackupFolder) {
  FakeSite site;
  addMember(site, Member{});
  fs::create_directories(backupFolder(site));
  for (const char* name : {"", "../tamlo.mdb", "../../etc/passwd", "tamlo-20990101-000000.mdb", "/tmp/x.mdb"}) {
    SCOPED_TRACE(name);
    FakeRequest req = ownerPost({{"backup", name}});
    PageResult page = site.run("tovi.database_menager4", req, "admin");
    EXPECT_THAT(page.body, HasSubstr("history.go(-1)"));
    EXPECT_TRUE(listBackups(backupFolder(site)).empty());
  }
  EXPECT_EQ(rowCount(site, "reg"), 1);
}

TEST(MaintenancePages, RightOneOnlyAndChangesOnlyBySameSitePost) {
  FakeSite site;
  addMember(site, Member{});
  for (int page = 1; page <= 4; ++page) {
    SCOPED_TRACE(page);
    std::string id = "tovi.database_menager" + std::to_string(page);
    FakeRequest admin = ownerPost();
    admin.session["flag"] = data::Value(2);
    EXPECT_THAT(site.run(id, admin, "admin").body, HasSubstr("alert('您没有管理权限!!')"));
    FakeRequest view = operatorOf(1);
    view.http = true;
    std::string body = site.run(id, view, "admin").body;
    EXPECT_THAT(body, HasSubstr("database/tamlo.mdb"));
    EXPECT_THAT(body, HasSubstr("文件大小："));
  }
  FakeRequest foreign = ownerPost();
  foreign.headers["Origin"] = "http://evil.example";
  EXPECT_THAT(site.run("tovi.database_menager2", foreign, "admin").body, HasSubstr("操作被拒绝"));
  EXPECT_TRUE(listBackups(backupFolder(site)).empty());

  FakeRequest compact = ownerPost();
  EXPECT_THAT(site.run("tovi.database_menager3", compact, "admin").body, HasSubstr("压缩完成："));
  EXPECT_EQ(rowCount(site, "reg"), 1);
  FakeRequest rename = operatorOf(1);
  rename.http = true;
  EXPECT_THAT(site.run("tovi.database_menager1", rename, "admin").body, HasSubstr("不需要改用隐秘的文件名"));
}

}  // namespace
