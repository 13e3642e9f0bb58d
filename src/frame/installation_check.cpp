// test.asp, the installation check: mabex.test answers "1233" and nothing
// else, which tells that the host runs pages and finds the library.
#include "frame/component.h"
#include "frame/module1.h"

namespace tovi::frame {
namespace {

class test : public Component {
 public:
  void main() { Module1::Response().Write("1233"); }
};

const PageRegistration pages([](Registry& registry) { registry.addMain<test>("mabex.test"); });

}  // namespace
}  // namespace tovi::frame
