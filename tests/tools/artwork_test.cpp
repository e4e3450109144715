// The artwork as the program gets it: the sizes and frames the window
// expects, masks that are strictly two-valued and leave out what the
// layout cuts off, channel pictures that can be cut and stretched, and a
// fresh run of the drawing tool giving the same pictures, within what
// rasterisers on other processors differ by.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QRegularExpression>
#include <algorithm>
#include <cstdlib>
#include <functional>

#include "app/resources.h"
#include "tests/support/qt_application.h"
#include "tests/support/test_support.h"

namespace {

// Qt's rasteriser takes processor-dependent paths (SIMD blending, an
// approximate reciprocal when it unpremultiplies for saving), so the same
// drawing may come out with a few edge pixels a level or two apart on
// another processor.  Anything beyond that is a changed picture: a moved
// shape or another colour moves edge pixels by far more, and a faint change
// of a whole area touches more than the share.
constexpr int kRasteriserLevels = 2;
constexpr double kRasteriserShare = 0.01;  // of a picture's pixels

// Compared premultiplied, as the pictures are composited: a nearly
// transparent pixel's colour hardly shows.
::testing::AssertionResult DrawnAlike(const QImage& fresh, const QImage& committed) {
  if (fresh.size() != committed.size()) {
    return ::testing::AssertionFailure() << "size " << fresh.width() << "x" << fresh.height() << " against "
                                         << committed.width() << "x" << committed.height();
  }
  const QImage a = fresh.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  const QImage b = committed.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  int differing = 0, largest = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      const int level = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                  std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
      differing += level > 0;
      largest = std::max(largest, level);
    }
  }
  const int allowed = std::max(1, static_cast<int>(kRasteriserShare * a.width() * a.height()));
  if (largest <= kRasteriserLevels && differing <= allowed) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << differing << " of " << a.width() * a.height()
                                       << " pixels differ, by up to " << largest << " levels (allowed: "
                                       << kRasteriserLevels << " levels on " << allowed << " pixels)";
}

QImage Bitmap(int id) {
  return QImage(ResourcePath("BITMAP", id)).convertToFormat(QImage::Format_RGB32);
}

struct ButtonSkin {
  int bitmap;
  int width, height;  // one frame
  int shownWidth, shownHeight;  // the window the layout gives the button
};

// Frames as the window skins its buttons; shown sizes from its layout.
const ButtonSkin kButtons[] = {
    {160, 47, 54, 50, 54},  {156, 43, 54, 41, 54},  {158, 53, 54, 53, 54},
    {159, 45, 54, 45, 54},  {157, 41, 54, 41, 54},  {161, 100, 33, 100, 33},
    {162, 100, 33, 100, 33}, {163, 100, 33, 100, 33}, {179, 45, 54, 45, 54},
    {183, 45, 54, 45, 54},  {182, 45, 54, 45, 54},  {184, 45, 54, 45, 54},
    {185, 45, 54, 45, 54},  {186, 45, 54, 45, 54},  {188, 36, 33, 36, 32},
    {190, 36, 33, 36, 32},  {189, 36, 33, 36, 32},
};

TEST(Artwork, ButtonStripsHoldFiveFramesAndATwoValuedMask) {
  testing_support::QtApplication();
  for (const ButtonSkin& b : kButtons) {
    SCOPED_TRACE(b.bitmap);
    const QImage strip = Bitmap(b.bitmap);
    ASSERT_EQ(strip.size(), QSize(b.width, 5 * b.height));
    int inside = 0;
    for (int y = 0; y < b.height; ++y) {
      for (int x = 0; x < b.width; ++x) {
        const QRgb m = strip.pixel(x, 4 * b.height + y) & 0xFFFFFF;
        ASSERT_TRUE(m == 0 || m == 0xFFFFFF) << x << "," << y;
        if (m == 0) {
          ++inside;
          // What the layout cuts off stays outside the shape.
          EXPECT_LT(x, b.shownWidth) << y;
          EXPECT_LT(y, b.shownHeight) << x;
        }
      }
    }
    EXPECT_GT(inside, b.width * b.height / 3);
    // The four pictures differ from one another: each state can be seen.
    for (int i = 0; i < 4; ++i)
      for (int j = i + 1; j < 4; ++j)
        EXPECT_NE(strip.copy(0, i * b.height, b.width, b.height),
                  strip.copy(0, j * b.height, b.width, b.height))
            << i << " " << j;
  }
}

TEST(Artwork, SliderPictures) {
  testing_support::QtApplication();
  const QImage thumb = Bitmap(166);
  EXPECT_EQ(thumb.size(), QSize(3 * 16, 9));
  for (int id : {164, 165}) {
    SCOPED_TRACE(id);
    const QImage channel = Bitmap(id);
    ASSERT_EQ(channel.size(), QSize(720, 10));
    // The slider copies or stretches the columns between the 12-pixel ends.
    for (int y = 0; y < channel.height(); ++y)
      for (int x = 12; x < channel.width() - 12; ++x)
        ASSERT_EQ(channel.pixel(x, y), channel.pixel(12, y)) << x << "," << y;
  }
  EXPECT_NE(Bitmap(164).pixel(100, 5), Bitmap(165).pixel(100, 5));
}

