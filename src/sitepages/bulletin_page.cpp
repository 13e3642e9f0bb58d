#include "sitepages/bulletin_page.h"

#include "frame/module1.h"
#include "frame/text.h"

namespace tovi::sitepages {

using namespace frame::Module1;

void bulletinview::main() {
  openFrontDb();
  data::Recordset& rs = newRs();
  rs.Open("select * from bulletin", *conn(), data::adOpenKeyset, data::adLockReadOnly);
  std::string content = rs.Eof() ? "" : rs("content").text();
  rs.Close();
  // The back office's editor starts an empty notice with this placeholder;
  // saved unchanged, it still means there is none.
  std::string bare = frame::trim(content);
  bool none = bare.empty() || bare == "暂时没有消息！！";
  if (place_ == Place::HomePage) {
    if (!none) Response().Write("<div class='box bulletin'><h2>网站公告</h2><div class=body>" + content + "</div></div>\n");
    return;
  }
  // The notice is the operator's markup from the editor: written as stored.
  Response().Write("<div class='box bulletin'><h2>网站公告</h2><div class=body>" +
                   (none ? std::string("<p>暂时没有公告。</p>") : content) + "</div></div>\n");
}

}  // namespace tovi::sitepages
