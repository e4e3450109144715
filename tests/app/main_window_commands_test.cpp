// The main window driven through its buttons: the play states and their
// enabling, Open and Snapshot through the file dialogs, the time display,
// slider seeking, the reader's and the play thread's reports, opening on
// start, and the shutdown.  Offscreen.
#include <gtest/gtest.h>

#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <condition_variable>
#include <mutex>

#include "app/about_dlg.h"
#include "app/orlenta_dlg.h"
#include "app/resource.h"
#include "platform/display_device.h"
#include "platform/message_box.h"
#include "platform/qt/private_message_event.h"
#include "platform/qt/qt_display.h"
#include "player/engine/play_mode.h"
#include "player/engine/player_messages.h"
#include "player/widgets/video_box.h"
#include "tests/app/app_test_archives.h"
#include "tests/app/window_test_support.h"
#include "tests/support/patience.h"
#include "tests/support/test_support.h"

using namespace std::chrono_literals;

namespace {

// Holds the reader's index thread once it has indexed a few records, so
// that indexing stays unfinished until the test opens the gate.  The state
// lives as long as the reader's hook; the gate opens when it goes.
class IndexGate {
 public:
  explicit IndexGate(CQxVyxParser& parser) : state_(std::make_shared<State>()) {
    parser.SetRecordIndexedHook([state = state_](size_t count) {
      if (count < 5) return;
      std::unique_lock lock(state->mutex);
      state->opened.wait(lock, [&] { return state->open; });
    });
  }
  ~IndexGate() { Open(); }
  void Close() { Set(false); }
  void Open() { Set(true); }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = true;
  };
  void Set(bool open) {
    std::lock_guard lock(state_->mutex);
    state_->open = open;
    state_->opened.notify_all();
  }
  std::shared_ptr<State> state_;
};

class MainWindowCommands : public ::testing::Test {
 protected:
  MainWindowCommands() { EXPECT_TRUE(window_test::ShowAndWait(dlg)); }

  // The enabling of Open, Play, Stop, Pause, Step back, Step forward,
  // Snapshot, Convert AVI and the slider: '+' enabled, '-' disabled.
  std::string Enabling() const {
    std::string row;
    for (int id : {IDC_BTN_OPEN, IDC_BTN_PLAY, IDC_BTN_STOP, IDC_BTN_PAUSE, IDC_BTN_STEP_BACK,
                   IDC_BTN_STEP_FORWARD, IDC_BTN_SNAPSHOT, IDC_BTN_CONVERT_AVI})
      row += dlg.Button(id)->isEnabled() ? '+' : '-';
    row += dlg.Slider()->isEnabled() ? '+' : '-';
    return row;
  }

  void Press(int id) {
    CxSkinButton* button = dlg.Button(id);
    window_test::Click(button, button->rect().center());
  }

  void OpenWithButton(const std::string& path) {
    dialogs->Answer(QString::fromStdString(path));
    Press(IDC_BTN_OPEN);
  }

  bool WaitUntil(const std::function<bool()>& condition, int ms = testing_support::kPatienceMs) {
    return QTest::qWaitFor(condition, ms);
  }

  // Presses the button and waits until the play thread has done what it
  // asks and waits again (pause and the steps).
  void PressAndSettle(int id) {
    Press(id);
    ASSERT_TRUE(WaitUntil([&] {
      return dlg.Container()->GetMode() == PLAY_MODE_PAUSE && dlg.Container()->IsSuspended();
    }));
    window_test::ProcessEvents();  // what the thread posted meanwhile
  }
  void PauseAndSettle() { PressAndSettle(IDC_BTN_PAUSE); }

  // Posts as the reader of the archive open now.
  void PostAsReader(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    dlg.Container()->GetParser().GetNotifyWindow()->Post(message, wParam, lParam);
    window_test::ProcessEvents();
  }

