#include "app/orlenta_app.h"

#include "app/command_line.h"
#include "app/orlenta_dlg.h"
#include "app/termination_signals.h"

bool COrlentaApp::InitInstance(const QStringList& arguments) {
  LoadDewarpSettings(&m_dewarpSettings);
  CCommandLineInfo commandLine;
  ParseCommandLine(arguments, commandLine);
  COrlentaDlg dialog(nullptr, m_dewarpSettings);
  dialog.SetFileName(commandLine.m_strFileName);
  CloseOnTerminationSignals(dialog);
  dialog.exec();
  return false;
}
