#pragma once
// The application: reads the command line, runs the main window until it
// closes, and ends.  There is no other window and no event loop of its own.
#include <QStringList>

class COrlentaApp {
 public:
  // Runs the program; false once the main window has closed (the program
  // then ends).  `arguments` as QApplication::arguments() gives them.
  bool InitInstance(const QStringList& arguments);
};
