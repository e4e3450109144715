#pragma once
// Widgets under test run in one QApplication on the offscreen platform.
// Input goes to the top-level window as a user's would, so that masks,
// implicit grabs and enter/leave take effect.
#include <QApplication>
#include <QPoint>
#include <QWidget>

#include "platform/message_target.h"

namespace window_test {

QApplication& App();
// As the first member of a fixture: the application exists before the
// fixture's widgets.
struct WithApp {
  WithApp() { App(); }
};
// Shows the window and waits until it is exposed.
bool ShowAndWait(QWidget& window);
void ProcessEvents();

// A point of `control` in its window's coordinates.
QPoint InWindow(const QWidget* control, QPoint local);
void Move(QWidget* control, QPoint local);
void Press(QWidget* control, QPoint local);
void Release(QWidget* control, QPoint local);
void Click(QWidget* control, QPoint local);
void DoubleClick(QWidget* control, QPoint local);

}  // namespace window_test
