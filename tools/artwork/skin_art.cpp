// The window frame's pictures: corners, edges, the band behind the slider
// and the bottom panel, each at its size in the window's default layout
// (786 x 648), and the whole frame composed as one picture.
#include <QPainter>

#include "res/artwork_ids.h"
#include "tools/artwork/art_parts.h"
#include "tools/artwork/art_style.h"

namespace art {
namespace {

constexpr int kDefaultWidth = 786;
constexpr int kDefaultHeight = 648;
constexpr int kEdge = 10;
constexpr int kMiddleWidth = kDefaultWidth - 2 * kEdge;
constexpr int kSideHeight = kDefaultHeight - kTopBarHeight - kBottomPanelHeight;

QImage Rows(int width, int height, QColor (*colour)(int)) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    const QRgb value = colour(y).rgb();
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) row[x] = value;
  }
  return image;
}

QColor Side(int) { return SideColor(); }

}  // namespace

void AddSkinPictures(Catalog& catalog) {
  struct Piece {
    int id;
    const char* file;
    QImage image;
  };
  const Piece pieces[] = {
      {artwork::kSkinTopLeft, "top_left", Rows(kEdge, kTopBarHeight, TopBarColor)},
      {artwork::kSkinLeft, "left", Rows(kEdge, kSideHeight, Side)},
      {artwork::kSkinBottomLeft, "bottom_left", Rows(kEdge, kBottomPanelHeight, BottomPanelColor)},
      {artwork::kSkinBottomRight, "bottom_right", Rows(kEdge, kBottomPanelHeight, BottomPanelColor)},
      {artwork::kSkinRight, "right", Rows(kEdge, kSideHeight, Side)},
      {artwork::kSkinTopRight, "top_right", Rows(kEdge, kTopBarHeight, TopBarColor)},
      {artwork::kSkinUnderVideo, "under_video", Rows(kMiddleWidth, kSliderBandHeight, Side)},
      {artwork::kSkinTop, "top", Rows(kMiddleWidth, kTopBarHeight, TopBarColor)},
      {artwork::kSkinBottom, "bottom", Rows(kMiddleWidth, kBottomPanelHeight, BottomPanelColor)},
  };

  // The whole frame around a black video area, as the pieces make it.
  QImage whole(kDefaultWidth, kDefaultHeight, QImage::Format_RGB32);
  whole.fill(Qt::black);
  {
    QPainter painter(&whole);
    const int right = kDefaultWidth - kEdge;
    const int bottom = kDefaultHeight - kBottomPanelHeight;
    painter.drawImage(0, 0, pieces[0].image);
    painter.drawImage(0, kTopBarHeight, pieces[1].image);
    painter.drawImage(0, bottom, pieces[2].image);
    painter.drawImage(right, bottom, pieces[3].image);
    painter.drawImage(right, kTopBarHeight, pieces[4].image);
    painter.drawImage(right, 0, pieces[5].image);
    painter.drawImage(kEdge, bottom - kSliderBandHeight, pieces[6].image);
    painter.drawImage(kEdge, 0, pieces[7].image);
    painter.drawImage(kEdge, bottom, pieces[8].image);
  }
  catalog.Add(QStringLiteral("JPG"), QString::number(artwork::kSkinWhole),
              QStringLiteral("skin/129_whole.jpg"), whole);
  for (const Piece& piece : pieces) {
    catalog.Add(QStringLiteral("JPG"), QString::number(piece.id),
                QStringLiteral("skin/%1_%2.jpg").arg(piece.id).arg(QLatin1String(piece.file)),
                piece.image);
  }
}

}  // namespace art
