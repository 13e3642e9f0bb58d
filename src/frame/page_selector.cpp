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

}  // namespace tovi::frame
