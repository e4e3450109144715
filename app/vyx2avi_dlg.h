#pragma once
// "Convert Vyx file to Avi": the user picks an output name with "..." and
// starts the conversion of the loaded archive; a worker thread converts
// through the player's reader while a one-second timer shows the progress.
// "Abort" asks the worker to stop; the worker's end arrives as a queued
// event, after which the status tells how the run ended and a failure is
// shown in a message box.  While it converts, the user cannot close the
// dialog; the program can (when it is asked to end): the conversion is
// aborted and the dialog closes once the worker has stopped.
#include <QBasicTimer>
#include <QDialog>
#include <QString>
#include <atomic>
#include <memory>
#include <thread>

#include "convert/avi_conversion.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class CQxVyxParser;

// Controls of the dialog.
constexpr int IDC_EDIT_VYX_FILE = 1039;
constexpr int IDC_EDIT_AVI_FILE = 1040;
constexpr int IDC_BTN_BROWSE_AVI = 1041;
constexpr int IDC_PROGRESS_CONVERT = 1042;
constexpr int IDC_BTN_VYX_TO_AVI = 1043;
constexpr int IDC_STATIC_STATUS = 1044;
constexpr int IDC_VYX2AVI_EXIT = 1;

constexpr int TIMER_CONVERT_PROGRESS = 3925;  // once a second while converting

// Worker -> dialog: the conversion has ended.
constexpr uint32_t WM_VYX2AVI_ENDED = 0x1240;

// What Convert AVI tells the user when the play thread has not suspended
// in time (the conversion would share the archive reader with it).
inline constexpr const char* kConvertCannotStart =
    "The conversion cannot start: playback has not stopped yet. Please try again.";

class CQxVyx2AviDlg : public QDialog {
  Q_OBJECT
 public:
  // `reader` serves the archive `sourceName`; nothing else may read it
  // while the dialog is open.
  CQxVyx2AviDlg(const QString& sourceName, CQxVyxParser* reader, QWidget* parent = nullptr);
  ~CQxVyx2AviDlg() override;

  void OnBrowse();
  // Starts a conversion, or asks the running one to stop.
  void OnConvert();
  void OnTimer(int id);
  bool IsRunning() const { return running_; }
  // How the last conversion ended (meaningful once it has).
  const ConversionResult& LastResult() const { return result_; }

 public slots:
  // Esc: ignored while converting.
  void reject() override;
  // While converting: aborts, and closes with `result` once the worker has
  // stopped.
  void done(int result) override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void OnConversionEnded();

  CQxVyxParser* reader_;
  QString sourceName_;
  QLineEdit* vyxFile_ = nullptr;
  QLineEdit* aviFile_ = nullptr;
  QPushButton* browse_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* convert_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* exit_ = nullptr;

  QBasicTimer progressTimer_;
  bool running_ = false;
  bool closeWhenEnded_ = false;
  int closeResult_ = 0;
  std::atomic<bool> abortRequest_{false};
  std::unique_ptr<CQxAviConversion> conversion_;
  ConversionResult result_;  // written by the worker, read after the join
  std::thread worker_;
};
