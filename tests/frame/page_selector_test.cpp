// Paging: the page asked for, the back office's selector entries and the storefront lists' links.
#include "frame/page_selector.h"

#include "support/testing.h"

using namespace frame;

TEST(WantedPage, AWholeNumberInsideThePagesElseTheNearestEnd) {
  for (auto [asked, pages, page] : {std::tuple{"2", 3L, 2L}, {" 2 ", 3, 2}, {"2.4", 3, 2}, {"3", 3, 3}, {"9", 3, 3},
                                    {"1e3", 3, 3}, {"99999999999999999999", 3, 3}, {"0", 3, 1}, {"-5", 3, 1},
                                    {"abc", 3, 1}, {"", 3, 1}, {"2", 0, 1}})
    EXPECT_EQ(wantedPage(asked, pages), page) << asked << " of " << pages;
}

// Entries that lead nowhere are plain text.
TEST(PageLinks, LinkOnlyToOtherPages) {
  const std::string back = "[<a href=javascript:PageFirst()>第一页</a>] [<a href=javascript:PagePrior()>上一页</a>] ",
                    on = "[<a href=javascript:PageNext()>下一页</a>] [<a href=javascript:PageLast()>最后一页</a>] ";
  for (auto [page, pages, links] : {std::tuple{1L, 3L, "[第一页] [上一页] " + on}, {2, 3, back + on},
                                    {3, 3, back + "[下一页] [最后一页] "}, {1, 1, "[第一页] [上一页] [下一页] [最后一页] "}})
    EXPECT_EQ(pageSelectorLinks(page, pages), links) << page << " of " << pages;
  auto to = [](const char* s, int p) { return "<a href='news.asp?page=" + std::to_string(p) + "'>" + s + "</a> "; };
  for (auto [page, pages, links] :
       {std::tuple{1L, 1L, std::string()},
        {1, 2, "<div class=pages>共21条新闻 <span>首页 前页</span> " + to("下页", 2) + to("末页", 2) + "第1页/共2页</div>\n"},
        {3, 3, "<div class=pages>共21条新闻 " + to("首页", 1) + to("前页", 2) + "<span>下页 末页</span> 第3页/共3页</div>\n"}})
    EXPECT_EQ(listPageLinks("news.asp", page, pages, 21, "条新闻"), links) << page << " of " << pages;
}
