// Every test runs without a display or a sound server unless it sets up
// its own; values already in the environment win.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("ORLENTA_SOUND", "null", 0);
  ::testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
