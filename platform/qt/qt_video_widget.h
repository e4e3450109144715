#pragma once
// The widget video pictures are shown in.  A renderer on any thread hands
// it finished pictures (Present); the widget paints the latest one scaled
// to its whole client area, or black before the first.
//
// Hand-over: the presented surface's picture and the widget's are swapped
// under a small lock and a repaint is queued to the user-interface thread,
// so that drawing threads never touch the widget itself.  The widget must
// outlive every renderer that shows pictures in it.
#include <QImage>
#include <QWidget>
#include <mutex>

#include "platform/video_window.h"

namespace platform {

class QtVideoWidget : public QWidget, public VideoWindow {
 public:
  explicit QtVideoWidget(QWidget* parent = nullptr);

  int32_t Present(Surface& picture) override;
  void Refresh() override;

  // The picture shown now (null before the first).  Any thread.
  QImage CurrentPicture() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void QueueUpdateLocked();

  mutable std::mutex mutex_;
  QImage picture_;
  bool updateQueued_ = false;
};

}  // namespace platform
