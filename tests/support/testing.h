// What a test file starts from: GoogleTest with the matchers the suites use,
// and the project's names.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tovi::testing {}
using namespace tovi;
using namespace tovi::testing;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;