TEST(Artwork, SkinPicturesAreJpegsThatStretchSideways) {
  testing_support::QtApplication();
  for (int id : {129, 168, 169, 170, 171, 172, 173, 174, 175, 176}) {
    SCOPED_TRACE(id);
    QImageReader reader(ResourcePath("JPG", id));
    EXPECT_EQ(reader.format(), "jpeg");
    const QImage picture = reader.read().convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(picture.isNull());
    if (id == 129) continue;
    // Every piece but the whole one is stretched along at least one side;
    // the right-hand ones widen fivefold in the fisheye interface.  Each
    // row is one colour (within the JPEG's noise).
    for (int y = 0; y < picture.height(); ++y)
      for (int x = 0; x < picture.width(); ++x) {
        const QColor a = picture.pixelColor(x, y), b = picture.pixelColor(0, y);
        ASSERT_LE(std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                      std::abs(a.blue() - b.blue()),
                  9)
            << x << "," << y;
      }
  }
  // The top bar and the bottom panel keep their heights in every layout.
  EXPECT_EQ(QImage(ResourcePath("JPG", 175)).height(), 37);
  EXPECT_EQ(QImage(ResourcePath("JPG", 176)).height(), 65);
}

TEST(Artwork, ProgramIconSizes) {
  testing_support::QtApplication();
  const QDir sizes(ResourcePath("ICON", 128));
  QList<int> found;
  for (const QString& name : sizes.entryList(QDir::Files)) {
    const QImage icon(sizes.filePath(name));
    EXPECT_EQ(icon.width(), icon.height());
    EXPECT_TRUE(icon.hasAlphaChannel());
    found << icon.width();
  }
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (QList<int>{16, 32, 48, 256}));
}

// The tool draws the same pictures again (within the rasterisers'
// allowance), and lists every file it makes.
TEST(Artwork, RegeneratesTheCommittedFiles) {
  testing_support::QtApplication();
  const testing_support::ScratchDir dir("artwork");
  const std::string tool = testing_support::BuiltTool("tools/artwork/orlenta_artwork").string();
  ASSERT_EQ(testing_support::Run(tool + " " + dir.path().string()), 0);

  const QDir fresh(QString::fromStdString(dir.path().string()));
  const QDir committed(QStringLiteral(ORLENTA_SOURCE_DIR "/res"));
  QFile freshList(fresh.filePath("orlenta.qrc")), committedList(committed.filePath("orlenta.qrc"));
  ASSERT_TRUE(freshList.open(QIODevice::ReadOnly));
  ASSERT_TRUE(committedList.open(QIODevice::ReadOnly));
  const QByteArray list = freshList.readAll();
  EXPECT_EQ(list, committedList.readAll());

  QStringList files;
  const QRegularExpression entry(QStringLiteral("<file alias=\"[^\"]+\">([^<]+)</file>"));
  for (const auto& match : entry.globalMatch(QString::fromUtf8(list))) files << match.captured(1);
  ASSERT_EQ(files.size(), 10 + 17 + 3 + 4);
  for (const QString& file : files) {
    SCOPED_TRACE(file.toStdString());
    const QImage a = QImage(fresh.filePath(file)).convertToFormat(QImage::Format_ARGB32);
    const QImage b = QImage(committed.filePath(file)).convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(a.isNull());
    EXPECT_TRUE(DrawnAlike(a, b));
  }
}

// The allowance covers what rasterisers differ by, and no real change.
TEST(Artwork, ComparisonAllowsRasteriserNoiseButNoChangedPicture) {
  testing_support::QtApplication();
  const QImage icon =
      QImage(QStringLiteral(ORLENTA_SOURCE_DIR "/res/icon/128_256.png")).convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(icon.size(), QSize(256, 256));
  // Distinct opaque pixels inside the tile, where nothing is premultiplied
  // away; red moves by `levels`, downwards where it would leave the range.
  const auto nudge = [](QImage& image, int pixels, int levels) {
    for (int i = 0; i < pixels; ++i) {
      const int k = i * 7919 % (176 * 176);
      const int x = 40 + k % 176, y = 40 + k / 176;
      const QRgb p = image.pixel(x, y);
      const int red = qRed(p) + levels >= 0 && qRed(p) + levels <= 255 ? qRed(p) + levels : qRed(p) - levels;
      image.setPixel(x, y, qRgba(red, qGreen(p), qBlue(p), qAlpha(p)));
    }
  };
  struct Change {
    const char* name;
    std::function<void(QImage&)> apply;
    bool alike;
  };
  const Change changes[] = {
      {"one level on 8 pixels", [&](QImage& i) { nudge(i, 8, 1); }, true},
      {"two levels on 600 pixels", [&](QImage& i) { nudge(i, 600, -2); }, true},
      {"three levels on one pixel", [&](QImage& i) { nudge(i, 1, 3); }, false},
      {"one level on 700 pixels", [&](QImage& i) { nudge(i, 700, 1); }, false},
      {"play symbol moved two pixels right",
       [](QImage& i) {
         const QImage symbol = i.copy(96, 88, 72, 80);
         QPainter painter(&i);
         painter.setCompositionMode(QPainter::CompositionMode_Source);
         painter.drawImage(98, 88, symbol);
       },
       false},
      {"lens ring in red instead of blue",
       [](QImage& i) {
         for (int y = 0; y < i.height(); ++y)
           for (int x = 0; x < i.width(); ++x) {
             const QRgb p = i.pixel(x, y);
             if (qBlue(p) > qRed(p) + 60) i.setPixel(x, y, qRgba(qBlue(p), qGreen(p), qRed(p), qAlpha(p)));
           }
       },
       false},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.name);
    QImage changed = icon.copy();
    change.apply(changed);
    ASSERT_NE(changed, icon);
    EXPECT_EQ(static_cast<bool>(DrawnAlike(changed, icon)), change.alike) << DrawnAlike(changed, icon).message();
  }
}

}  // namespace
