// The video area's context menu: its states while playing or not, for
// square sources and others, maximised or not; zoom, scale, the maximised
// interface and the place of the media information text.  Offscreen.
#include <gtest/gtest.h>

#include <QScreen>
#include <QTest>

#include "app/orlenta_dlg.h"
#include "app/resource.h"
#include "platform/display_device.h"
#include "platform/message_box.h"
#include "platform/qt/private_message_event.h"
#include "platform/qt/qt_display.h"
#include "player/engine/player_messages.h"
#include "player/widgets/video_box.h"
#include "tests/app/app_test_archives.h"
#include "tests/app/window_test_support.h"
#include "tests/support/patience.h"
#include "tests/support/test_support.h"

namespace {

// What the menu offers: "+" enabled, "-" grayed, "*" enabled and checked,
// for Maximize Interface, the Zoom submenu, Scale and the media
// information submenu; then the checked zoom item and info item.
struct MenuState {
  std::string items;
  int zoomChecked;  // command id, 0 for none
  int infoChecked;
  bool operator==(const MenuState&) const = default;
};

std::ostream& operator<<(std::ostream& out, const MenuState& state) {
  return out << state.items << " zoom " << state.zoomChecked << " info " << state.infoChecked;
}

class MainWindowMenu : public ::testing::Test {
 protected:
  MainWindowMenu() { EXPECT_TRUE(window_test::ShowAndWait(dlg)); }

  // A right click in the middle of the video, as a user opens the menu.
  MenuState OpenMenu() {
    CQxVideoBox* box = dlg.Container()->GetVideoBox();
    window_test::RightClick(box, box->rect().center());
    EXPECT_TRUE(QTest::qWaitFor([&] { return dlg.ContextMenu()->isVisible(); }, testing_support::kPatienceMs));
    MenuState state;
    auto mark = [](QAction* action) {
      return !action->isEnabled() ? '-' : action->isChecked() ? '*' : '+';
    };
    state.items += mark(dlg.MenuAction(ID_MENU_MAXIMIZE));
    state.items += dlg.ZoomMenu()->menuAction()->isEnabled() ? '+' : '-';
    state.items += mark(dlg.MenuAction(ID_MENU_SCALE));
    state.items += dlg.InfoMenu()->menuAction()->isEnabled() ? '+' : '-';
    state.zoomChecked = CheckedIn(dlg.ZoomMenu());
    state.infoChecked = CheckedIn(dlg.InfoMenu());
    dlg.ContextMenu()->hide();
    return state;
  }

  static int CheckedIn(QMenu* menu) {
    for (QAction* action : menu->actions())
      if (action->isChecked()) return action->data().toInt();
    return 0;
  }

  // Stops what plays, as Open is offered only when stopped, and opens.
  void Open(const std::string& path, QSize size) {
    if (dlg.IsPlaying()) {
      CxSkinButton* stop = dlg.Button(IDC_BTN_STOP);
      window_test::Click(stop, stop->rect().center());
    }
    dlg.OpenFile(QString::fromStdString(path));
    ASSERT_TRUE(dlg.IsPlaying());
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.VideoSize() == size; }, testing_support::kPatienceMs));
  }

  void Maximise(bool on) {
    dlg.MenuAction(ID_MENU_MAXIMIZE)->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.isMaximized() == on; }, testing_support::kPatienceMs));
    EXPECT_EQ(dlg.WindowState(), on ? SC_MAXIMIZE : SC_RESTORE);
  }

  window_test::WithApp app;
  platform::ScopedDisplayBackend display{std::make_shared<platform::QtDisplayBackend>()};
  std::shared_ptr<platform::RecordingMessageBoxes> boxes =
      std::make_shared<platform::RecordingMessageBoxes>();
  platform::ScopedMessageBoxBackend boxScope{boxes};
  testing_support::ScratchDir dir{"main_window_menu"};
  COrlentaDlg dlg;
};

TEST_F(MainWindowMenu, StatesByPlayingShapeAndWindowState) {
  EXPECT_EQ(OpenMenu(), (MenuState{"+---", 0, 0})) << "before any file";

  Open(app_test::JpegArchive(dir, "wide", 352, 288, app_test::EverySecond(60)), {352, 288});
  EXPECT_EQ(OpenMenu(), (MenuState{"++*+", ID_MENU_ZOOM_1_1, ID_MENU_INFO_NONE})) << "playing";
  dlg.MenuAction(ID_MENU_ZOOM_1_2)->trigger();
  dlg.MenuAction(ID_MENU_INFO_RIGHT_BOTTOM)->trigger();
  dlg.MenuAction(ID_MENU_SCALE)->trigger();
  EXPECT_EQ(OpenMenu(), (MenuState{"++++", ID_MENU_ZOOM_1_2, ID_MENU_INFO_RIGHT_BOTTOM}))
      << "zoom 1:2, right-bottom, scale off";
  dlg.MenuAction(ID_MENU_SCALE)->trigger();

  Maximise(true);
  EXPECT_EQ(OpenMenu(), (MenuState{"*-*+", ID_MENU_ZOOM_1_2, ID_MENU_INFO_RIGHT_BOTTOM}))
      << "maximised";
  // A double click in the video asks for the same toggle.
  CQxVideoBox* box = dlg.Container()->GetVideoBox();
  window_test::DoubleClick(box, box->rect().center());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.isMaximized(); }, testing_support::kPatienceMs));
  EXPECT_EQ(dlg.WindowState(), SC_RESTORE);

  Open(app_test::JpegArchive(dir, "square", 512, 512, app_test::EverySecond(60)), {512, 512});
  EXPECT_EQ(OpenMenu(), (MenuState{"+-*+", ID_MENU_ZOOM_1_2, ID_MENU_INFO_RIGHT_BOTTOM}))
      << "square source";

  CxSkinButton* stop = dlg.Button(IDC_BTN_STOP);
  window_test::Click(stop, stop->rect().center());
  EXPECT_EQ(OpenMenu(), (MenuState{"+---", ID_MENU_ZOOM_1_2, ID_MENU_INFO_RIGHT_BOTTOM}))
      << "stopped";
}

