// The conversion dialog, offscreen, with the file dialog answered for the
// user: the default name, the controls while converting, Abort, the end
// states and errors; and the main window's Convert AVI around it.
#include "app/vyx2avi_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <condition_variable>
#include <mutex>

#include "app/skin/dialog_item.h"
#include "app/orlenta_dlg.h"
#include "app/resource.h"
#include "platform/message_box.h"
#include "platform/qt/qt_display.h"
#include "platform/recording_message_target.h"
#include "player/engine/play_mode.h"
#include "player/widgets/drop_target.h"
#include "player/widgets/video_box.h"
#include "tests/app/app_test_archives.h"
#include "tests/app/window_test_support.h"
#include "tests/convert/convert_test_support.h"
#include "tests/support/patience.h"
#include "tests/support/test_support.h"

namespace {

using convert_test::Record;

// Holds the index thread after `count` records until released: the
// conversion then waits for more.
class IndexGate {
 public:
  IndexGate(CQxVyxParser& reader, size_t count) : state_(std::make_shared<State>()) {
    reader.SetRecordIndexedHook([state = state_, count](size_t indexed) {
      if (indexed != count) return;
      std::unique_lock lock(state->mutex);
      state->opened.wait(lock, [&] { return state->open; });
    });
  }
  ~IndexGate() { Open(); }
  void Open() {
    std::lock_guard lock(state_->mutex);
    state_->open = true;
    state_->opened.notify_all();
  }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
  };
  std::shared_ptr<State> state_;
};

std::vector<Record> Archive(int frames) {
  std::vector<Record> records;
  for (int i = 0; i < frames; ++i)
    records.push_back({static_cast<uint8_t>(i % 10 ? FRAME_TYPE_MPEG4_P : FRAME_TYPE_MPEG4_I), 64, 64,
                       static_cast<uint64_t>(i) * 100, convert_test::Payload(200)});
  return records;
}

class Vyx2AviDialog : public ::testing::Test {
 protected:
  Vyx2AviDialog() {
    convert_test::WriteArchive(archive, Archive(50));
    reader.SetNotifyWindow(std::make_shared<platform::RecordingMessageTarget>());
  }

  template <typename T>
  T* Control(CQxVyx2AviDlg& dialog, int id) {
    return qobject_cast<T*>(GetDlgItem(&dialog, id));
  }
  QString Status(CQxVyx2AviDlg& dialog) { return Control<QLabel>(dialog, IDC_STATIC_STATUS)->text(); }
  void Choose(CQxVyx2AviDlg& dialog, const std::filesystem::path& output) {
    dialogs->Answer(QString::fromStdString(output.string()));
    Control<QPushButton>(dialog, IDC_BTN_BROWSE_AVI)->click();
  }
  bool WaitUntilEnded(CQxVyx2AviDlg& dialog) {
    return QTest::qWaitFor([&] { return !dialog.IsRunning(); }, 20000);
  }

  window_test::WithApp app;
  std::shared_ptr<platform::RecordingMessageBoxes> boxes = std::make_shared<platform::RecordingMessageBoxes>();
  platform::ScopedMessageBoxBackend boxScope{boxes};
  std::shared_ptr<app_test::ScriptedFileDialogs> dialogs = std::make_shared<app_test::ScriptedFileDialogs>();
  app_test::ScopedFileDialogs dialogScope{dialogs};
  testing_support::ScratchDir dir{"vyx2avi_dlg"};
  std::filesystem::path archive = dir / "camera 1.clip.vyx";
  CQxVyxParser reader;
};

