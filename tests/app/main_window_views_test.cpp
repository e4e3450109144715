// The main window's fisheye controls on a paused square archive: which
// view mode each view button chooses by the checked mount, the presses
// that change nothing, the mount changes that fall back to the raw
// picture, the video area's shape, and the paused picture redrawn at
// once by a view change, a tile click and the wheel.
#include <gtest/gtest.h>

#include <QTest>
#include <QWheelEvent>
#include <atomic>

#include "app/orlenta_dlg.h"
#include "app/resource.h"
#include "platform/display_device.h"
#include "platform/qt/qt_display.h"
#include "player/engine/play_mode.h"
#include "player/widgets/video_box.h"
#include "tests/app/app_test_archives.h"
#include "tests/app/window_test_support.h"
#include "tests/support/test_support.h"

namespace {

class MainWindowViews : public ::testing::Test {
 protected:
  void SetUp() override {
    ORLENTA_REQUIRE_PROGRAM("ffmpeg");
    ASSERT_TRUE(window_test::ShowAndWait(dlg));
    box()->SetDrawObserver([this](const VYX_FRAME_HEADER&) { ++draws; });
    const std::optional<std::string> archive =
        app_test::H264Archive(dir, "square", "testsrc2=size=320x320:rate=25", 250);
    ASSERT_TRUE(archive);
    dlg.OpenFile(QString::fromStdString(*archive));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.IsFisheyeInterface() && box()->HasDrawnFrame(); }, 10000));
    Press(IDC_BTN_PAUSE);
    Press(IDC_BTN_PLAY);  // enables the mounts
    Press(IDC_BTN_PAUSE);
    ASSERT_TRUE(QTest::qWaitFor([&] {
      return dlg.Container()->GetMode() == PLAY_MODE_PAUSE && dlg.Container()->IsSuspended();
    }));
    window_test::ProcessEvents();
  }
  void TearDown() override { box()->SetDrawObserver(nullptr); }

  CQxVideoBox* box() { return dlg.Container()->GetVideoBox(); }
  void Press(int id) {
    CxSkinButton* button = dlg.Button(id);
    window_test::Click(button, button->rect().center());
    window_test::ProcessEvents();
  }
  int Mode() { return box()->GetViewMode(); }
  // An action that redraws the paused picture; waits until the play
  // thread has paused again.
  bool Redraws(const std::function<void()>& action) {
    const int before = draws;
    action();
    return QTest::qWaitFor(
        [&] {
          return draws > before && dlg.Container()->GetMode() == PLAY_MODE_PAUSE && dlg.Container()->IsSuspended();
        },
        5000) || (ADD_FAILURE() << "draws " << before << " -> " << draws << " mode " << dlg.Container()->GetMode()
                                << " suspended " << dlg.Container()->IsSuspended() << " view " << Mode(), false);
  }

  window_test::WithApp app;
  platform::ScopedDisplayBackend display{std::make_shared<platform::QtDisplayBackend>()};
  testing_support::ScratchDir dir{"main_window_views"};
  COrlentaDlg dlg;
  std::atomic<int> draws{0};
};

