// The main window's layout in both interfaces, its size rules and its
// look when empty.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFontMetrics>
#include <QScreen>
#include <QTest>

#include "app/orlenta_dlg.h"
#include "app/resource.h"
#include "app/skin/dialog_item.h"
#include "platform/display_device.h"
#include "platform/qt/qt_display.h"
#include "tests/app/app_test_archives.h"
#include "tests/app/window_test_support.h"
#include "tests/support/archive_records.h"
#include "tests/support/patience.h"
#include "tests/support/test_support.h"

namespace {

using window_test::App;

QRect Edges(int left, int top, int right, int bottom) {
  return QRect(left, top, right - left, bottom - top);
}

// An archive of a few JPEG key frames of one picture size.
std::string Archive(const testing_support::ScratchDir& dir, int width, int height) {
  std::vector<testing_support::ArchiveRecord> records;
  for (uint32_t i = 0; i < 3; ++i) {
    records.push_back(
        {testing_support::HeaderAt(FRAME_TYPE_JPEG, 1700000000, i * 40000), app_test::JpegPicture(width, height)});
    records.back().header.width = static_cast<uint16_t>(width);
    records.back().header.height = static_cast<uint16_t>(height);
  }
  const std::string path = dir / (std::to_string(width) + "x" + std::to_string(height) + ".vyx");
  EXPECT_TRUE(testing_support::WriteArchive(path, records));
  return path;
}

const int kFisheyeIds[] = {IDC_BTN_CEILING_MOUNT, IDC_BTN_DESK_MOUNT, IDC_BTN_WALL_MOUNT,
                           IDC_BTN_FISHEYE_VIEW,  IDC_BTN_SINGLE_VIEW, IDC_BTN_QUAD_VIEW,
                           IDC_BTN_DUAL_180,      IDC_BTN_360,         IDC_BTN_WALL_180};

class MainWindow : public ::testing::Test {
 protected:
  QRect At(int id) { return GetDlgItem(&dlg, id)->geometry(); }

  // Plays an archive of pictures of that size until the window has had
  // the play thread's report of the size, then stops.
  void PlaySource(int width, int height) {
    ASSERT_EQ(dlg.Container()->OpenFile(Archive(dir, width, height)), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.VideoSize() == QSize(width, height); }, testing_support::kPatienceMs));
    dlg.Container()->Stop();
    window_test::ProcessEvents();
  }

  window_test::WithApp app;
  platform::ScopedDisplayBackend display{std::make_shared<platform::QtDisplayBackend>()};
  testing_support::ScratchDir dir{"main_window"};
  COrlentaDlg dlg;
};

TEST_F(MainWindow, TemplateSizeAndNormalInterface) {
  EXPECT_EQ(dlg.size(), QSize(786, 648));  // 524 x 399 dialog units
  EXPECT_EQ(dlg.windowTitle(), "Orlenta 2.0.1.30");
  EXPECT_FALSE(dlg.IsFisheyeInterface());

  const int w2 = 393, B = 648;
  EXPECT_EQ(At(IDC_BTN_OPEN), Edges(w2 - 50, 2, w2 + 50, 35));
  EXPECT_EQ(At(IDC_BTN_SNAPSHOT), Edges(w2 - 155, 2, w2 - 55, 35));
  EXPECT_EQ(At(IDC_BTN_CONVERT_AVI), Edges(w2 + 55, 2, w2 + 155, 35));
  EXPECT_EQ(At(IDC_BTN_STOP), Edges(w2 - 122, B - 58, w2 - 72, B - 4));
  EXPECT_EQ(At(IDC_BTN_STEP_BACK), Edges(w2 - 73, B - 58, w2 - 32, B - 4));
  EXPECT_EQ(At(IDC_BTN_PLAY), Edges(w2 - 27, B - 58, w2 + 26, B - 4));
  EXPECT_EQ(At(IDC_BTN_PAUSE), Edges(w2 + 28, B - 58, w2 + 73, B - 4));
  EXPECT_EQ(At(IDC_BTN_STEP_FORWARD), Edges(w2 + 75, B - 58, w2 + 116, B - 4));
  EXPECT_EQ(At(IDC_STATIC_TIME), Edges(10, B - 45, 115, B - 21));
  EXPECT_EQ(At(IDC_VIDEO_CONTAINER), Edges(10, 37, 776, B - 76));
  EXPECT_EQ(At(IDC_SLIDER_TIME), Edges(11, B - 76, 775, B - 66));
  for (int id : kFisheyeIds) EXPECT_TRUE(GetDlgItem(&dlg, id)->isHidden()) << id;
}

