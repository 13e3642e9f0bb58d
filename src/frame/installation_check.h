// mabex.test: the installation check. Its page answers "1233" and nothing else,
// which tells that the host runs pages and finds the library.
#pragma once

#include "frame/component.h"

namespace tovi::frame {

class test : public Component {
 public:
  void main();
};

void registerFrameComponents(Registry& registry);

}  // namespace tovi::frame
