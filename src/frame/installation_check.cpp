#include "frame/installation_check.h"

#include "frame/module1.h"

namespace tovi::frame {

void test::main() { Module1::Response().Write("1233"); }

void registerFrameComponents(Registry& registry) {
  registry.add("mabex.test", [] { return std::make_unique<test>(); }, {op("main", &test::main)});
}

}  // namespace tovi::frame
