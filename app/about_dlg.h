#pragma once
// The about box: the program icon, the version and two lines about the
// program, and OK.
#include <QDialog>

class CAboutDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};
