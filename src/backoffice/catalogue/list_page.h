// The back-office list pattern: one page of 20 rows, newest first, an edit link
// per row, tick boxes to delete several rows at once, and a navigation bar.
// The dish lists of the three sales categories (kcdg, jpsq, ylxg), the
// home-page dish list (cygl) and the news list (cyxw) are this one component,
// each with its own ListDesign.
//
//   registry.add("mabex.kcdg", [] { return std::make_unique<ListPage>(ListPage::dishes(1)); }, ...);
//
// main(): guard, then `?action=del` deletes the ticked ids (a same-site post whose
// ids are all whole numbers, else an alert and nothing deleted) and goes back to
// the list; otherwise writes the page, clamping the wanted page into range
// (not a whole number, or outside 16 bits, reads as page 1).
// showContent() writes the delete form and the rows from the record set's
// current row; showpage() the bar. main calls both.
// Failures: database errors propagate to the host.
#pragma once

#include <cstdint>
#include <string>

#include "frame/component.h"

namespace tovi::backoffice::catalogue {

struct ListDesign {
  enum class Rows { Dish, News };
  Rows rows = Rows::Dish;
  int category = 0;            // lei2 filter of the dish lists; 0 lists and deletes across categories
  std::string table;           // "cygl" or "cyxw"
  std::string fileName;        // "kcdg.asp"
  std::string title;           // <title>
  std::string heading;         // " 快餐订购管理"
  int headerColspan = 8;
  std::string addPage;         // "kcdgadd.asp"; empty: no add link
  std::string addLabel;        // "增加餐饮"
  std::string editPage;        // "kcdgedit.asp"
  bool trimCells = true;       // name and pic trimmed (cygl writes them as stored)
};

class ListPage : public frame::Component {
 public:
  static constexpr int kPageSize = 20;

  explicit ListPage(ListDesign design) : d_(std::move(design)) {}
  // The design of a category's dish list (1 fast food, 2 premium, 3 drinks),
  // of the home-page dish list and of the news list.
  static ListDesign dishes(int category);
  static ListDesign homeDishes();
  static ListDesign news();

  void main();
  void showContent();
  void showpage(long totalnumber, long maxperpage, const std::string& filename);

 private:
  void deleteTicked();
  void writeHead();
  static int wantedPage();

  ListDesign d_;
  long currentPage_ = 0;
};

}  // namespace tovi::backoffice::catalogue