TEST_F(MainWindowViews, ButtonsChooseModesByMount) {
  EXPECT_EQ(Mode(), 0);
  EXPECT_EQ(dlg.Button(IDC_BTN_CEILING_MOUNT)->GetCheck(), 1);
  EXPECT_TRUE(Redraws([&] { Press(IDC_BTN_QUAD_VIEW); }));
  EXPECT_EQ(Mode(), 17);
  // The video area takes the quad's 4:3 shape.
  EXPECT_NEAR(static_cast<double>(box()->width()) / box()->height(), 1280.0 / 960.0, 0.02);

  // A tile clicked: the paused picture shows it selected at once.
  EXPECT_TRUE(Redraws([&] {
    window_test::Click(box(), QPoint(box()->width() * 3 / 4, box()->height() / 4));
  }));
  EXPECT_EQ(Mode(), 18);
  Press(IDC_BTN_QUAD_VIEW);  // the ceiling's quad is shown: nothing changes
  EXPECT_EQ(Mode(), 18);

  // The wheel zooms the selected tile; the first turn only starts the clock.
  QWheelEvent turn(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(&dlg, &turn);
  QTest::qWait(120);
  EXPECT_TRUE(Redraws([&] { QCoreApplication::sendEvent(&dlg, &turn); }));

  Press(IDC_BTN_WALL_MOUNT);  // a ceiling mode: back to the raw picture
  EXPECT_EQ(Mode(), 0);
  EXPECT_EQ(dlg.Button(IDC_BTN_FISHEYE_VIEW)->GetCheck(), 1);
  EXPECT_TRUE(Redraws([&] { Press(IDC_BTN_QUAD_VIEW); }));
  EXPECT_EQ(Mode(), 23);
  window_test::Click(box(), QPoint(box()->width() * 3 / 4, box()->height() / 4));
  EXPECT_EQ(Mode(), 24);
  Press(IDC_BTN_QUAD_VIEW);  // the wall's quad starts over
  EXPECT_EQ(Mode(), 23);
  Press(IDC_BTN_WALL_180);
  EXPECT_EQ(Mode(), 22);
  Press(IDC_BTN_SINGLE_VIEW);
  EXPECT_EQ(Mode(), 21);
  EXPECT_NEAR(static_cast<double>(box()->width()) / box()->height(), 960.0 / 720.0, 0.02);

  Press(IDC_BTN_DESK_MOUNT);
  EXPECT_EQ(Mode(), 0);
  EXPECT_FALSE(dlg.Button(IDC_BTN_360)->isEnabled());
  EXPECT_FALSE(dlg.Button(IDC_BTN_QUAD_VIEW)->isEnabled());
  EXPECT_FALSE(dlg.Button(IDC_BTN_WALL_180)->isEnabled());
  Press(IDC_BTN_DUAL_180);
  EXPECT_EQ(Mode(), 2);
  Press(IDC_BTN_SINGLE_VIEW);
  EXPECT_EQ(Mode(), 1);
  Press(IDC_BTN_FISHEYE_VIEW);
  EXPECT_EQ(Mode(), 0);
  Press(IDC_BTN_CEILING_MOUNT);  // mode 0 stays
  EXPECT_EQ(Mode(), 0);
  Press(IDC_BTN_360);
  EXPECT_EQ(Mode(), 14);
  Press(IDC_BTN_DUAL_180);
  EXPECT_EQ(Mode(), 12);
}

TEST_F(MainWindowViews, DragOfTheSingleViewAndItsRestoringTimer) {
  EXPECT_TRUE(Redraws([&] { Press(IDC_BTN_SINGLE_VIEW); }));
  ASSERT_EQ(Mode(), 11);
  EXPECT_EQ(box()->CurrentPicture().size(), QSize(960, 720));
  const QPoint p(box()->width() / 2, box()->height() / 2);
  window_test::Press(box(), p);
  window_test::Move(box(), p + QPoint(1, 1));  // starts the drag's clock
  QTest::qWait(150);
  // One step, drawn at once at the moving size (640 x 480); the timer then
  // brings back the full size, drawn again.
  EXPECT_TRUE(Redraws([&] { window_test::Move(box(), p + QPoint(60, 40)); }));
  EXPECT_TRUE(QTest::qWaitFor([&] { return box()->CurrentPicture().size() == QSize(960, 720); }, 5000))
      << box()->CurrentPicture().width();
  window_test::Release(box(), p + QPoint(60, 40));
}

TEST(MountFamily, OfEveryMode) {
  for (int mode = -1; mode <= 27; ++mode) {
    const int expected = mode >= 1 && mode <= 3 ? 2 : mode >= 11 && mode <= 20 ? 1 : mode >= 21 && mode <= 26 ? 3 : 0;
    EXPECT_EQ(COrlentaDlg::GetMountFamily(mode), expected) << mode;
  }
}

}  // namespace
