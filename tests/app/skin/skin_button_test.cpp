// The skinned button with input sent through its window: state pictures,
// the mask's shape, press and release rules, check boxes and radio groups.
#include "app/skin/skin_button.h"

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include "app/resource.h"
#include "app/resources.h"
#include "tests/app/window_test_support.h"

namespace {

using namespace window_test;

// A window that notes the presses that reach it.
class Backdrop : public QWidget {
 public:
  int presses = 0;

 protected:
  void mousePressEvent(QMouseEvent*) override { ++presses; }
};

// The frame of a strip, as the artwork holds it.
QImage Frame(int bitmap, int width, int height, int frame) {
  return QImage(ResourcePath("BITMAP", bitmap))
      .copy(0, (frame - 1) * height, width, height)
      .convertToFormat(QImage::Format_RGB32);
}

class SkinButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window.resize(400, 200);
    // Two groups of radio buttons in one parent, after a push button and a
    // check box.
    push = Make(10, BS_PUSHBUTTON | WS_GROUP, artwork::kOpenButton, 100, 33, {10, 10});
    check = Make(11, BS_AUTOCHECKBOX, artwork::kSnapshotButton, 100, 33, {120, 10});
    for (int i = 0; i < 3; ++i)
      mounts.push_back(Make(20 + i, BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP : 0),
                            artwork::kCeilingMountButton, 36, 33, {10 + 40 * i, 50}));
    for (int i = 0; i < 6; ++i)
      views.push_back(Make(30 + i, BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP : 0),
                           artwork::kFisheyeViewButton, 45, 54, {10 + 50 * i, 100}));
    ASSERT_TRUE(ShowAndWait(window));
  }

  CxSkinButton* Make(int id, uint32_t style, int bitmap, int w, int h, QPoint at) {
    auto* button = new CxSkinButton(id, style, &window);
    EXPECT_TRUE(button->SetSkin(bitmap, w, h, 1, 2, 3, 4, 1, 5, 0, 0, 0));
    button->move(at);
    return button;
  }

  static QPoint Centre(const QWidget* w) { return w->rect().center(); }

  // The button's picture equals the frame inside the mask.
  static void ExpectShows(CxSkinButton* button, const QImage& frame) {
    const QImage shown = button->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int compared = 0;
    for (int y = 0; y < frame.height(); ++y)
      for (int x = 0; x < frame.width(); ++x)
        if (button->Region().contains(QPoint(x, y))) {
          ASSERT_EQ(shown.pixel(x, y), frame.pixel(x, y)) << x << "," << y;
          ++compared;
        }
    EXPECT_GT(compared, frame.width() * frame.height() / 2);
  }

  WithApp app;
  Backdrop window;
  CxSkinButton* push = nullptr;
  CxSkinButton* check = nullptr;
  std::vector<CxSkinButton*> mounts;
  std::vector<CxSkinButton*> views;
};

TEST_F(SkinButtonTest, KindFromStyleAndNaturalSize) {
  EXPECT_EQ(push->ButtonKind(), CxSkinButton::kPushButton);
  EXPECT_EQ(check->ButtonKind(), CxSkinButton::kCheckBox);
  EXPECT_EQ(views[0]->ButtonKind(), CxSkinButton::kRadioButton);
  EXPECT_EQ(views[0]->size(), QSize(45, 54));
  EXPECT_EQ(push->size(), QSize(100, 33));
}

TEST_F(SkinButtonTest, ShowsTheFrameOfItsState) {
  CxSkinButton* b = views[1];
  const int id = artwork::kFisheyeViewButton;
  ExpectShows(b, Frame(id, 45, 54, 1));
  Move(b, Centre(b));
  EXPECT_TRUE(b->IsHovering());
  ExpectShows(b, Frame(id, 45, 54, 3));
  Press(b, Centre(b));
  ExpectShows(b, Frame(id, 45, 54, 2));
  Release(b, Centre(b));
  ExpectShows(b, Frame(id, 45, 54, 2));  // checked now: the pressed picture
  Move(&window, QPoint(390, 190));
  EXPECT_FALSE(b->IsHovering());

  // Disabled: frame 4, and no hover picture.
  push->setEnabled(false);
  Move(push, Centre(push));
  EXPECT_FALSE(push->IsHovering());
  ExpectShows(push, Frame(artwork::kOpenButton, 100, 33, 4));
}

TEST_F(SkinButtonTest, ClicksOutsideTheMaskReachTheWindowBehind) {
  CxSkinButton* b = views[0];
  QSignalSpy clicked(b, &QAbstractButton::clicked);
  ASSERT_FALSE(b->Region().contains(QPoint(0, 0)));  // a rounded corner
  ASSERT_TRUE(b->Region().contains(Centre(b)));
  Click(b, QPoint(0, 0));
  EXPECT_EQ(clicked.count(), 0);
  EXPECT_EQ(window.presses, 1);
  EXPECT_EQ(b->GetCheck(), 0);
  Click(b, Centre(b));
  EXPECT_EQ(clicked.count(), 1);
  EXPECT_EQ(window.presses, 1);
}

