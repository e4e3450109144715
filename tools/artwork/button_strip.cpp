#include "tools/artwork/button_strip.h"

#include <array>

namespace art {

QImage MakeButtonStrip(const StripSpec& spec) {
  const int w = spec.frame.width();
  const int h = spec.frame.height();
  constexpr std::array<State, 4> kStates = {State::Normal, State::Pressed, State::Hover,
                                            State::Disabled};

  std::array<QImage, 4> layers;
  for (size_t i = 0; i < kStates.size(); ++i) {
    layers[i] = QImage(spec.frame, QImage::Format_ARGB32_Premultiplied);
    layers[i].fill(Qt::transparent);
    QPainter painter(&layers[i]);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setClipRect(QRect(QPoint(0, 0), spec.usable));
    spec.paint(painter, kStates[i]);
  }

  QImage backdrop(spec.frame, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y) {
    const QRgb colour = spec.backdrop(y).rgb();
    auto* row = reinterpret_cast<QRgb*>(backdrop.scanLine(y));
    for (int x = 0; x < w; ++x) row[x] = colour;
  }

  QImage strip(w, h * 5, QImage::Format_RGB32);
  QPainter out(&strip);
  for (size_t i = 0; i < layers.size(); ++i) {
    out.drawImage(0, static_cast<int>(i) * h, backdrop);
    out.drawImage(0, static_cast<int>(i) * h, layers[i]);
  }
  out.end();

  for (int y = 0; y < h; ++y) {
    auto* maskRow = reinterpret_cast<QRgb*>(strip.scanLine(4 * h + y));
    for (int x = 0; x < w; ++x) {
      bool inside = false;
      for (const QImage& layer : layers) inside = inside || qAlpha(layer.pixel(x, y)) > 0;
      maskRow[x] = inside ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
    }
  }
  return strip;
}

}  // namespace art