TEST_F(MainWindowMenu, ZoomResizesTheWindowByTheVideoSizeWithinTheWorkArea) {
  QCoreApplication::postEvent(&dlg, new platform::PrivateMessageEvent(WM_VIDEO_SIZE_CHANGED, 704, 576));
  window_test::ProcessEvents();
  const QRect workArea = dlg.screen()->availableGeometry();
  const QPoint corner = workArea.topLeft();
  dlg.move(corner);
  window_test::ProcessEvents();
  struct Case {
    int command;
    int level;
    QSize outer;  // empty: larger than the work area
  };
  for (const Case& c : {Case{ID_MENU_ZOOM_1_4, 1, {540, 460}}, Case{ID_MENU_ZOOM_2_1, 3, {}},
                        Case{ID_MENU_ZOOM_1_2, 2, {540, 460}}, Case{ID_MENU_ZOOM_1_1, 0, {704, 576}}}) {
    dlg.MenuAction(c.command)->trigger();
    window_test::ProcessEvents();
    EXPECT_EQ(dlg.ZoomLevel(), c.level) << c.command;
    if (c.outer.isEmpty()) {
      // 1408 x 1152 is bounded by the work area.
      EXPECT_TRUE(workArea.contains(dlg.frameGeometry())) << c.command;
      EXPECT_TRUE(dlg.frameGeometry().width() == workArea.width() ||
                  dlg.frameGeometry().height() == workArea.height())
          << c.command;
    } else {
      EXPECT_EQ(dlg.frameGeometry(), QRect(corner, c.outer)) << c.command;
    }
  }
}

TEST_F(MainWindowMenu, ScaleChoosesBetweenTheAspectAndTheWholeArea) {
  Open(app_test::JpegArchive(dir, "wide", 352, 288, app_test::EverySecond(60)), {352, 288});
  CQxVideoContainer* container = dlg.Container();
  CQxVideoBox* box = container->GetVideoBox();
  ASSERT_TRUE(container->IsScaleOn());
  EXPECT_LT(box->width(), container->width());
  dlg.MenuAction(ID_MENU_SCALE)->trigger();
  EXPECT_FALSE(container->IsScaleOn());
  EXPECT_EQ(box->geometry(), container->rect());
  dlg.MenuAction(ID_MENU_SCALE)->trigger();
  EXPECT_TRUE(container->IsScaleOn());
  EXPECT_LT(box->width(), container->width());
}

// The text goes where the menu says, on the pictures drawn from then on.
TEST_F(MainWindowMenu, MediaInformationPositionReachesTheRenderer) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  const auto archive =
      app_test::H264Archive(dir, "flat", "color=c=0x204080:size=352x288:rate=25", 250);
  ASSERT_TRUE(archive);
  Open(*archive, {352, 288});
  CQxVideoBox* box = dlg.Container()->GetVideoBox();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !box->CurrentPicture().isNull(); }, testing_support::kPatienceMs));

  // Pixels far from the flat picture's colour in a corner of the picture.
  auto marked = [&](bool left, bool top) {
    const QImage picture = box->CurrentPicture();
    const int w = picture.width() / 3, h = picture.height() / 6;
    const int x0 = left ? 0 : picture.width() - w, y0 = top ? 0 : picture.height() - h;
    int count = 0;
    for (int y = y0; y < y0 + h; ++y) {
      for (int x = x0; x < x0 + w; ++x) {
        const QColor c = picture.pixelColor(x, y);
        if (std::abs(c.red() - 0x20) + std::abs(c.green() - 0x40) + std::abs(c.blue() - 0x80) > 90)
          ++count;
      }
    }
    return count;
  };
  auto waitForCorner = [&](bool left, bool top) {
    return QTest::qWaitFor([&] { return marked(left, top) > 20 && marked(!left, !top) == 0; }, testing_support::kPatienceMs);
  };

  QTest::qWait(200);
  EXPECT_EQ(marked(true, true) + marked(false, false), 0) << "no text before a position is chosen";
  dlg.MenuAction(ID_MENU_INFO_LEFT_TOP)->trigger();
  EXPECT_EQ(dlg.InfoPosition(), 1);
  EXPECT_TRUE(waitForCorner(true, true)) << "left-top";
  dlg.MenuAction(ID_MENU_INFO_RIGHT_BOTTOM)->trigger();
  EXPECT_EQ(dlg.InfoPosition(), 4);
  EXPECT_TRUE(waitForCorner(false, false)) << "right-bottom";
  dlg.MenuAction(ID_MENU_INFO_NONE)->trigger();
  EXPECT_TRUE(QTest::qWaitFor([&] { return marked(true, true) + marked(false, false) == 0; }, testing_support::kPatienceMs))
      << "none";
}

}  // namespace