TEST_F(SkinButtonTest, RadioGroupsShareAParentAndStaySeparate) {
  Click(mounts[2], Centre(mounts[2]));
  Click(views[0], Centre(views[0]));
  ProcessEvents();
  EXPECT_EQ(mounts[2]->GetCheck(), 1);
  EXPECT_EQ(views[0]->GetCheck(), 1);

  Click(views[4], Centre(views[4]));
  ProcessEvents();  // the uncheck messages are posted
  for (int i = 0; i < 6; ++i) EXPECT_EQ(views[i]->GetCheck(), i == 4 ? 1 : 0) << i;
  EXPECT_EQ(mounts[2]->GetCheck(), 1);  // the other group is not touched

  Click(views[4], Centre(views[4]));  // again: stays checked
  ProcessEvents();
  EXPECT_EQ(views[4]->GetCheck(), 1);

  // Checking by program unchecks the group as well.
  mounts[0]->SetCheck(1);
  ProcessEvents();
  EXPECT_EQ(mounts[2]->GetCheck(), 0);
  EXPECT_EQ(views[4]->GetCheck(), 1);
}

TEST_F(SkinButtonTest, PressMoveOffReleaseGivesNoClick) {
  CxSkinButton* b = views[2];
  QSignalSpy clicked(b, &QAbstractButton::clicked);
  Move(b, Centre(b));
  Press(b, Centre(b));
  EXPECT_TRUE(b->isDown());
  Move(b, QPoint(-30, -30));  // off the button, still held: the grab keeps it
  EXPECT_FALSE(b->isDown());
  ExpectShows(b, Frame(artwork::kFisheyeViewButton, 45, 54, 1));
  Release(b, QPoint(-30, -30));
  EXPECT_EQ(clicked.count(), 0);
  EXPECT_EQ(b->GetCheck(), 0);
}

TEST_F(SkinButtonTest, DoubleClickCountsAsTwoClicks) {
  QSignalSpy clicked(push, &QAbstractButton::clicked);
  DoubleClick(push, Centre(push));
  EXPECT_EQ(clicked.count(), 2);
}

TEST_F(SkinButtonTest, CheckBoxTogglesAndPushButtonIgnoresChecking) {
  push->SetCheck(1);
  EXPECT_EQ(push->GetCheck(), 0);
  Click(push, Centre(push));
  EXPECT_EQ(push->GetCheck(), 0);

  Click(check, Centre(check));
  EXPECT_EQ(check->GetCheck(), 1);
  Click(check, Centre(check));
  EXPECT_EQ(check->GetCheck(), 0);
}

TEST_F(SkinButtonTest, SpaceBarChecksARadioButton) {
  views[3]->setFocus();
  QTest::keyClick(window.windowHandle(), Qt::Key_Space);
  ProcessEvents();
  EXPECT_EQ(views[3]->GetCheck(), 1);
}

TEST_F(SkinButtonTest, StretchAndTileModesFillALargerButton) {
  const QImage frame = Frame(artwork::kCeilingMountButton, 36, 33, 1);
  CxSkinButton stretched(41, BS_PUSHBUTTON, &window), tiled(42, BS_PUSHBUTTON, &window);
  for (auto [button, mode] : {std::pair{&stretched, 1}, std::pair{&tiled, 2}}) {
    button->resize(72, 66);
    ASSERT_TRUE(button->SetSkin(artwork::kCeilingMountButton, 36, 33, 1, 2, 3, 4, 1, 0, mode, 0, 0));
    EXPECT_EQ(button->size(), QSize(72, 66));  // only the natural mode resizes
  }
  const QImage s = stretched.grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QImage t = tiled.grab().toImage().convertToFormat(QImage::Format_RGB32);
  for (QPoint p : {QPoint(5, 5), QPoint(18, 16), QPoint(30, 25)}) {
    EXPECT_EQ(t.pixel(p + QPoint(36, 33)), frame.pixel(p));
    const QColor a = s.pixelColor(p * 2), b = frame.pixelColor(p);
    EXPECT_NEAR(a.red(), b.red(), 24) << p.x() << "," << p.y();
    EXPECT_NEAR(a.blue(), b.blue(), 24) << p.x() << "," << p.y();
  }
}

TEST_F(SkinButtonTest, TooltipAndMissingSkin) {
  push->SetToolTipText("Open VYX");
  EXPECT_EQ(push->toolTip(), "Open VYX");
  CxSkinButton orphan(40, BS_PUSHBUTTON, &window);
  EXPECT_FALSE(orphan.SetSkin(9999, 10, 10, 1, 2, 3, 4, 1, 5, 0, 0, 0));
  EXPECT_FALSE(orphan.SetSkin(artwork::kOpenButton, 100, 33, 1, 2, 3, 4, 1, 6, 0, 0, 0));
}

}  // namespace
