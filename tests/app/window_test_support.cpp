#include "tests/app/window_test_support.h"

#include <QTest>
#include <QWindow>

#include "tests/support/qt_application.h"

namespace window_test {

QApplication& App() { return testing_support::QtApplication(); }


bool ShowAndWait(QWidget& window) {
  window.show();
  return QTest::qWaitForWindowExposed(&window);
}

void ProcessEvents() {
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
}

QPoint InWindow(const QWidget* control, QPoint local) {
  return control->mapTo(control->window(), local);
}

namespace {
QWindow* WindowOf(const QWidget* control) { return control->window()->windowHandle(); }
}  // namespace

void Move(QWidget* control, QPoint local) {
  QTest::mouseMove(WindowOf(control), InWindow(control, local));
  ProcessEvents();
}

void Press(QWidget* control, QPoint local) {
  QTest::mousePress(WindowOf(control), Qt::LeftButton, {}, InWindow(control, local));
  ProcessEvents();
}

void Release(QWidget* control, QPoint local) {
  QTest::mouseRelease(WindowOf(control), Qt::LeftButton, {}, InWindow(control, local));
  ProcessEvents();
}

void Click(QWidget* control, QPoint local) {
  Move(control, local);
  Press(control, local);
  Release(control, local);
}

void DoubleClick(QWidget* control, QPoint local) {
  Move(control, local);
  QTest::mouseDClick(WindowOf(control), Qt::LeftButton, {}, InWindow(control, local));
  ProcessEvents();
}

void RightClick(QWidget* control, QPoint local) {
  Move(control, local);
  QTest::mouseClick(WindowOf(control), Qt::RightButton, {}, InWindow(control, local));
  ProcessEvents();
}

}  // namespace window_test
