// The catering news forms: cyxwadd stores a new item (title trimmed, body as
// posted, `dates` now); cyxwedit shows one item and saves its title and body,
// keeping `dates`. Saves must be same-site posts. An edit whose `id` is missing,
// not a whole number, or names no item answers "非法访问!" and changes nothing.
// The form is the dish form's design with a title and the editor only.
#pragma once

#include "frame/component.h"

namespace tovi::backoffice::catalogue {

class NewsAdd : public frame::Component {
 public:
  void main();
};

class NewsEdit : public frame::Component {
 public:
  void main();
};

}  // namespace tovi::backoffice::catalogue