  window_test::WithApp app;
  platform::ScopedDisplayBackend display{std::make_shared<platform::QtDisplayBackend>()};
  std::shared_ptr<platform::RecordingMessageBoxes> boxes =
      std::make_shared<platform::RecordingMessageBoxes>();
  platform::ScopedMessageBoxBackend boxScope{boxes};
  std::shared_ptr<app_test::ScriptedFileDialogs> dialogs =
      std::make_shared<app_test::ScriptedFileDialogs>();
  app_test::ScopedFileDialogs dialogScope{dialogs};
  testing_support::ScratchDir dir{"main_window_commands"};
  COrlentaDlg dlg;
};

TEST_F(MainWindowCommands, EnablingFollowsThePlayStates) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  const auto archive = app_test::H264Archive(dir, "four_seconds", "testsrc2=size=352x288:rate=25", 100);
  ASSERT_TRUE(archive);

  EXPECT_EQ(Enabling(), "+--------") << "created";
  EXPECT_FALSE(dlg.IsClockRunning());

  OpenWithButton(*archive);
  EXPECT_EQ(Enabling(), "--++----+") << "open";
  EXPECT_TRUE(dlg.IsPlaying());
  EXPECT_TRUE(dlg.IsClockRunning());

  PauseAndSettle();
  EXPECT_EQ(Enabling(), "-++-+++-+") << "Pause";
  PressAndSettle(IDC_BTN_STEP_FORWARD);
  EXPECT_EQ(Enabling(), "-++-+++-+") << "Step forward";
  PressAndSettle(IDC_BTN_STEP_BACK);
  EXPECT_EQ(Enabling(), "-++-+++-+") << "Step back";

  Press(IDC_BTN_PLAY);
  EXPECT_EQ(Enabling(), "--++----+") << "Play";
  Press(IDC_BTN_STOP);
  EXPECT_EQ(Enabling(), "++-----+-") << "Stop";
  EXPECT_FALSE(dlg.IsPlaying());
  EXPECT_FALSE(dlg.IsClockRunning());

  // Play after Stop plays the same archive from its beginning, to its end.
  Press(IDC_BTN_PLAY);
  EXPECT_EQ(Enabling(), "--++----+") << "Play after Stop";
  EXPECT_TRUE(dlg.IsClockRunning());
  ASSERT_TRUE(WaitUntil([&] { return dlg.Container()->GetVideoBox()->HasDrawnFrame(); }));
  EXPECT_LT(dlg.Container()->GetPosition(), 2u);
  dlg.Container()->SeekTo(3);  // the last second
  ASSERT_TRUE(WaitUntil([&] { return !dlg.IsPlaying(); }));
  EXPECT_EQ(Enabling(), "++-----+-") << "end of file while playing";
  EXPECT_FALSE(dlg.IsClockRunning());

  // A late end-of-file report finds playback stopped and changes nothing.
  PostAsReader(WM_VYX_END_OF_FILE, 0, 0);
  EXPECT_EQ(Enabling(), "++-----+-") << "end of file after Stop";
  EXPECT_FALSE(dlg.IsClockRunning());
  EXPECT_TRUE(boxes->Texts().empty());
}

TEST_F(MainWindowCommands, OpenAsksForAnArchiveAndACancelChangesNothing) {
  Press(IDC_BTN_OPEN);  // nothing queued: the user cancels
  ASSERT_EQ(dialogs->Requests().size(), 1u);
  const FileDialogRequest& request = dialogs->Requests()[0];
  EXPECT_TRUE(request.open);
  EXPECT_TRUE(request.defaultExtension.isEmpty());
  EXPECT_EQ(request.flags, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT);
  ASSERT_EQ(request.filters.size(), 2);
  EXPECT_EQ(request.filters[0].description, QStringLiteral("Talvessa Archived Files (*.vyx)"));
  EXPECT_EQ(request.filters[0].patterns, QStringList{QStringLiteral("*.vyx")});
  EXPECT_EQ(request.filters[1].description, QStringLiteral("All Files(*.*)"));
  EXPECT_EQ(Enabling(), "+--------");
  EXPECT_FALSE(dlg.IsIndexing());
}

