#include "backoffice/shell/maintenance.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "data/connection.h"
#include "data/maintenance.h"
#include "frame/admin_page.h"
#include "frame/alerts.h"
#include "frame/component.h"
#include "frame/http_details.h"
#include "frame/module1.h"
#include "frame/request_guard.h"
#include "frame/text.h"

namespace tovi::backoffice::shell {
namespace {

// One implementation, the page number its parameter.
class database_menager : public frame::Component {
 public:
  explicit database_menager(int page) : page_(page) {}
  void main();

 private:
  int page_;
};

namespace fs = std::filesystem;
using namespace frame::Module1;

const char* const kTitles[] = {"", "数据库更名", "数据库备份", "数据库压缩", "数据库恢复"};

unsigned long long fileSize(const std::string& path) {
  std::error_code ec;
  auto n = fs::file_size(path, ec);
  return ec ? 0 : n;
}

std::string newBackupPath(const std::string& folder) { return data::newBackupPath(folder, Now()); }

std::string row(const std::string& label, const std::string& value) {
  return "  <tr>\n    <td width='25%' align='right' class='forumRowHighlight'>" + label +
         "</td>\n    <td width='75%' class='forumRow'>" + value + "</td>\n  </tr>\n";
}

std::string actionRow(const std::string& page, const std::string& inner, const std::string& button,
                      const std::string& confirm = {}) {
  std::string onsubmit = confirm.empty() ? "" : " onsubmit=\"return confirm('" + frame::jsInAttr(confirm) + "');\"";
  return "  <tr>\n    <td class='forumRowHighlight'>&nbsp;</td>\n    <td class='forumRow'><form method='post' action='" +
         page + "'" + onsubmit + ">" + inner + "<input class='button' type='submit' name='Submit' value='" + button +
         "'></form></td>\n  </tr>\n";
}

[[noreturn]] void failed(const std::exception& e) { frame::alertBack(std::string("操作失败：") + e.what()); }

}  // namespace

std::vector<std::string> listBackups(const std::string& folder) {
  data::clearBackupLeftovers(folder);  // a copy cut short is no backup, nor a file beside one
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) {
    std::string n = e.path().filename().string();
    if (e.is_regular_file() && n.size() > 10 && n.rfind("tamlo-", 0) == 0 && n.ends_with(".mdb")) names.push_back(n);
  }
  std::sort(names.rbegin(), names.rend());
  return names;
}

std::string backupName(int year, int month, int day, int hour, int minute, int second) {
  return data::backupFileName(data::DateTime{year, month, day, hour, minute, second});
}

std::string sizeText(unsigned long long bytes) {
  char buf[64];
  if (bytes < 1024) std::snprintf(buf, sizeof buf, "%llu 字节", bytes);
  else if (bytes < 1024ull * 1024) std::snprintf(buf, sizeof buf, "%.1f KB", static_cast<double>(bytes) / 1024);
  else std::snprintf(buf, sizeof buf, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024));
  return buf;
}

void database_menager::main() {
  checkTopAdmin();
  const std::string db = databasePath();
  const std::string folder = fs::path(db).parent_path().string() + "/backup";
  const std::string page = "database_menager" + std::to_string(page_) + ".asp";
  const bool post = frame::iequals(Http().method(), "POST");
  std::string done;  // what a post did, shown above the form

  if (post && page_ >= 2) {
    frame::requirePostFromSite();
    try {
      if (page_ == 2) {
        fs::create_directories(folder);
        std::string to = newBackupPath(folder);
        data::backup(db, to);
        done = "备份完成：database/backup/" + fs::path(to).filename().string() + "（" + sizeText(fileSize(to)) + "）";
      } else if (page_ == 3) {
        unsigned long long before = fileSize(db);
        data::vacuum(db);
        done = "压缩完成：" + sizeText(before) + " → " + sizeText(fileSize(db));
      } else {
        std::string chosen = frame::trim(Request().Form("backup"));
        auto names = listBackups(folder);
        if (chosen.empty()) frame::alertBack("请选择要恢复的备份文件！");
        if (std::find(names.begin(), names.end(), chosen) == names.end()) frame::alertBack("没有这个备份文件！");
        std::string safety = data::restoreKeepingCopy(folder + "/" + chosen, db, folder, Now());
        done = "已恢复备份 " + chosen + "；恢复前的数据库已备份为 " + fs::path(safety).filename().string() + "。";
      }
    } catch (const data::Error& e) {
      failed(e);
    } catch (const fs::filesystem_error& e) {
      failed(e);
    }
  }

  std::string html = frame::pageHead(kTitles[page_]) + frame::tableStart(kTitles[page_]);
  if (!done.empty()) html += row("结果：", "<span class='message'>" + frame::htmlEncode(done) + "</span>");
  html += row("数据库文件：", std::string(frame::kDatabaseFolder) + "/" + frame::kDatabaseFile);
  html += row("文件大小：", sizeText(fileSize(db)));
  switch (page_) {
    case 1:
      html += row("说明：",
                  "<span class='note'>数据库放在网站的 database 文件夹中，本站的 Web 服务器从不对外提供这个文件夹里的任何文件，"
                  "浏览器无法下载数据库，因此数据库不需要改用隐秘的文件名，也不需要更名。</span>");
      break;
    case 2:
      html += row("说明：", "<span class='note'>备份文件保存在 database/backup 文件夹中，文件名带有备份的日期和时间。</span>");
      html += actionRow(page, "", "立即备份");
      break;
    case 3:
      html += row("说明：", "<span class='note'>压缩会整理数据库文件，去掉删除数据后留下的空间。</span>");
      html += actionRow(page, "", "立即压缩");
      break;
    default: {
      auto names = listBackups(folder);
      if (names.empty()) {
        html += row("备份文件：", "还没有备份文件，请先到“数据库备分”备份数据库。");
        break;
      }
      std::string list;
      for (const auto& n : names)
        list += "<label><input type='radio' name='backup' value='" + frame::htmlEncode(n) + "'> " +
                frame::htmlEncode(n) + "（" + sizeText(fileSize(folder + "/" + n)) + "）</label><br>";
      html += row("说明：", "<span class='note'>恢复前会先把当前数据库备份一份。恢复后，备份之后的新数据将被替换。</span>");
      html += actionRow(page, list, "恢复所选备份", "确定要用所选备份替换当前数据库吗？");
    }
  }
  html += "</table>\n</body>\n</html>\n";
  Response().Write(html);
}

namespace {

const frame::PageRegistration pages([](frame::Registry& registry) {
  registry.add("tovi.database_menager1", [] { return std::make_unique<database_menager>(1); },
               {frame::op("main", &database_menager::main)});
  registry.add("tovi.database_menager2", [] { return std::make_unique<database_menager>(2); },
               {frame::op("main", &database_menager::main)});
  registry.add("tovi.database_menager3", [] { return std::make_unique<database_menager>(3); },
               {frame::op("main", &database_menager::main)});
  registry.add("tovi.database_menager4", [] { return std::make_unique<database_menager>(4); },
               {frame::op("main", &database_menager::main)});
});

}  // namespace
}  // namespace tovi::backoffice::shell
