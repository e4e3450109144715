#pragma once
// The application: loads the fisheye settings, reads the command line, runs
// the main window until it closes, and ends.  There is no other window and
// no event loop of its own.
#include <QStringList>

#include "dewarp/dewarp_settings.h"

class COrlentaApp {
 public:
  // Runs the program; false once the main window has closed (the program
  // then ends).  `arguments` as QApplication::arguments() gives them.
  bool InitInstance(const QStringList& arguments);

 private:
  // Read from "dewarp.ini" in the current directory before the main window
  // exists; the fisheye views read it from then on.
  DewarpSettings m_dewarpSettings;
};