TEST_F(Vyx2AviDialog, BrowseOffersTheArchivesNameAsAvi) {
  ASSERT_EQ(reader.Open(archive.string()), 1);
  CQxVyx2AviDlg dialog(QString::fromStdString(archive.string()), &reader);
  EXPECT_EQ(dialog.windowTitle(), "Convert Vyx file to Avi");
  EXPECT_EQ(Control<QLineEdit>(dialog, IDC_EDIT_VYX_FILE)->text().toStdString(), archive.string());
  EXPECT_TRUE(Control<QLineEdit>(dialog, IDC_EDIT_VYX_FILE)->isReadOnly());
  EXPECT_FALSE(Control<QPushButton>(dialog, IDC_BTN_VYX_TO_AVI)->isEnabled());

  dialogs->Answer(QString());  // cancelled: nothing changes
  Control<QPushButton>(dialog, IDC_BTN_BROWSE_AVI)->click();
  EXPECT_FALSE(Control<QPushButton>(dialog, IDC_BTN_VYX_TO_AVI)->isEnabled());
  Choose(dialog, dir / "out.avi");
  ASSERT_EQ(dialogs->Requests().size(), 2u);
  const FileDialogRequest& request = dialogs->Requests()[1];
  EXPECT_FALSE(request.open);
  EXPECT_EQ(request.fileName, "camera 1.clip.avi");
  EXPECT_EQ(request.defaultExtension, "avi");
  EXPECT_EQ(request.flags, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT);
  ASSERT_EQ(request.filters.size(), 2);
  EXPECT_EQ(request.filters[0].description, "Avi Files (*.avi)");
  EXPECT_EQ(Control<QLineEdit>(dialog, IDC_EDIT_AVI_FILE)->text().toStdString(), (dir / "out.avi").string());
  EXPECT_TRUE(Control<QPushButton>(dialog, IDC_BTN_VYX_TO_AVI)->isEnabled());
}

TEST_F(Vyx2AviDialog, ConvertsToTheEnd) {
  ASSERT_EQ(reader.Open(archive.string()), 1);
  CQxVyx2AviDlg dialog(QString::fromStdString(archive.string()), &reader);
  Choose(dialog, dir / "out.avi");
  Control<QPushButton>(dialog, IDC_BTN_VYX_TO_AVI)->click();
  ASSERT_TRUE(WaitUntilEnded(dialog));
  EXPECT_EQ(Status(dialog), "Finish!");
  EXPECT_EQ(Control<QProgressBar>(dialog, IDC_PROGRESS_CONVERT)->value(), 100);
  EXPECT_EQ(dialog.LastResult().files, std::vector<std::string>{(dir / "out.avi").string()});
  EXPECT_TRUE(boxes->Texts().empty());
  EXPECT_EQ(Control<QPushButton>(dialog, IDC_BTN_VYX_TO_AVI)->text(), "Vyx to Avi");
}

// While converting: Abort in place of "Vyx to Avi", the name, "..." and
// Exit disabled, Esc and the close request ignored; Abort ends it with
// "Abort!" and a closed, indexed file.
TEST_F(Vyx2AviDialog, AbortEndsWithAClosedFile) {
  IndexGate gate(reader, 25);
  ASSERT_EQ(reader.Open(archive.string()), 1);
  CQxVyx2AviDlg dialog(QString::fromStdString(archive.string()), &reader);
  ASSERT_TRUE(window_test::ShowAndWait(dialog));
  Choose(dialog, dir / "out.avi");
  auto* convert = Control<QPushButton>(dialog, IDC_BTN_VYX_TO_AVI);
  convert->click();
  ASSERT_TRUE(dialog.IsRunning());
  EXPECT_EQ(convert->text(), "Abort");
  EXPECT_FALSE(Control<QPushButton>(dialog, IDC_BTN_BROWSE_AVI)->isEnabled());
  EXPECT_FALSE(Control<QPushButton>(dialog, IDC_VYX2AVI_EXIT)->isEnabled());
  EXPECT_FALSE(Control<QLineEdit>(dialog, IDC_EDIT_AVI_FILE)->isEnabled());
  dialog.reject();
  dialog.close();
  window_test::ProcessEvents();
  EXPECT_TRUE(dialog.isVisible());
  QTest::qWait(1200);  // a progress tick
  EXPECT_TRUE(Status(dialog).endsWith(" %")) << Status(dialog).toStdString();

  convert->click();
  ASSERT_TRUE(WaitUntilEnded(dialog));
  EXPECT_EQ(Status(dialog), "Abort!");
  EXPECT_TRUE(boxes->Texts().empty());
  EXPECT_TRUE(Control<QPushButton>(dialog, IDC_VYX2AVI_EXIT)->isEnabled());
  ASSERT_EQ(dialog.LastResult().files.size(), 1u);
  if (testing_support::HaveProgram("ffprobe")) {
    const auto packets = convert_test::ProbePackets(dir / "out.avi");
    ASSERT_TRUE(packets);
    EXPECT_EQ(packets->size(), 25u);
  }
  gate.Open();
  dialog.close();
  EXPECT_FALSE(dialog.isVisible());
}

