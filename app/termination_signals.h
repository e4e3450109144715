#pragma once
// A request to end the program (SIGTERM, SIGINT from Ctrl+C in the terminal
// that started it, SIGHUP when that terminal goes) closes the window as its
// close button would: playback and sound stop in order and the program
// ends normally.  Whatever is open over the window goes first: context
// menus and modal windows (file dialogs, message boxes, the about box) are
// closed, and a running AVI conversion is aborted, its file finished.
class QWidget;

// Once, on the user-interface thread; the window must outlive the program's
// event loop.
void CloseOnTerminationSignals(QWidget& window);
