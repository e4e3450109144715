// The bitmap slider with input sent through its window: position from a
// click, tracking and seeking, the thumb's place and pictures, tooltip.
#include "app/skin/bit_slider.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QWheelEvent>

#include "app/resource.h"
#include "app/window_messages.h"
#include "platform/qt/private_message_event.h"
#include "tests/app/window_test_support.h"

namespace {

using namespace window_test;

// Knows when it is inside one of its mouse handlers.
class ProbeSlider : public CBitSlider {
 public:
  using CBitSlider::CBitSlider;
  bool inMouseHandler = false;

 protected:
  void mousePressEvent(QMouseEvent* e) override { Inside([&] { CBitSlider::mousePressEvent(e); }); }
  void mouseMoveEvent(QMouseEvent* e) override { Inside([&] { CBitSlider::mouseMoveEvent(e); }); }
  void mouseReleaseEvent(QMouseEvent* e) override {
    Inside([&] { CBitSlider::mouseReleaseEvent(e); });
  }

 private:
  template <typename F>
  void Inside(F handler) {
    inMouseHandler = true;
    handler();
    inMouseHandler = false;
  }
};

// The slider's parent: keeps the private messages and wheel events it gets,
// and whether each came while the slider handled the mouse (sent) or later
// (posted).
class Parent : public QWidget {
 public:
  struct Received {
    uintptr_t position;
    bool sent;
  };
  std::vector<Received> seeks, tracking;
  int wheels = 0;
  ProbeSlider* slider = nullptr;

 protected:
  bool event(QEvent* e) override {
    if (auto* m = dynamic_cast<platform::PrivateMessageEvent*>(e)) {
      const Received got{m->Message().wParam, slider && slider->inMouseHandler};
      if (m->Message().message == WM_SLIDER_SEEK) seeks.push_back(got);
      if (m->Message().message == WM_SLIDER_TRACKING) tracking.push_back(got);
      return true;
    }
    if (e->type() == QEvent::Wheel) ++wheels;
    return QWidget::event(e);
  }
};

// 222 pixels wide: the channel is 206 pixels long after the slider's insets.
constexpr int kWidth = 222;
constexpr int kChannelLeft = 8;
constexpr int kChannelLength = 206;

class BitSliderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    parent.resize(300, 60);
    slider = new ProbeSlider(IDC_SLIDER_TIME, &parent);
    parent.slider = slider;
    slider->SetCursor(QCursor(Qt::PointingHandCursor));
    slider->SetThumbBitmap(artwork::kSliderThumb, 16, 9);
    slider->SetChannelBitmaps(artwork::kSliderChannelRight, artwork::kSliderChannelLeft);
    slider->SetThumbTop(3);
    slider->setGeometry(20, 20, kWidth, 10);
    slider->setRange(0, 100);
    slider->setValue(0);
    ASSERT_TRUE(ShowAndWait(parent));
  }
  static int PixelOf(int position) { return kChannelLeft + position * kChannelLength / 100; }
  QPoint At(int x) const { return QPoint(x, 5); }

  WithApp app;
  Parent parent;
  ProbeSlider* slider = nullptr;
};

TEST_F(BitSliderTest, ClickSeeksOnceAtThePress) {
  EXPECT_EQ(slider->ChannelRect().Width() - 12, kChannelLength);
  Move(slider, At(kChannelLeft + kChannelLength / 2));
  Press(slider, At(kChannelLeft + kChannelLength / 2));
  ASSERT_EQ(parent.seeks.size(), 1u);
  EXPECT_EQ(parent.seeks[0].position, 50u);
  EXPECT_TRUE(parent.seeks[0].sent);
  EXPECT_EQ(slider->value(), 50);
  Release(slider, At(kChannelLeft + kChannelLength / 2));
  EXPECT_EQ(parent.seeks.size(), 1u);
  EXPECT_TRUE(parent.tracking.empty());

  // A click on the current position sends nothing.
  Click(slider, At(kChannelLeft + kChannelLength / 2));
  EXPECT_EQ(parent.seeks.size(), 1u);

  // Left of the channel: the minimum; right of it: the maximum.
  Click(slider, At(1));
  ASSERT_EQ(parent.seeks.size(), 2u);
  EXPECT_EQ(parent.seeks[1].position, 0u);
  Click(slider, At(1));
  EXPECT_EQ(parent.seeks.size(), 2u);
  Click(slider, At(kWidth - 1));
  ASSERT_EQ(parent.seeks.size(), 3u);
  EXPECT_EQ(parent.seeks[2].position, 100u);
}

TEST_F(BitSliderTest, DragPostsTrackingForNewPositionsAndSeeksAtTheRelease) {
  slider->setValue(10);
  Move(slider, At(PixelOf(10)));
  Press(slider, At(PixelOf(10)));
  EXPECT_TRUE(parent.seeks.empty());  // pressed on the current position
  for (int x = PixelOf(10); x <= PixelOf(40); ++x) Move(slider, At(x));
  EXPECT_TRUE(parent.seeks.empty());
  Release(slider, At(PixelOf(40)));

  ASSERT_FALSE(parent.tracking.empty());
  for (size_t i = 1; i < parent.tracking.size(); ++i)
    EXPECT_GT(parent.tracking[i].position, parent.tracking[i - 1].position);  // changes only
  for (const auto& t : parent.tracking) EXPECT_FALSE(t.sent);                // posted
  EXPECT_EQ(parent.tracking.front().position, 11u);
  EXPECT_EQ(parent.tracking.back().position, 40u);
  EXPECT_EQ(parent.tracking.size(), 30u);
  ASSERT_EQ(parent.seeks.size(), 1u);
  EXPECT_EQ(parent.seeks[0].position, 40u);
  EXPECT_TRUE(parent.seeks[0].sent);
}

