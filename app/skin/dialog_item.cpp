#include "app/skin/dialog_item.h"

#include <QVariant>

namespace {
constexpr char kCtrlIdProperty[] = "orlentaCtrlId";
}

void SetDlgCtrlID(QWidget* control, int id) { control->setProperty(kCtrlIdProperty, id); }

int GetDlgCtrlID(const QWidget* control) {
  return control ? control->property(kCtrlIdProperty).toInt() : 0;
}

QWidget* GetDlgItem(const QWidget* dialog, int id) {
  for (QObject* child : dialog->children()) {
    auto* widget = qobject_cast<QWidget*>(child);
    if (widget && !widget->isWindow() && GetDlgCtrlID(widget) == id) return widget;
  }
  return nullptr;
}
