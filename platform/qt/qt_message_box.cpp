#include "platform/qt/qt_message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <cstdio>

namespace platform {

void QtMessageBoxBackend::Show(const std::string& text) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) {
    std::fprintf(stderr, "%s\n", text.c_str());
    return;
  }
  const QString message = QString::fromStdString(text);
  QMetaObject::invokeMethod(
      app,
      [message] {
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Orlenta"), message,
                                    QMessageBox::Ok, QApplication::activeWindow());
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
      },
      Qt::QueuedConnection);
}

}  // namespace platform