// Every key frame refused (MPEG-4 in video packets): one message box, and
// the archive plays on to its end.
TEST_F(MainWindowCommands, VideoThatCannotBeShownIsToldOnceAndPlaysOn) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  const auto stream = dir / "packets.m4v";
  const std::string archive = dir / "packets.vyx";
  ASSERT_EQ(testing_support::Run("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=352x288:rate=25 "
                                 "-frames:v 50 -c:v mpeg4 -threads 4 -f m4v '" + stream.string() + "' && '" +
                                 testing_support::BuiltTool("tools/vyxmux/vyxmux").string() + "' -o '" + archive +
                                 "' --mpeg4 '" + stream.string() + "' >/dev/null"),
            0);
  OpenWithButton(archive);
  ASSERT_TRUE(WaitUntil([&] { return !boxes->Texts().empty(); }));
  EXPECT_NE(boxes->Texts()[0].find("MPEG-4 Part 2"), std::string::npos) << boxes->Texts()[0];
  EXPECT_NE(boxes->Texts()[0].find("video packets"), std::string::npos) << boxes->Texts()[0];
  EXPECT_TRUE(dlg.IsPlaying());
  ASSERT_TRUE(WaitUntil([&] { return !dlg.IsPlaying(); }));
  EXPECT_EQ(boxes->Texts().size(), 1u);
}

TEST_F(MainWindowCommands, AFailedOpenLeavesTheButtonsAndSliderSeekingAsTheyWere) {
  OpenWithButton(dir / "missing.vyx");
  EXPECT_EQ(boxes->Texts(), std::vector<std::string>{"Vyx File Error!"});
  EXPECT_EQ(Enabling(), "+--------");
  EXPECT_FALSE(dlg.IsPlaying());
  // No report will come for it: slider seeks must not stay ignored.
  EXPECT_FALSE(dlg.IsIndexing());
}

// After an archive played and stopped, a file that is no archive leaves
// nothing of it behind: no picture, no time, and no Play that would show a
// playing state with nothing to play.
TEST_F(MainWindowCommands, AFailedOpenAfterAnArchiveLeavesAWindowWithNothingOpen) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  const auto archive = app_test::H264Archive(dir, "clip", "testsrc2=size=352x288:rate=25", 50);
  ASSERT_TRUE(archive);
  std::filesystem::copy_file(dir / "clip.264", dir / "raw.vyx");
  testing_support::WriteFile(dir / "empty.vyx", {});
  std::filesystem::create_directory(dir / "folder.vyx");
  struct Case {
    const char* name;
    const char* message;
  };
  for (const Case& c : {Case{"raw.vyx", "Open Vyx File Error!"}, Case{"empty.vyx", "Vyx File Error!"},
                        Case{"folder.vyx", "Vyx File Error!"}, Case{"missing.vyx", "Vyx File Error!"}}) {
    OpenWithButton(*archive);
    ASSERT_TRUE(WaitUntil([&] { return !dlg.IsIndexing() && dlg.Container()->GetPosition() >= 1; })) << c.name;
    ASSERT_TRUE(WaitUntil([&] { return !dlg.TimeText()->text().isEmpty(); })) << c.name;
    ASSERT_EQ(dlg.Slider()->maximum(), 1) << c.name;
    Press(IDC_BTN_STOP);
    ASSERT_TRUE(WaitUntil([&] { return dlg.Container()->IsSuspended(); })) << c.name;
    ASSERT_TRUE(dlg.Container()->GetVideoBox()->HasDrawnFrame()) << c.name;

    const size_t shownBefore = boxes->Texts().size();
    OpenWithButton(dir / c.name);
    ASSERT_TRUE(WaitUntil([&] { return boxes->Texts().size() > shownBefore; }, 5000)) << c.name;
    EXPECT_EQ(boxes->Texts().back(), c.message) << c.name;
    EXPECT_EQ(Enabling(), "+--------") << c.name;
    EXPECT_FALSE(dlg.IsPlaying()) << c.name;
    EXPECT_FALSE(dlg.IsClockRunning()) << c.name;
    EXPECT_FALSE(dlg.IsIndexing()) << c.name;
    EXPECT_FALSE(dlg.Container()->GetVideoBox()->HasDrawnFrame()) << c.name;
    EXPECT_TRUE(dlg.TimeText()->text().isEmpty()) << dlg.TimeText()->text().toStdString();
    EXPECT_EQ(dlg.Slider()->value(), 0) << c.name;
    EXPECT_EQ(dlg.Slider()->maximum(), 10) << c.name;
    // An index report of the file, should one come late, changes none of it.
    PostAsReader(WM_VYX_INDEX_DONE, 1, 3725);
    EXPECT_EQ(dlg.Slider()->maximum(), 10) << c.name;
    EXPECT_EQ(Enabling(), "+--------") << c.name;
  }

  // Nor do the fisheye buttons of a square source stay.
  OpenWithButton(app_test::JpegArchive(dir, "square", 512, 512, app_test::EverySecond(20)));
  ASSERT_TRUE(WaitUntil([&] { return dlg.IsFisheyeInterface(); }));
  Press(IDC_BTN_STOP);
  OpenWithButton(dir / "missing.vyx");
  EXPECT_FALSE(dlg.IsFisheyeInterface());
  for (int id = IDC_BTN_FISHEYE_VIEW; id <= IDC_BTN_WALL_MOUNT; ++id) {
    QWidget* button = dlg.Button(id);
    ASSERT_TRUE(button) << id;
    EXPECT_TRUE(button->isHidden()) << id;
  }
  EXPECT_EQ(Enabling(), "+--------");
}

