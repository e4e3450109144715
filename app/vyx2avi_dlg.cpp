#include "app/vyx2avi_dlg.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimerEvent>

#include "app/skin/dialog_item.h"
#include "app/skin/dialog_units.h"
#include "app/file_dialog.h"
#include "platform/message_box.h"
#include "platform/qt/private_message_event.h"
#include "platform/trace.h"

namespace {

void PlaceDlu(QWidget* control, int x, int y, int width, int height) {
  control->setGeometry(QRect(DluToPixelsPoint(x, y), DluToPixels(width, height)));
}

QLabel* AddLabel(QDialog* dialog, const QString& text, int y) {
  auto* label = new QLabel(text, dialog);
  PlaceDlu(label, 7, y, 52, 8);
  return label;
}

// The archive's name without its directory, its extension replaced by ".avi".
QString DefaultAviName(const QString& source) {
  QString name = source.mid(source.lastIndexOf(QLatin1Char('/')) + 1);
  const int dot = name.lastIndexOf(QLatin1Char('.'));
  if (dot >= 0) name = name.left(dot) + QStringLiteral(".avi");
  return name;
}

}  // namespace

CQxVyx2AviDlg::CQxVyx2AviDlg(const QString& sourceName, CQxVyxParser* reader, QWidget* parent)
    : QDialog(parent), reader_(reader), sourceName_(sourceName) {
  setWindowTitle(QStringLiteral("Convert Vyx file to Avi"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFont(DialogFont());
  setModal(true);
  setFixedSize(DluToPixels(421, 89));

  AddLabel(this, QStringLiteral("Vyx file name"), 10);
  AddLabel(this, QStringLiteral("Avi file name"), 29);
  AddLabel(this, QStringLiteral("Status"), 48);

  vyxFile_ = new QLineEdit(this);
  vyxFile_->setReadOnly(true);
  SetDlgCtrlID(vyxFile_, IDC_EDIT_VYX_FILE);
  PlaceDlu(vyxFile_, 62, 8, 320, 12);

  aviFile_ = new QLineEdit(this);
  SetDlgCtrlID(aviFile_, IDC_EDIT_AVI_FILE);
  PlaceDlu(aviFile_, 62, 27, 320, 12);

  browse_ = new QPushButton(QStringLiteral("..."), this);
  browse_->setAutoDefault(false);
  SetDlgCtrlID(browse_, IDC_BTN_BROWSE_AVI);
  PlaceDlu(browse_, 388, 27, 24, 12);

  progress_ = new QProgressBar(this);
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  progress_->setAccessibleName(QStringLiteral("Progress1"));
  SetDlgCtrlID(progress_, IDC_PROGRESS_CONVERT);
  PlaceDlu(progress_, 62, 47, 280, 10);

  status_ = new QLabel(this);
  status_->setAlignment(Qt::AlignCenter);
  SetDlgCtrlID(status_, IDC_STATIC_STATUS);
  PlaceDlu(status_, 346, 48, 66, 8);

  convert_ = new QPushButton(QStringLiteral("Vyx to Avi"), this);
  convert_->setAutoDefault(false);
  convert_->setEnabled(false);
  SetDlgCtrlID(convert_, IDC_BTN_VYX_TO_AVI);
  PlaceDlu(convert_, 298, 67, 56, 14);

  exit_ = new QPushButton(QStringLiteral("Exit"), this);
  exit_->setDefault(true);
  SetDlgCtrlID(exit_, IDC_VYX2AVI_EXIT);
  PlaceDlu(exit_, 360, 67, 52, 14);

  vyxFile_->setText(sourceName_);
  connect(browse_, &QPushButton::clicked, this, &CQxVyx2AviDlg::OnBrowse);
  connect(convert_, &QPushButton::clicked, this, &CQxVyx2AviDlg::OnConvert);
  connect(exit_, &QPushButton::clicked, this, &QDialog::accept);
}

CQxVyx2AviDlg::~CQxVyx2AviDlg() {
  abortRequest_ = true;
  if (worker_.joinable()) worker_.join();
}

void CQxVyx2AviDlg::OnBrowse() {
  if (running_) return;
  CFileDialog dialog(false, QStringLiteral("avi"), DefaultAviName(sourceName_),
                     OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                     QStringLiteral("Avi Files (*.avi)|*.avi|All Files(*.*)|*.*|"), this);
  if (!dialog.DoModal()) return;
  aviFile_->setText(dialog.GetPathName());
  exit_->setEnabled(true);
  convert_->setEnabled(true);
}

void CQxVyx2AviDlg::OnConvert() {
  if (running_) {
    abortRequest_ = true;
    return;
  }
  if (!reader_) return;
  running_ = true;
  abortRequest_ = false;
  exit_->setEnabled(false);
  browse_->setEnabled(false);
  aviFile_->setEnabled(false);
  convert_->setText(QStringLiteral("Abort"));
  progress_->setValue(0);
  status_->setText(QString());
  conversion_ = std::make_unique<CQxAviConversion>(*reader_, QFile::encodeName(aviFile_->text()).toStdString());
  progressTimer_.start(1000, this);
  worker_ = std::thread([this] {
    result_ = conversion_->RunConversion(abortRequest_);
    QCoreApplication::postEvent(this, new platform::PrivateMessageEvent(WM_VYX2AVI_ENDED, 0, 0));
  });
}

void CQxVyx2AviDlg::OnTimer(int id) {
  if (id != TIMER_CONVERT_PROGRESS || !conversion_) return;
  const int percent = conversion_->Progress();
  progress_->setValue(percent);
  status_->setText(QString::asprintf("%d %%", percent));
}

void CQxVyx2AviDlg::OnConversionEnded() {
  if (worker_.joinable()) worker_.join();  // result_ is complete from here on
  progressTimer_.stop();
  running_ = false;
  progress_->setValue(conversion_->Progress());
  exit_->setEnabled(true);
  browse_->setEnabled(true);
  aviFile_->setEnabled(true);
  convert_->setText(QStringLiteral("Vyx to Avi"));
  status_->setText(result_.end == ConversionEnd::kFinished ? QStringLiteral("Finish!") : QStringLiteral("Abort!"));
  if (closeWhenEnded_) {
    // Nobody is left to read a message box.
    if (result_.end == ConversionEnd::kFailed) platform::Trace("%s\n", result_.error.c_str());
    closeWhenEnded_ = false;
    QDialog::done(closeResult_);
    return;
  }
  if (result_.end == ConversionEnd::kFailed) platform::ShowMessageBox(result_.error);
}

void CQxVyx2AviDlg::reject() {
  if (running_) return;  // Esc while converting
  QDialog::reject();
}

void CQxVyx2AviDlg::done(int result) {
  if (!running_) {
    QDialog::done(result);
    return;
  }
  abortRequest_ = true;
  closeWhenEnded_ = true;
  closeResult_ = result;
}

void CQxVyx2AviDlg::closeEvent(QCloseEvent* event) {
  if (running_) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void CQxVyx2AviDlg::timerEvent(QTimerEvent* event) {
  if (event->timerId() == progressTimer_.timerId()) {
    OnTimer(TIMER_CONVERT_PROGRESS);
    return;
  }
  QDialog::timerEvent(event);
}

bool CQxVyx2AviDlg::event(QEvent* event) {
  if (auto* message = dynamic_cast<platform::PrivateMessageEvent*>(event)) {
    if (message->Message().message == WM_VYX2AVI_ENDED) {
      OnConversionEnded();
      return true;
    }
  }
  return QDialog::event(event);
}