TEST_F(Vyx2AviDialog, AWriteErrorIsShownNotFinished) {
  ASSERT_EQ(reader.Open(archive.string()), 1);
  CQxVyx2AviDlg dialog(QString::fromStdString(archive.string()), &reader);
  Choose(dialog, dir / "missing" / "out.avi");
  Control<QPushButton>(dialog, IDC_BTN_VYX_TO_AVI)->click();
  ASSERT_TRUE(WaitUntilEnded(dialog));
  EXPECT_NE(Status(dialog), "Finish!");
  ASSERT_EQ(boxes->Texts().size(), 1u);
  EXPECT_NE(boxes->Texts()[0].find((dir / "missing" / "out.avi").string()), std::string::npos) << boxes->Texts()[0];
  EXPECT_NE(boxes->Texts()[0].find("No such file"), std::string::npos) << boxes->Texts()[0];
}

TEST_F(Vyx2AviDialog, ClosingWhileConvertingStopsTheWorker) {
  IndexGate gate(reader, 25);
  ASSERT_EQ(reader.Open(archive.string()), 1);
  {
    CQxVyx2AviDlg dialog(QString::fromStdString(archive.string()), &reader);
    Choose(dialog, dir / "out.avi");
    Control<QPushButton>(dialog, IDC_BTN_VYX_TO_AVI)->click();
    ASSERT_TRUE(dialog.IsRunning());
  }  // aborts and joins
  gate.Open();
}

// The program ending while it converts closes the dialog: the conversion is
// aborted and the dialog goes once the worker has stopped, with no message
// box left behind.
TEST_F(Vyx2AviDialog, ClosedByTheProgramWhileConvertingAbortsFirst) {
  IndexGate gate(reader, 25);
  ASSERT_EQ(reader.Open(archive.string()), 1);
  CQxVyx2AviDlg dialog(QString::fromStdString(archive.string()), &reader);
  ASSERT_TRUE(window_test::ShowAndWait(dialog));
  Choose(dialog, dir / "out.avi");
  Control<QPushButton>(dialog, IDC_BTN_VYX_TO_AVI)->click();
  ASSERT_TRUE(dialog.IsRunning());
  dialog.done(QDialog::Rejected);
  EXPECT_TRUE(dialog.isVisible() || !dialog.IsRunning()) << "closed with its worker running";
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.isVisible(); }, testing_support::kPatienceMs));
  EXPECT_FALSE(dialog.IsRunning());
  EXPECT_EQ(dialog.LastResult().end, ConversionEnd::kAborted);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_TRUE(boxes->Texts().empty());
}

// The main window's Convert AVI: drops are ignored while the dialog is
// open, and a conversion right after Stop from pause starts at the first
// record.
class MainWindowConvert : public Vyx2AviDialog {
 protected:
  MainWindowConvert() { EXPECT_TRUE(window_test::ShowAndWait(dlg)); }
  void Press(int id) {
    CxSkinButton* button = dlg.Button(id);
    window_test::Click(button, button->rect().center());
  }
  platform::ScopedDisplayBackend display{std::make_shared<platform::QtDisplayBackend>()};
  COrlentaDlg dlg;
};