TEST_F(MainWindowCommands, TimeTextShowsThePositionAndTheDuration) {
  OpenWithButton(app_test::JpegArchive(dir, "seventy", 64, 48, app_test::EverySecond(70)));
  ASSERT_TRUE(WaitUntil([&] { return !dlg.IsIndexing(); }));
  PauseAndSettle();
  PostAsReader(WM_VYX_INDEX_DONE, 1, 3725);
  EXPECT_EQ(dlg.Slider()->maximum(), 3725);
  dlg.Container()->SeekTo(59);
  EXPECT_TRUE(WaitUntil([&] { return dlg.TimeText()->text() == QStringLiteral("00:00:59 / 01:02:05"); }))
      << dlg.TimeText()->text().toStdString();
  EXPECT_EQ(dlg.Slider()->value(), 59);

  dlg.SetTimeText(IDC_STATIC_TIME, 3725 + 3600);
  EXPECT_EQ(dlg.TimeText()->text(), QStringLiteral("02:02:05 / 01:02:05"));
}

TEST_F(MainWindowCommands, SliderSeeksAreIgnoredWhileIndexing) {
  IndexGate gate(dlg.Container()->GetParser());
  gate.Close();
  OpenWithButton(app_test::JpegArchive(dir, "seventy", 64, 48, app_test::EverySecond(70)));
  ASSERT_TRUE(dlg.IsPlaying());
  EXPECT_TRUE(dlg.IsIndexing());
  PauseAndSettle();
  CBitSlider* slider = dlg.Slider();
  const int y = slider->height() / 2;
  auto drag = [&](int fromX, int toX) {
    window_test::Press(slider, {fromX, y});
    window_test::Move(slider, {(fromX + toX) / 2, y});
    window_test::Move(slider, {toX, y});
    window_test::Release(slider, {toX, y});
  };

  drag(20, slider->width() - 20);
  QTest::qWait(300);
  EXPECT_LT(dlg.Container()->GetPosition(), 5u) << "seeked while indexing";

  gate.Open();
  ASSERT_TRUE(WaitUntil([&] { return !dlg.IsIndexing(); }));
  ASSERT_EQ(slider->maximum(), 70);
  drag(20, slider->width() / 2);
  EXPECT_TRUE(WaitUntil([&] { return dlg.Container()->GetPosition() >= 30; }))
      << dlg.Container()->GetPosition();
}

