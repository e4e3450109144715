#pragma once
// The one QApplication of a test program that shows widgets or draws text:
// made on first use (offscreen, by the test main's environment) and kept
// until the process ends, so that no Qt global outlives it.
#include <QApplication>

namespace testing_support {

QApplication& QtApplication();

}  // namespace testing_support
