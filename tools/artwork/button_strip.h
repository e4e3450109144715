#pragma once
// A skinned button's picture: five frames of one size stacked downwards,
// normal, pressed, hovered, disabled, and the mask (black inside the
// button, white outside).  Each state is painted with antialiasing onto
// transparency; the mask takes in every pixel any state touches, and the
// frames are blended against the colour of the window frame behind the
// button, so the hard-edged mask shows smooth edges.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QSize>
#include <functional>

namespace art {

enum class State { Normal, Pressed, Hover, Disabled };

struct StripSpec {
  QSize frame;
  // The part of the frame the window shows; the rest stays outside the mask.
  QSize usable;
  std::function<QColor(int row)> backdrop;
  std::function<void(QPainter&, State)> paint;
};

QImage MakeButtonStrip(const StripSpec& spec);

}  // namespace art