TEST_F(MainWindow, FisheyeInterfaceAddsTheNineButtonsAndNarrowsTheVideo) {
  ASSERT_TRUE(window_test::ShowAndWait(dlg));
  PlaySource(512, 512);
  ASSERT_TRUE(dlg.IsFisheyeInterface());
  const int R = 786, B = 648;
  EXPECT_EQ(At(IDC_BTN_WALL_MOUNT), Edges(R - 36, 2, R, 34));
  EXPECT_EQ(At(IDC_BTN_DESK_MOUNT), Edges(R - 72, 2, R - 36, 34));
  EXPECT_EQ(At(IDC_BTN_CEILING_MOUNT), Edges(R - 108, 2, R - 72, 34));
  const int column[] = {IDC_BTN_FISHEYE_VIEW, IDC_BTN_SINGLE_VIEW, IDC_BTN_QUAD_VIEW,
                        IDC_BTN_DUAL_180,     IDC_BTN_360,         IDC_BTN_WALL_180};
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(At(column[i]), Edges(R - 47, 37 + 54 * i, R - 2, 91 + 54 * i)) << column[i];
  EXPECT_EQ(At(IDC_VIDEO_CONTAINER), Edges(10, 37, R - 50, B - 76));
  EXPECT_EQ(At(IDC_SLIDER_TIME), Edges(11, B - 76, R - 51, B - 66));
  for (int id : kFisheyeIds) EXPECT_FALSE(GetDlgItem(&dlg, id)->isHidden()) << id;
  // The layout enables all nine; the mount then takes away what it does not
  // offer (the ceiling mount has no wall view).
  EXPECT_FALSE(dlg.Button(IDC_BTN_WALL_180)->isEnabled());
  dlg.LayoutControls(false);
  for (int id : kFisheyeIds) EXPECT_TRUE(GetDlgItem(&dlg, id)->isEnabled()) << id;
  // The transport row does not depend on the interface.
  EXPECT_EQ(At(IDC_BTN_PLAY), Edges(393 - 27, B - 58, 393 + 26, B - 4));

  // A later source that is not square hides them again.
  PlaySource(704, 576);
  for (int id : kFisheyeIds) EXPECT_TRUE(GetDlgItem(&dlg, id)->isHidden()) << id;
  EXPECT_EQ(At(IDC_VIDEO_CONTAINER), Edges(10, 37, dlg.width() - 10, dlg.height() - 76));
}

TEST_F(MainWindow, NewVideoSizeResizesTheWindowWhereItIs) {
  ASSERT_TRUE(window_test::ShowAndWait(dlg));
  const QRect workArea = dlg.screen()->availableGeometry();
  const QPoint place = workArea.topLeft() + QPoint(30, 20);
  struct Case {
    int width, height;
    QSize outer;
  };
  for (const Case& c : {Case{352, 240, {540, 460}}, Case{704, 576, {704, 576}}}) {
    dlg.move(place);
    window_test::ProcessEvents();
    PlaySource(c.width, c.height);
    EXPECT_EQ(dlg.frameGeometry(), QRect(place, c.outer)) << c.width << "x" << c.height;
    // The frame counts: the client area is smaller than the outer size.
    EXPECT_EQ(dlg.frameGeometry().size() - dlg.size(),
              QSize(dlg.windowHandle()->frameMargins().left() + dlg.windowHandle()->frameMargins().right(),
                    dlg.windowHandle()->frameMargins().top() + dlg.windowHandle()->frameMargins().bottom()));
    EXPECT_EQ(At(IDC_VIDEO_CONTAINER), Edges(10, 37, dlg.width() - 10, dlg.height() - 76));
  }
}

