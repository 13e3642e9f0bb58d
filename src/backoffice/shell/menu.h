// mabex.menu (admin/menu.asp): the back-office navigation menu, the left frame
// of the frameset. Four sections of links opened in the frame `right`, the
// first two open and the last two closed at every load, toggled on the client
// by showsubmenu(i); above them the logged-in name and right (session keys
// Admin and Flag). No guard and no database: without a login the name and the
// right are empty and every link still leads to a guarded page.
#pragma once

#include <array>
#include <string>

#include "frame/component.h"

namespace tovi::backoffice::shell {

class menu : public frame::Component {
 public:
  void main();

  // The menu grid: row i is section i, column 0 its title, columns 1 to 6 its
  // entries (finished link markup); a section ends at its first empty cell.
  using Grid = std::array<std::array<std::string, 7>, 4>;
  [[nodiscard]] static Grid grid();
};

}  // namespace tovi::backoffice::shell
