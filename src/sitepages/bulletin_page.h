// The site bulletin for visitors: the operator's one notice (the first row of
// `bulletin`, kept by the back office's bulletin page), as its markup.
//
// tovi.bulletin (bulletin.asp) shows it in a box of its own, or says there is
// none; tovi.bulletinbox shows it in a box on the home page, and writes nothing
// while there is none (an empty notice or the back office's placeholder).
// Both depend on the database only.
#pragma once

#include "frame/component.h"

namespace tovi::sitepages {

class bulletinview : public frame::Component {
 public:
  enum class Place { OwnPage, HomePage };
  explicit bulletinview(Place place) : place_(place) {}
  void main();

 private:
  Place place_;
};

}  // namespace tovi::sitepages