TEST_F(MainWindowConvert, StopFromPauseThenConvertStartsAtTheFirstRecord) {
  const std::string jpegArchive = app_test::JpegArchive(dir, "pictures", 64, 48, app_test::EverySecond(6));
  const std::string other = app_test::JpegArchive(dir, "other", 32, 32, app_test::EverySecond(2));
  dialogs->Answer(QString::fromStdString(jpegArchive));
  Press(IDC_BTN_OPEN);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.IsIndexing(); }, 10000));
  QTest::qWait(300);
  Press(IDC_BTN_PAUSE);
  ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.Container()->IsSuspended(); }, 5000));
  Press(IDC_BTN_STOP);
  ASSERT_TRUE(dlg.Button(IDC_BTN_CONVERT_AVI)->isEnabled());

  dialogs->Answer(QString::fromStdString((dir / "pictures.avi").string()));
  bool ranInside = false;
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<CQxVyx2AviDlg*>(QApplication::activeModalWidget());
    if (!dialog || ranInside) return;
    ranInside = true;
    poll.stop();
    EXPECT_TRUE(dlg.Container()->GetDropTarget().IsBusy());
    QCoreApplication::postEvent(&dlg, new DroppedFileEvent(QString::fromStdString(other)));
    window_test::ProcessEvents();
    EXPECT_EQ(dlg.Container()->GetFileName(), jpegArchive);
    Control<QPushButton>(*dialog, IDC_BTN_BROWSE_AVI)->click();
    Control<QPushButton>(*dialog, IDC_BTN_VYX_TO_AVI)->click();
    EXPECT_TRUE(WaitUntilEnded(*dialog));
    EXPECT_EQ(Status(*dialog), "Finish!");
    Control<QPushButton>(*dialog, IDC_VYX2AVI_EXIT)->click();
    if (dialog->isVisible()) dialog->done(0);
  });
  poll.start();
  Press(IDC_BTN_CONVERT_AVI);
  EXPECT_TRUE(ranInside);
  EXPECT_FALSE(dlg.Container()->GetDropTarget().IsBusy());
  EXPECT_EQ(dlg.Container()->GetFileName(), jpegArchive);
  if (testing_support::HaveProgram("ffprobe")) {
    const auto packets = convert_test::ProbePackets(dir / "pictures.avi");
    ASSERT_TRUE(packets);
    ASSERT_EQ(packets->size(), 7u);
    EXPECT_EQ(packets->front().dts, 0);
    EXPECT_EQ(packets->back().dts, 6 * 30);
  }
}

// Convert AVI while the play thread runs (as when it does not suspend in
// time after Stop): the user is told, and no conversion dialog opens.
TEST_F(MainWindowConvert, ConvertAviThatCannotStartSaysSo) {
  const std::string jpegArchive = app_test::JpegArchive(dir, "long", 64, 48, app_test::EverySecond(60));
  dialogs->Answer(QString::fromStdString(jpegArchive));
  Press(IDC_BTN_OPEN);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.IsIndexing(); }, 10000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.Container()->GetVideoBox()->HasDrawnFrame(); }, 10000));
  ASSERT_FALSE(dlg.Container()->IsSuspended());
  bool opened = false;
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (auto* dialog = qobject_cast<CQxVyx2AviDlg*>(QApplication::activeModalWidget())) {
      opened = true;
      dialog->done(0);
    }
  });
  poll.start();
  emit dlg.Button(IDC_BTN_CONVERT_AVI)->clicked();
  window_test::ProcessEvents();
  EXPECT_FALSE(opened);
  EXPECT_EQ(boxes->Texts(), std::vector<std::string>{kConvertCannotStart});
  Press(IDC_BTN_STOP);
}

}  // namespace
