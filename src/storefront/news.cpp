// The catering news for visitors, from the table the back office's news pages
// (cyxw) keep.
//
// tovi.news (news.asp): the items newest (dates) first, twenty a page, with the
// query's `page` (no number: page 1; past the last: the last); each title (as
// text) links to newsitem.asp?id=N and shows its date. Without a query string
// the list depends on the database only, so the host may answer it from a
// rendered copy.
//
// tovi.newsitem (newsitem.asp?id=N): one item's title, date and body; the body
// is the operator's markup from the rich-text editor and is written as stored.
// A missing, malformed or unknown id gets a short notice (status 404) with a
// link to the list.
#include "frame/component.h"
#include "frame/http_details.h"
#include "frame/module1.h"
#include "frame/page_selector.h"
#include "frame/text.h"

namespace tovi::storefront {
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

class news : public frame::Component {
 public:
  void main();
};

class newsitem : public frame::Component {
 public:
  void main();
};

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
  Response().Write(out + "</table>\n" + frame::listPageLinks("news.asp", page, pages, total, "条新闻") + "</div></div>\n");
}

void newsitem::main() {
  std::optional<long> id = frame::positiveId(Request().QueryString("id"));
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

const frame::PageRegistration pages([](frame::Registry& registry) {
  // Without a query string the list shows the database alone.
  registry.add("tovi.news", [] { return std::make_unique<news>(); }, {frame::op("main", &news::main)},
               frame::Output::DatabaseOnly);
  registry.addMain<newsitem>("tovi.newsitem");
});

}  // namespace
}  // namespace tovi::storefront