TEST_F(MainWindowCommands, WhileTheThumbIsDraggedTheClockLeavesItAndTheTextToTheDrag) {
  OpenWithButton(app_test::JpegArchive(dir, "seventy", 64, 48, app_test::EverySecond(70)));
  ASSERT_TRUE(WaitUntil([&] { return !dlg.IsIndexing(); }));
  CBitSlider* slider = dlg.Slider();
  const int y = slider->height() / 2;
  window_test::Press(slider, {20, y});
  window_test::Move(slider, {slider->width() / 4, y});
  window_test::Move(slider, {slider->width() / 2, y});
  const int dragged = slider->value();
  ASSERT_GT(dragged, 20);
  const QString tracking = dlg.TimeText()->text();
  EXPECT_EQ(tracking, QString::asprintf("00:00:%02d / 00:01:10", dragged));
  QTest::qWait(350);  // three clock ticks while playing near the start
  EXPECT_EQ(slider->value(), dragged);
  EXPECT_EQ(dlg.TimeText()->text(), tracking);

  window_test::Release(slider, {slider->width() / 2, y});
  EXPECT_TRUE(WaitUntil([&] { return dlg.Container()->GetPosition() >= static_cast<uint32_t>(dragged); }));
}

TEST_F(MainWindowCommands, ReportsOfAnEarlierArchivesIndexThreadAreIgnored) {
  OpenWithButton(app_test::JpegArchive(dir, "first", 64, 48, app_test::EverySecond(20)));
  ASSERT_TRUE(WaitUntil([&] { return !dlg.IsIndexing(); }));
  ASSERT_EQ(dlg.Slider()->maximum(), 20);
  const platform::MessageTargetPtr firstReader = dlg.Container()->GetParser().GetNotifyWindow();
  Press(IDC_BTN_STOP);

  IndexGate gate(dlg.Container()->GetParser());
  gate.Close();
  OpenWithButton(app_test::JpegArchive(dir, "second", 64, 48, app_test::EverySecond(40)));
  ASSERT_TRUE(dlg.IsIndexing());
  // Reports the first archive's index thread posted before it was stopped,
  // delivered only now.
  firstReader->Post(WM_VYX_INDEX_DONE, 1, 20);
  firstReader->Post(WM_VYX_INDEX_ERROR, 1, 20);
  window_test::ProcessEvents();
  EXPECT_TRUE(dlg.IsIndexing());
  EXPECT_EQ(dlg.Slider()->maximum(), 20);

  gate.Open();
  ASSERT_TRUE(WaitUntil([&] { return !dlg.IsIndexing(); }));
  EXPECT_EQ(dlg.Slider()->maximum(), 40);
}

TEST_F(MainWindowCommands, IndexErrorOnlyEndsIndexing) {
  IndexGate gate(dlg.Container()->GetParser());
  gate.Close();
  OpenWithButton(app_test::JpegArchive(dir, "seventy", 64, 48, app_test::EverySecond(70)));
  ASSERT_TRUE(dlg.IsIndexing());
  PostAsReader(WM_VYX_INDEX_ERROR, 1, 3);
  EXPECT_FALSE(dlg.IsIndexing());
  EXPECT_EQ(dlg.Slider()->maximum(), 10);  // the range of the empty window
  dlg.SetTimeText(IDC_STATIC_TIME, 0);
  EXPECT_EQ(dlg.TimeText()->text(), QStringLiteral("00:00:00 / 00:00:00"));
}

TEST_F(MainWindowCommands, SnapshotsAreJpegUnlessTheNameSaysOtherwise) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  const auto archive = app_test::H264Archive(dir, "clip", "testsrc2=size=352x288:rate=25", 50);
  ASSERT_TRUE(archive);
  OpenWithButton(*archive);
  ASSERT_TRUE(WaitUntil([&] { return dlg.Container()->GetVideoBox()->HasDrawnFrame(); }));
  PauseAndSettle();

  struct Case {
    std::string answer;
    std::string saved;
    std::vector<uint8_t> magic;
  };
  const Case cases[] = {{"shot.Jpg", "shot.Jpg", {0xFF, 0xD8, 0xFF}},
                        {"shot.bmp", "shot.bmp", {'B', 'M'}},
                        {"shot", "shot.jpg", {0xFF, 0xD8, 0xFF}}};
  for (const Case& c : cases) {
    dialogs->Answer(QString::fromStdString(dir / c.answer));
    Press(IDC_BTN_SNAPSHOT);
    const std::vector<uint8_t> bytes = testing_support::ReadFile(dir / c.saved);
    ASSERT_GE(bytes.size(), c.magic.size()) << c.saved;
    EXPECT_TRUE(std::equal(c.magic.begin(), c.magic.end(), bytes.begin())) << c.saved;
  }
  EXPECT_TRUE(boxes->Texts().empty()) << "a saved snapshot is not announced";
  const FileDialogRequest& request = dialogs->Requests().back();
  EXPECT_FALSE(request.open);
  EXPECT_EQ(request.defaultExtension, QStringLiteral("jpg"));
  EXPECT_EQ(request.flags, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT);
  ASSERT_EQ(request.filters.size(), 2);
  EXPECT_EQ(request.filters[0].description, QStringLiteral("JPEG Files (*.jpg)"));
}

