#include "platform/qt/qt_message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <cstdio>

namespace platform {

namespace {

void ShowBox(QMessageBox::Icon icon, const std::string& caption, const std::string& text) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) {
    std::fprintf(stderr, "%s\n", text.c_str());
    return;
  }
  const QString title = QString::fromStdString(caption);
  const QString message = QString::fromStdString(text);
  QMetaObject::invokeMethod(
      app,
      [icon, title, message] {
        auto* box = new QMessageBox(icon, title, message, QMessageBox::Ok,
                                    QApplication::activeWindow());
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
      },
      Qt::QueuedConnection);
}

}  // namespace

void QtMessageBoxBackend::Show(const std::string& text) {
  ShowBox(QMessageBox::Warning, "Orlenta", text);
}

void QtMessageBoxBackend::ShowError(const std::string& caption, const std::string& text) {
  ShowBox(QMessageBox::Critical, caption, text);
}

}  // namespace platform
