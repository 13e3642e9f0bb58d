// The back-office pages that back up, compact and restore the database. (Backup and restore under arriving orders,
// and a killed restore: the crash suite.)
#include "backoffice/shell/maintenance.h"

#include <filesystem>
#include <fstream>

#include "data/maintenance.h"
#include "support/site_rows.h"
#include "support/testing.h"

using namespace tovi::backoffice::shell;

TEST(Maintenance, SizesInBytesKilobytesOrMegabytes) {
  for (auto [bytes, text] : {std::pair{812ull, "812 字节"}, {1023ull, "1023 字节"}, {1024ull, "1.0 KB"},
                             {36045ull, "35.2 KB"}, {4299161ull, "4.1 MB"}})
    EXPECT_EQ(sizeText(bytes), text);
}

// On a fixed clock, for the names. Files in the backup folder not named as the pages name backups are no backups.
TEST(MaintenancePages, BackUpCompactAndRestoreOnlyAListedBackup) {
  FakeSite site;
  addMember(site, Member{.names = "kept"});
  auto page = [&](int n, Fields form = {}, int hour = 10, const char* origin = "") {
    FakeRequest req = operatorOf(1);
    req.http = true;
    if (!form.empty()) req.sameSitePost().form = std::move(form);
    if (*origin) req.headers["Origin"] = origin;
    req.now = data::DateTime{2024, 3, 9, hour, 15, 0};
    return site.run("tovi.database_menager" + std::to_string(n), req, "admin").body;
  };
  const std::string folder = site.root() + "/database/backup";
  std::filesystem::create_directories(folder + "/tamlo-dir.mdb");
  for (const char* n : {"other.mdb", "tamlo-x.txt"}) std::ofstream(folder + "/" + n) << "x";
  EXPECT_THAT(page(4), HasSubstr("还没有备份文件"));
  EXPECT_THAT(page(2, {{"Submit", "1"}}, 10, "http://evil.example"), HasSubstr("操作被拒绝"));
  EXPECT_THAT(page(2, {{"Submit", "1"}}), HasSubstr("备份完成：database/backup/tamlo-20240309-101500.mdb"));
  page(2, {{"Submit", "1"}});  // a second backup in the same second gets its own name (listed below)
  addMember(site, Member{.names = "lost"});
  EXPECT_THAT(page(3, {{"Submit", "1"}}), HasSubstr("压缩完成："));  // keeping both members (counted below)
  EXPECT_THAT(page(4), HasSubstr("<input type='radio' name='backup' value='tamlo-20240309-101500.mdb'>"));
  for (const char* name : {"", "../tamlo.mdb", "../../etc/passwd", "tamlo-20990101-000000.mdb", "other.mdb"})
    EXPECT_THAT(page(4, {{"backup", name}, {"Submit", "1"}}), HasSubstr("history.go(-1)")) << name;
  EXPECT_EQ(rowCount(site, "reg"), 2);
  EXPECT_THAT(page(4, {{"backup", "tamlo-20240309-101500.mdb"}}, 11),
              HasSubstr("已恢复备份 tamlo-20240309-101500.mdb；恢复前的数据库已备份为 tamlo-20240309-111500.mdb。"));
  EXPECT_EQ(valuesOf(site, "select * from reg", "names"), std::vector<std::string>{"kept"});
  EXPECT_THAT(listBackups(folder),
              ElementsAre("tamlo-20240309-111500.mdb", "tamlo-20240309-101500.mdb", "tamlo-20240309-101500-2.mdb"));
  EXPECT_THROW(data::backup(site.databasePath(), folder + "/tamlo-20240309-111500.mdb"), data::Error);  // never over
}