TEST_F(BitSliderTest, DragStartedOnTheThumbMovesIt) {
  slider->setValue(20);
  CBitWnd* thumb = slider->Thumb();
  const QPoint onThumb = thumb->rect().center();
  Move(thumb, onThumb);
  Press(thumb, onThumb);
  Move(slider, At(PixelOf(70)));
  Release(slider, At(PixelOf(70)));
  EXPECT_EQ(slider->value(), 70);
  ASSERT_FALSE(parent.seeks.empty());
  EXPECT_EQ(parent.seeks.back().position, 70u);
}

TEST_F(BitSliderTest, ThumbSitsUnderTheClick) {
  for (int x : {kChannelLeft, 60, 111, 170, kChannelLeft + kChannelLength}) {
    Click(slider, At(x));
    const QRect thumb = slider->Thumb()->geometry();
    EXPECT_EQ(thumb.size(), QSize(16, 9));
    EXPECT_NEAR(thumb.left() + thumb.width() / 2.0, x, 1.0) << x;
    EXPECT_EQ(thumb.top(), 1);  // the thumb top offset, less the 2 the slider takes off
    EXPECT_GE(thumb.left(), 0);
    EXPECT_LE(thumb.right(), kWidth - 1);
  }
}

TEST_F(BitSliderTest, ThumbShowsItsPressedPictureOnlyWhileHeld) {
  CBitWnd* thumb = slider->Thumb();
  ASSERT_EQ(thumb->Picture()->CellCount(), 3);
  EXPECT_EQ(thumb->Frame(), 0);
  Move(thumb, thumb->rect().center());
  EXPECT_EQ(thumb->Frame(), 1);
  Press(thumb, thumb->rect().center());
  EXPECT_EQ(thumb->Frame(), 2);
  Release(thumb, thumb->rect().center());
  EXPECT_EQ(thumb->Frame(), 1);
  Move(&parent, QPoint(290, 55));
  EXPECT_EQ(thumb->Frame(), 0);
}

TEST_F(BitSliderTest, TooltipShowsThePercentage) {
  slider->setValue(25);
  slider->UpdateTipText();
  EXPECT_EQ(slider->toolTip(), "25%");
  EXPECT_EQ(slider->Thumb()->toolTip(), "25%");
  Click(slider, At(PixelOf(50)));
  EXPECT_EQ(slider->toolTip(), "50%");
  slider->setRange(0, 0);
  slider->UpdateTipText();
  EXPECT_EQ(slider->toolTip(), "0%");
  // A range of 0..3725 s (a long archive) does not overflow.
  slider->setRange(0, 3725);
  slider->setValue(3725);
  slider->UpdateTipText();
  EXPECT_EQ(slider->toolTip(), "100%");
}

TEST_F(BitSliderTest, WheelChangesNothing) {
  slider->setValue(30);
  const QPoint local = InWindow(slider, At(100));
  // Through the window, which hands it to the widget under the cursor.
  QWheelEvent wheel(local, parent.windowHandle()->mapToGlobal(local), QPoint(), QPoint(0, 120),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(parent.windowHandle(), &wheel);
  ProcessEvents();
  EXPECT_EQ(slider->value(), 30);
  EXPECT_EQ(parent.wheels, 0);
  EXPECT_TRUE(parent.seeks.empty());
}

TEST_F(BitSliderTest, ChannelTooShortHoldsAtTheLeft) {
  slider->setGeometry(20, 20, 10, 10);
  Click(slider, At(5));
  EXPECT_EQ(slider->value(), 0);
}

TEST_F(BitSliderTest, PaintsTheChannelPicturesAroundTheThumb) {
  slider->setValue(50);
  const QImage shown = slider->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QImage left = QImage(":/BITMAP/164").convertToFormat(QImage::Format_RGB32);
  const QImage right = QImage(":/BITMAP/165").convertToFormat(QImage::Format_RGB32);
  const int thumbLeft = slider->Thumb()->geometry().left();
  const int thumbRight = slider->Thumb()->geometry().right() + 1;
  for (int y = 0; y < 10; ++y) {
    EXPECT_EQ(shown.pixel(2, y), left.pixel(2, y)) << y;                      // left end
    EXPECT_EQ(shown.pixel(thumbLeft - 1, y), left.pixel(100, y)) << y;        // played part
    EXPECT_EQ(shown.pixel(thumbRight + 1, y), right.pixel(100, y)) << y;      // remaining part
    EXPECT_EQ(shown.pixel(kWidth - 2, y), right.pixel(right.width() - 2, y)) << y;  // right end
  }
}

}  // namespace
