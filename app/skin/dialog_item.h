#pragma once
// Controls of a dialog carry a numeric control id, by which the dialog and
// its handlers find them.
#include <QRect>
#include <QWidget>

void SetDlgCtrlID(QWidget* control, int id);
// 0 for a widget that has no control id.
int GetDlgCtrlID(const QWidget* control);
// The dialog's direct child with that id, or null.
QWidget* GetDlgItem(const QWidget* dialog, int id);

// A rectangle given by its edges; right and bottom lie just outside it.
inline QRect EdgeRect(int left, int top, int right, int bottom) {
  return QRect(left, top, right - left, bottom - top);
}
