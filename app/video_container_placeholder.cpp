#include "app/video_container_placeholder.h"

#include <QPainter>

#include "app/dialog_item.h"

VideoContainerPlaceholder::VideoContainerPlaceholder(int controlId, QWidget* parent)
    : QWidget(parent) {
  SetDlgCtrlID(this, controlId);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void VideoContainerPlaceholder::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
}
