#include "frame/page_selector.h"

#include "data/value.h"

namespace tovi::frame {

std::string pageSelectorScript(std::string_view form) {
  const std::string list = "document." + std::string(form) + ".CurrentPage";
  return "<script language=javascript>\n"
         "function PageFirst(){" + list + ".selectedIndex=0;" + list + ".onchange();}\n"
         "function PagePrior(){" + list + ".selectedIndex--;" + list + ".onchange();}\n"
         "function PageNext(){" + list + ".selectedIndex++;" + list + ".onchange();}\n"
         "function PageLast(){" + list + ".selectedIndex=" + list + ".length-1;" + list + ".onchange();}\n"
         "function PageCurrent(){document." + std::string(form) + ".action='?c'+(" + list +
         ".selectedIndex+1);document." + std::string(form) + ".submit();}\n"
         "</Script>";
}

std::string pageSelectorLinks(long page, long pages) {
  const bool first = page <= 1, last = page >= pages;
  std::string out = first ? "[第一页] [上一页] "
                          : "[<a href=javascript:PageFirst()>第一页</a>] [<a href=javascript:PagePrior()>上一页</a>] ";
  out += last ? "[下一页] [最后一页] "
              : "[<a href=javascript:PageNext()>下一页</a>] [<a href=javascript:PageLast()>最后一页</a>] ";
  return out;
}

long wantedPage(std::string_view asked, long pages) {
  const data::Value v{asked};
  if (pages < 1 || !v.isNumeric()) return 1;
  const double d = v.toDouble();
  if (d >= static_cast<double>(pages)) return pages;
  if (d < 1) return 1;
  return static_cast<long>(v.toInteger(1));
}

std::string listPageLinks(std::string_view file, long page, long pages, long total, std::string_view unit) {
  if (pages <= 1) return "";
  auto link = [&](long to, const char* label) {
    const char* join = file.find('?') == std::string_view::npos ? "?" : "&amp;";
    return "<a href='" + std::string(file) + join + "page=" + std::to_string(to) + "'>" + label + "</a> ";
  };
  std::string out = "<div class=pages>共" + std::to_string(total) + std::string(unit) + " ";
  out += page <= 1 ? std::string("<span>首页 前页</span> ") : link(1, "首页") + link(page - 1, "前页");
  out += page >= pages ? std::string("<span>下页 末页</span> ") : link(page + 1, "下页") + link(pages, "末页");
  return out + "第" + std::to_string(page) + "页/共" + std::to_string(pages) + "页</div>\n";
}

}  // namespace tovi::frame
