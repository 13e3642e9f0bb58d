#include "frame/admin_page.h"

#include "frame/text.h"

namespace tovi::frame {

std::string pageHead(std::string_view title) {
  std::string t = title.empty() ? "岚禾网络订餐系统1.0版" : std::string(title);
  return "<html>\n<head>\n<title>" + htmlEncode(t) +
         "</title>\n<meta http-equiv='Content-Type' content='text/html; charset=gb2312'>\n"
         "<link href='../css/style.css' rel='stylesheet' type='text/css'>\n</head>\n<body>\n";
}

std::string confirmDeletePage(std::string_view heading, std::string_view question, std::string_view action,
                              std::string_view cancel) {
  return pageHead(heading) + tableStart(heading) + R"(  <tr><td class='forumRow' align='center' height='60'>)" +
         std::string(question) + R"(</td></tr>
  <tr><td class='forumRowHighlight' align='center' height='36'>
    <form method='post' action=')" + std::string(action) + R"('>
      <input class='button' type='submit' name='Submit' value='确定删除'>&nbsp;
      <input class='button' type='button' name='button' value='取 消' onclick=")" + htmlEncode(cancel) + R"(">
    </form>
  </td></tr>
</table>
</body>
</html>
)";
}

std::string tableStart(std::string_view heading, int columns) {
  return "<table cellpadding='3' cellspacing='1' border='0' width='100%' class='tableBorder' align=center>\n"
         "  <tr><th class='tableHeaderText' colspan=" +
         std::to_string(columns) + " height=25>" + std::string(heading) + "</th></tr>\n";
}

}  // namespace tovi::frame