// The video area's shape for a window of that outer size.
double VideoAspect(QSize outer, QSize frame) {
  return double(outer.width() - frame.width() - 20) / (outer.height() - frame.height() - 113);
}

TEST_F(MainWindow, AWindowTooLargeForTheWorkAreaShrinksItsVideoAndStaysInside) {
  ASSERT_TRUE(window_test::ShowAndWait(dlg));
  const QRect workArea = dlg.screen()->availableGeometry();
  const QSize frame = dlg.frameGeometry().size() - dlg.size();
  struct Case {
    QSize picture;
    QPoint from;  // where the window was, from the work area's top-left
  };
  // Too wide, too high, too large both ways (shapes that the minimum size
  // does not change); placed well inside the work area and near its far
  // corner.
  const int W = workArea.width(), H = workArea.height();
  for (const Case& c : {Case{{W + 400, H * 7 / 8}, {40, 30}}, Case{{W * 5 / 4, H + 300}, {40, 30}},
                        Case{{W * 2, H * 3 / 2}, {W - 600, H - 500}}}) {
    const QPoint from = workArea.topLeft() + c.from;
    dlg.move(from);
    window_test::ProcessEvents();
    PlaySource(c.picture.width(), c.picture.height());
    const QRect outer = dlg.frameGeometry();
    const std::string name = std::to_string(c.picture.width()) + "x" + std::to_string(c.picture.height());
    EXPECT_TRUE(workArea.contains(outer)) << name;
    // As large as the work area allows, one way or the other, with the shape
    // the video area would have had.
    EXPECT_TRUE(outer.width() == workArea.width() || outer.height() == workArea.height()) << name;
    EXPECT_NEAR(VideoAspect(outer.size(), frame), VideoAspect(c.picture, frame), 0.01) << name;
    // Moved only as far as it had to.
    EXPECT_EQ(outer.left(), std::min(from.x(), workArea.right() + 1 - outer.width())) << name;
    EXPECT_EQ(outer.top(), std::min(from.y(), workArea.bottom() + 1 - outer.height())) << name;
    for (QWidget* control : dlg.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (control->isHidden()) continue;
      EXPECT_TRUE(workArea.contains(QRect(control->mapToGlobal(QPoint(0, 0)), control->size())))
          << name << " control " << GetDlgCtrlID(control);
    }
  }
}

TEST_F(MainWindow, WhileMaximisedANewSizeOnlyLaysOut) {
  ASSERT_TRUE(window_test::ShowAndWait(dlg));
  dlg.showMaximized();
  window_test::ProcessEvents();
  ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.isMaximized(); }, testing_support::kPatienceMs));
  ASSERT_EQ(dlg.WindowState(), SC_MAXIMIZE);
  const QRect before = dlg.frameGeometry();
  PlaySource(352, 240);
  EXPECT_EQ(dlg.frameGeometry(), before);
  EXPECT_EQ(At(IDC_VIDEO_CONTAINER), Edges(10, 37, dlg.width() - 10, dlg.height() - 76));
  PlaySource(512, 512);
  EXPECT_EQ(dlg.frameGeometry(), before);
  EXPECT_TRUE(dlg.IsFisheyeInterface());
  EXPECT_EQ(At(IDC_VIDEO_CONTAINER), Edges(10, 37, dlg.width() - 50, dlg.height() - 76));

  dlg.showNormal();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.isMaximized(); }, testing_support::kPatienceMs));
  EXPECT_EQ(dlg.WindowState(), SC_RESTORE);
}

TEST_F(MainWindow, SquareSourceShowsTheFisheyeButtonsWithoutResizing) {
  ASSERT_TRUE(window_test::ShowAndWait(dlg));
  const QRect before = dlg.frameGeometry();
  PlaySource(1024, 1024);
  EXPECT_EQ(dlg.frameGeometry(), before);
  EXPECT_EQ(At(IDC_VIDEO_CONTAINER).width(), dlg.width() - 60);
  for (int id : kFisheyeIds) EXPECT_TRUE(GetDlgItem(&dlg, id)->isVisible()) << id;
  // With no mount chosen yet, the ceiling mount and the fisheye view are
  // checked, and the ceiling's views offered.
  EXPECT_EQ(dlg.Button(IDC_BTN_CEILING_MOUNT)->GetCheck(), 1);
  EXPECT_EQ(dlg.Button(IDC_BTN_FISHEYE_VIEW)->GetCheck(), 1);
  EXPECT_FALSE(dlg.Button(IDC_BTN_WALL_180)->isEnabled());
  EXPECT_TRUE(dlg.Button(IDC_BTN_360)->isEnabled());
}