TEST_F(MainWindowCommands, ASnapshotThatCannotBeSavedSaysWhereAndWhy) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  const auto archive = app_test::H264Archive(dir, "clip", "testsrc2=size=352x288:rate=25", 50);
  ASSERT_TRUE(archive);
  OpenWithButton(*archive);
  ASSERT_TRUE(WaitUntil([&] { return dlg.Container()->GetVideoBox()->HasDrawnFrame(); }));
  PauseAndSettle();

  testing_support::WriteFile(dir / "plain_file", {1, 2, 3});
  const auto readOnly = dir / "read_only";
  std::filesystem::create_directory(readOnly);
  std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  struct Case {
    std::string path;
    int error;
  };
  std::vector<Case> cases = {{dir / "no_such_folder" / "shot.jpg", ENOENT},
                             {dir / "no_such_folder" / "shot.bmp", ENOENT},
                             {dir / "plain_file" / "shot.jpg", ENOTDIR}};
  // Whoever may write anywhere (root) cannot see this one fail.
  if (::access(readOnly.c_str(), W_OK) != 0) cases.push_back({readOnly / "shot.jpg", EACCES});
  for (const Case& c : cases) {
    const size_t shownBefore = boxes->Texts().size();
    dialogs->Answer(QString::fromStdString(c.path));
    Press(IDC_BTN_SNAPSHOT);
    ASSERT_EQ(boxes->Texts().size(), shownBefore + 1) << c.path;
    EXPECT_EQ(boxes->Texts().back(), "Snapshot Error!\n" + c.path + "\n" + std::strerror(c.error));
    EXPECT_FALSE(std::filesystem::exists(c.path)) << c.path;
  }
  EXPECT_EQ(Enabling(), "-++-+++-+") << "still paused";
  std::filesystem::permissions(readOnly, std::filesystem::perms::owner_all);
}

TEST_F(MainWindowCommands, SteppingBackPastTheFirstKeyFrameSaysSo) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  const auto archive = app_test::H264Archive(dir, "clip", "testsrc2=size=352x288:rate=25", 75);
  ASSERT_TRUE(archive);
  OpenWithButton(*archive);
  PauseAndSettle();
  for (int i = 0; i < 4 && boxes->Texts().empty(); ++i) PressAndSettle(IDC_BTN_STEP_BACK);
  EXPECT_EQ(boxes->Texts(), std::vector<std::string>{"Play to file start!"});
  EXPECT_EQ(Enabling(), "-++-+++-+");  // still paused
  EXPECT_EQ(dlg.Container()->GetMode(), PLAY_MODE_PAUSE);
}

