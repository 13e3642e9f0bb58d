#include "sitepages/news_pages.h"

#include "frame/http_details.h"
#include "frame/module1.h"
#include "frame/page_selector.h"
#include "frame/text.h"
#include "sitepages/account_kit.h"

namespace tovi::sitepages {
namespace {

using namespace frame::Module1;
using frame::htmlEncode;

constexpr long kNewsPageSize = 20;

void notFound() {
  Http().setStatus(404);
  Response().Write(R"(<div class=box><h2>餐饮新闻</h2><div class=body>
<p>没有找到这条新闻，它可能已被删除或地址有误。</p>
<p><a href='news.asp'>返回新闻列表</a></p>
</div></div>
)");
}

}  // namespace

std::string listPageLinks(std::string_view file, long page, long pages, long total, std::string_view unit) {
  if (pages <= 1) return "";
  auto link = [&](long to, const char* label) {
    return "<a href='" + std::string(file) + "?page=" + std::to_string(to) + "'>" + label + "</a> ";
  };
  std::string out = "<div class=pages>共" + std::to_string(total) + std::string(unit) + " ";
  out += page <= 1 ? std::string("<span>首页 前页</span> ") : link(1, "首页") + link(page - 1, "前页");
  out += page >= pages ? std::string("<span>下页 末页</span> ") : link(page + 1, "下页") + link(pages, "末页");
  return out + "第" + std::to_string(page) + "页/共" + std::to_string(pages) + "页</div>\n";
}

void news::main() {
  openFrontDb();
  data::Recordset& rs = newRs();
  rs.PageSize(kNewsPageSize);
  // "select *" lets the record set fetch only the page's rows by key.
  rs.Open("select * from cyxw order by dates desc, id desc", *conn(), data::adOpenKeyset,
          data::adLockReadOnly);
  std::string out = "<div class=box><h2>餐饮新闻</h2><div class=body>\n";
  long total = rs.RecordCount();
  if (total == 0) {
    rs.Close();
    Response().Write(out + "<p>暂时没有新闻。</p>\n</div></div>\n");
    return;
  }
  long pages = rs.PageCount();
  long page = frame::wantedPage(Request().QueryString("page"), pages);
  rs.AbsolutePage(page);
  out += "<table class=news>\n";
  for (long n = 0; n < kNewsPageSize && !rs.Eof(); ++n, rs.MoveNext())
    out += "<tr><td><a href='newsitem.asp?id=" + rs("id").text() + "'>" + htmlEncode(frame::trim(rs("title").text())) +
           "</a></td><td class=date>" + htmlEncode(rs("dates").text()) + "</td></tr>\n";
  rs.Close();
  Response().Write(out + "</table>\n" + listPageLinks("news.asp", page, pages, total, "条新闻") + "</div></div>\n");
}

void newsitem::main() {
  std::optional<long> id = kit::positiveId(Request().QueryString("id"));
  if (!id) return notFound();
  openFrontDb();
  data::Recordset& rs = newRs();
  rs.Open(data::Sql("select * from cyxw where id=?", {data::Value(*id)}), *conn(), data::adOpenKeyset,
          data::adLockReadOnly);
  if (rs.Eof()) {
    rs.Close();
    return notFound();
  }
  // The body is the operator's own markup from the editor: written as stored.
  Response().Write("<div class=box><h2>餐饮新闻</h2><div class=body>\n<h3 class=title>" +
                   htmlEncode(frame::trim(rs("title").text())) + "</h3>\n<p class=date>发布时间：" +
                   htmlEncode(rs("dates").text()) + "</p>\n<div class=content>" + rs("content").text() +
                   "</div>\n<p><a href='news.asp'>返回新闻列表</a></p>\n</div></div>\n");
  rs.Close();
}

}  // namespace tovi::sitepages
