#include "tests/player/render_test_application.h"

QApplication& RenderTestApplication() {
  static int argc = 1;
  static char name[] = "orlenta-tests";
  static char* argv[] = {name, nullptr};
  static QApplication application(argc, argv);
  return application;
}
