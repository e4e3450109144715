#include "app/about_dlg.h"

#include <QLabel>
#include <QPushButton>
#include <QtGlobal>

#include "app/resource.h"
#include "app/resources.h"
#include "app/skin/dialog_item.h"
#include "app/skin/dialog_units.h"

namespace {

// Places a control by its template rectangle in dialog units.
void PlaceDlu(QWidget* control, int x, int y, int width, int height) {
  control->setGeometry(QRect(DluToPixelsPoint(x, y), DluToPixels(width, height)));
}

QLabel* AddText(QDialog* dialog, const QString& text, int y) {
  auto* label = new QLabel(text, dialog);
  label->setTextFormat(Qt::PlainText);
  PlaceDlu(label, 40, y, 150, 8);
  return label;
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About Orlenta"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFont(DialogFont());
  setModal(true);
  setFixedSize(DluToPixels(267, 81));

  const QIcon programIcon = LoadProgramIcon();
  setWindowIcon(programIcon);
  auto* icon = new QLabel(this);
  icon->setPixmap(programIcon.pixmap(32, 32));
  icon->setGeometry(QRect(DluToPixelsPoint(11, 17), QSize(32, 32)));

  AddText(this, QStringLiteral("Orlenta Version 2.0.1.30"), 10);
  AddText(this, QStringLiteral("Plays .vyx video recorder archives"), 26);
  AddText(this, QStringLiteral("Built with Qt %1").arg(QLatin1String(QT_VERSION_STR)), 42);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  SetDlgCtrlID(ok, IDC_ABOUT_OK);
  ok->setDefault(true);
  PlaceDlu(ok, 199, 15, 50, 14);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
