// orlenta [ARCHIVE.vyx]: the player.
#include <QApplication>
#include <memory>

#include "app/orlenta_app.h"
#include "app/qt_file_dialog.h"
#include "app/sound_backends.h"
#include "platform/display_device.h"
#include "platform/message_box.h"
#include "platform/qt/qt_display.h"
#include "platform/qt/qt_message_box.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  platform::SetDisplayBackend(std::make_shared<platform::QtDisplayBackend>());
  platform::SetMessageBoxBackend(std::make_shared<platform::QtMessageBoxBackend>());
  SetFileDialogBackend(std::make_shared<QtFileDialogBackend>());
  InstallSoundBackend();
  COrlentaApp app;
  app.InitInstance(QApplication::arguments());
  return 0;
}
