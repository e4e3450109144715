#include "tests/support/qt_application.h"

namespace testing_support {

QApplication& QtApplication() {
  static int argc = 1;
  static char name[] = "orlenta-tests";
  static char* argv[] = {name, nullptr};
  static QApplication* application =
      QApplication::instance() ? qobject_cast<QApplication*>(QApplication::instance())
                               : new QApplication(argc, argv);
  return *application;
}

}  // namespace testing_support