TEST_F(MainWindow, ViewButtonsFollowTheCheckedMount) {
  struct Case {
    int mount;
    bool single, dual, view360, quad, wall180;
  };
  for (const Case& c : {Case{IDC_BTN_DESK_MOUNT, true, true, false, false, false},
                        Case{IDC_BTN_WALL_MOUNT, true, false, false, true, true},
                        Case{IDC_BTN_CEILING_MOUNT, true, true, true, true, false}}) {
    dlg.Button(c.mount)->SetCheck(1);
    window_test::ProcessEvents();  // the group's other buttons clear their checks
    dlg.UpdateViewButtons();
    EXPECT_TRUE(dlg.Button(IDC_BTN_FISHEYE_VIEW)->isEnabled()) << c.mount;
    EXPECT_EQ(dlg.Button(IDC_BTN_SINGLE_VIEW)->isEnabled(), c.single) << c.mount;
    EXPECT_EQ(dlg.Button(IDC_BTN_DUAL_180)->isEnabled(), c.dual) << c.mount;
    EXPECT_EQ(dlg.Button(IDC_BTN_360)->isEnabled(), c.view360) << c.mount;
    EXPECT_EQ(dlg.Button(IDC_BTN_QUAD_VIEW)->isEnabled(), c.quad) << c.mount;
    EXPECT_EQ(dlg.Button(IDC_BTN_WALL_180)->isEnabled(), c.wall180) << c.mount;
  }
}

TEST_F(MainWindow, CannotBeMadeSmallerThanTheMinimum) {
  ASSERT_TRUE(window_test::ShowAndWait(dlg));
  dlg.resize(100, 100);
  window_test::ProcessEvents();
  EXPECT_EQ(dlg.frameGeometry().size(), QSize(kMinimumWindowWidth, kMinimumWindowHeight));
  dlg.ResizeWindow(10, 10);
  EXPECT_EQ(dlg.frameGeometry().size(), QSize(kMinimumWindowWidth, kMinimumWindowHeight));
}

TEST_F(MainWindow, TimeTextFitsItsBox) {
  QLabel* time = dlg.TimeText();
  const QFontMetrics metrics(time->font());
  EXPECT_LE(metrics.horizontalAdvance(QStringLiteral("00:00:59 / 01:02:05")),
            time->contentsRect().width());
  EXPECT_LE(metrics.height(), time->contentsRect().height());
  EXPECT_TRUE(time->text().isEmpty());
}

// The window as a user first sees it, saved under the build tree.
TEST_F(MainWindow, EmptyWindowGrab) {
  ASSERT_TRUE(window_test::ShowAndWait(dlg));
  const QDir out(QStringLiteral(ORLENTA_BINARY_DIR "/tests/app"));
  ASSERT_TRUE(QDir().mkpath(out.path()));
  ASSERT_TRUE(dlg.grab().save(out.filePath("main_window.png")));

  for (int id : {IDC_BTN_SNAPSHOT, IDC_BTN_CONVERT_AVI, IDC_BTN_STOP, IDC_BTN_STEP_BACK,
                 IDC_BTN_PLAY, IDC_BTN_PAUSE, IDC_BTN_STEP_FORWARD, IDC_SLIDER_TIME})
    EXPECT_FALSE(GetDlgItem(&dlg, id)->isEnabled()) << id;
  EXPECT_TRUE(dlg.Button(IDC_BTN_OPEN)->isEnabled());
  for (int id : kFisheyeIds) EXPECT_FALSE(GetDlgItem(&dlg, id)->isVisible()) << id;

  // And in the fisheye interface, as a reference picture of every control.
  PlaySource(512, 512);
  ASSERT_TRUE(dlg.grab().save(out.filePath("main_window_fisheye.png")));
}

}  // namespace
