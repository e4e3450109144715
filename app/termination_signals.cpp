#include "app/termination_signals.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The handler only writes a byte; the event loop reads it and closes.
int signalSockets[2] = {-1, -1};
bool ending = false;

// How often the windows over the main window are looked at again while
// one of them is still finishing (a conversion stops its worker first).
constexpr int kRetryMs = 20;

void OnTerminationSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(signalSockets[0], &byte, 1);
}

// A modal window runs an event loop of its own inside the main window's:
// the main window's ends only after those over it have, so they close
// first, the topmost each time, and the main window last.
void CloseTopmost(QWidget& window) {
  QWidget* over = QApplication::activePopupWidget();
  if (!over) over = QApplication::activeModalWidget();
  if (!over || over == &window) {
    window.close();
    return;
  }
  if (auto* dialog = qobject_cast<QDialog*>(over)) {
    dialog->done(QDialog::Rejected);
  } else {
    over->close();
  }
  QTimer::singleShot(kRetryMs, &window, [&window] { CloseTopmost(window); });
}

}  // namespace

void CloseOnTerminationSignals(QWidget& window) {
  if (signalSockets[0] >= 0) return;
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSockets) != 0) return;
  auto* notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, &window);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
    char byte;
    [[maybe_unused]] const ssize_t read = ::read(signalSockets[1], &byte, 1);
    if (ending) return;
    ending = true;
    CloseTopmost(window);
  });
  struct sigaction action = {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}