TEST_F(MainWindowCommands, ADroppedArchiveOpensAndPlays) {
  const std::string archive = app_test::JpegArchive(dir, "dropped", 64, 48, app_test::EverySecond(10));
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(archive))});
  CQxVideoContainer* container = dlg.Container();
  QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(container, &enter);
  QDragMoveEvent move(QPoint(60, 60), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(container, &move);
  ASSERT_TRUE(move.isAccepted());
  QDropEvent drop(QPointF(60, 60), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(container, &drop);
  EXPECT_TRUE(drop.isAccepted());
  EXPECT_FALSE(dlg.IsPlaying()) << "the open waits for the posted message";
  EXPECT_TRUE(WaitUntil([&] { return dlg.IsPlaying(); }));
  EXPECT_EQ(dlg.Container()->GetFileName(), archive);
  EXPECT_EQ(Enabling(), "--++----+");
  ASSERT_TRUE(WaitUntil([&] { return !dlg.IsIndexing(); }));
  EXPECT_EQ(dlg.Slider()->maximum(), 10);
}

TEST_F(MainWindowCommands, EscapeDoesNotCloseThePlayer) {
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QCoreApplication::sendEvent(&dlg, &escape);
  window_test::ProcessEvents();
  EXPECT_TRUE(dlg.isVisible());
}

TEST_F(MainWindowCommands, ClosingEndsPlaybackBeforeTheWidgetsGo) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  const auto archive = app_test::H264Archive(dir, "clip", "testsrc2=size=352x288:rate=25", 250);
  ASSERT_TRUE(archive);
  std::atomic<int> shown{0};
  dlg.Container()->GetVideoBox()->SetDrawObserver([&](const VYX_FRAME_HEADER&) { ++shown; });
  OpenWithButton(*archive);
  ASSERT_TRUE(WaitUntil([&] { return shown >= 3; }));
  dlg.close();
  EXPECT_FALSE(dlg.isVisible());
  const int atClose = shown;
  QTest::qWait(300);  // several frames' spacing
  EXPECT_EQ(shown, atClose);
  EXPECT_FALSE(dlg.Container()->GetVideoBox()->GetAudio().GetSoundOut().IsPlaying());
  // Reports still queued find nothing to drive.
  PostAsReader(WM_VYX_END_OF_FILE, 0, 0);
  EXPECT_TRUE(dlg.IsPlaying());
}

TEST_F(MainWindowCommands, TheFrameMenuOpensTheAboutBox) {
  window_test::RightClick(&dlg, {4, dlg.height() / 2});  // the left edge of the skin
  ASSERT_TRUE(WaitUntil([&] { return dlg.FrameMenu()->isVisible(); }, testing_support::kPatienceMs));
  dlg.FrameMenu()->hide();
  CxSkinButton* open = dlg.Button(IDC_BTN_OPEN);
  window_test::RightClick(open, open->rect().center());
  EXPECT_FALSE(dlg.FrameMenu()->isVisible());

  QString shownTitle;
  QTimer::singleShot(0, [&] {
    if (auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
      shownTitle = about->windowTitle();
      about->accept();
    }
  });
  dlg.MenuAction(IDM_ABOUTBOX)->trigger();
  EXPECT_EQ(shownTitle, QStringLiteral("About Orlenta"));
  EXPECT_EQ(dlg.MenuAction(IDM_ABOUTBOX)->text(), QStringLiteral("&About Orlenta..."));
}

class OpenOnStart : public ::testing::Test {
 protected:
  window_test::WithApp app;
  platform::ScopedDisplayBackend display{std::make_shared<platform::QtDisplayBackend>()};
  testing_support::ScratchDir dir{"open_on_start"};
};

TEST_F(OpenOnStart, TheNamedArchiveOpensAfterTheWindowAppears) {
  COrlentaDlg dlg;
  dlg.SetFileName(QString::fromStdString(app_test::JpegArchive(dir, "a", 64, 48, {0, 1, 2})));
  window_test::ProcessEvents();
  QTest::qWait(200);
  EXPECT_FALSE(dlg.IsPlaying()) << "before the window is shown";
  ASSERT_TRUE(window_test::ShowAndWait(dlg));
  EXPECT_TRUE(QTest::qWaitFor([&] { return dlg.IsPlaying(); }, testing_support::kPatienceMs));
}

TEST_F(OpenOnStart, WithoutANameNothingOpens) {
  COrlentaDlg dlg;
  ASSERT_TRUE(window_test::ShowAndWait(dlg));
  QTest::qWait(300);
  EXPECT_FALSE(dlg.IsPlaying());
  EXPECT_FALSE(dlg.IsClockRunning());
  EXPECT_FALSE(dlg.IsIndexing());
}

}  // namespace
