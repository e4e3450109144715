// Test programs that draw text need a QApplication before the first test;
// linking this file is all such a test needs.
#include <gtest/gtest.h>

#include "tests/support/qt_application.h"

namespace {

class QtApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { testing_support::QtApplication(); }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace
