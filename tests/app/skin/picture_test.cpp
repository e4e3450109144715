// The picture loader on resources of our own (a JPEG made by the ffmpeg
// tool, compiled with Qt's resource compiler at test time) and the about
// box's geometry and texts.
#include "app/skin/picture.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QResource>
#include <fstream>

#include "app/about_dlg.h"
#include "app/resource.h"
#include "app/skin/dialog_item.h"
#include "platform/message_box.h"
#include "tests/app/window_test_support.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::Run;
using testing_support::ScratchDir;

// Registers resources "JPG/<id>" made from JPEG files for the test's life.
class TestResources {
 public:
  TestResources(const ScratchDir& dir, const std::vector<std::pair<int, std::string>>& jpegs) {
    std::ofstream qrc(dir / "test.qrc");
    qrc << "<RCC><qresource prefix=\"/\">\n";
    for (const auto& [id, file] : jpegs) qrc << "<file alias=\"JPG/" << id << "\">" << file << "</file>\n";
    qrc << "</qresource></RCC>\n";
    qrc.close();
    rcc_ = (dir / "test.rcc").string();
    ok_ = Run(std::string(ORLENTA_RCC) + " --binary -o " + rcc_ + " " + (dir / "test.qrc").string()) == 0 &&
          QResource::registerResource(QString::fromStdString(rcc_));
  }
  ~TestResources() {
    if (ok_) QResource::unregisterResource(QString::fromStdString(rcc_));
  }
  bool ok() const { return ok_; }

 private:
  std::string rcc_;
  bool ok_ = false;
};

constexpr int kRed640 = 9001;
constexpr int kBlue32 = 9002;
constexpr int kNotAPicture = 9003;

class PictureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ORLENTA_REQUIRE_PROGRAM("ffmpeg");
    auto jpeg = [&](const std::string& source, const std::string& file) {
      return testing_support::Run("ffmpeg -v error -y -f lavfi -i " + source + " -frames:v 1 " +
                                  (dir / file).string());
    };
    ASSERT_EQ(jpeg("color=c=red:size=640x480", "red.jpg"), 0);
    ASSERT_EQ(jpeg("color=c=blue:size=32x24", "blue.jpg"), 0);
    std::ofstream(dir / "text.jpg") << "this is not a picture";
    resources = std::make_unique<TestResources>(
        dir, std::vector<std::pair<int, std::string>>{
                 {kRed640, "red.jpg"}, {kBlue32, "blue.jpg"}, {kNotAPicture, "text.jpg"}});
    ASSERT_TRUE(resources->ok());
  }

  window_test::WithApp app;
  ScratchDir dir{"picture_test"};
  std::unique_ptr<TestResources> resources;
  std::shared_ptr<platform::RecordingMessageBoxes> boxes =
      std::make_shared<platform::RecordingMessageBoxes>();
  platform::ScopedMessageBoxBackend scoped{boxes};
};

TEST_F(PictureTest, ReportsItsSizeInPixels) {
  CPicture picture;
  ASSERT_TRUE(picture.Load(kRed640, "JPG"));
  EXPECT_EQ(picture.Width(), 640);
  EXPECT_EQ(picture.Height(), 480);
  EXPECT_GT(picture.Size(), 0u);
  EXPECT_TRUE(boxes->Texts().empty());

  // A second load replaces the first picture.
  ASSERT_TRUE(picture.Load(kBlue32, "JPG"));
  EXPECT_EQ(picture.Width(), 32);
  EXPECT_EQ(picture.Height(), 24);
}

TEST_F(PictureTest, MissingResourceShowsItsErrorAndLeavesThePictureEmpty) {
  CPicture picture;
  ASSERT_TRUE(picture.Load(kRed640, "JPG"));
  EXPECT_FALSE(picture.Load(4242, "JPG"));
  EXPECT_EQ(boxes->Texts(), std::vector<std::string>{"FindResource() Failed\t"});
  EXPECT_EQ(boxes->Captions(), std::vector<std::string>{"CPicture Error"});
  EXPECT_FALSE(picture.IsLoaded());
  EXPECT_EQ(picture.Width(), 0);
  EXPECT_EQ(picture.Height(), 0);

  QImage target(8, 8, QImage::Format_RGB32);
  target.fill(Qt::green);
  QPainter painter(&target);
  EXPECT_FALSE(picture.Draw(&painter, target.rect()));
  EXPECT_FALSE(picture.Draw(nullptr, target.rect()));
  painter.end();
  EXPECT_EQ(target.pixel(4, 4), QColor(Qt::green).rgb());
}

TEST_F(PictureTest, DataThatIsNoPictureFails) {
  CPicture picture;
  EXPECT_FALSE(picture.Load(kNotAPicture, "JPG"));
  EXPECT_FALSE(picture.IsLoaded());
  EXPECT_EQ(boxes->Texts(), std::vector<std::string>{"IPicture interface is not supported\t"});
}

TEST_F(PictureTest, StretchesIntoAnyRectangle) {
  CPicture picture;
  ASSERT_TRUE(picture.Load(kBlue32, "JPG"));
  QImage target(100, 60, QImage::Format_RGB32);
  target.fill(Qt::black);
  QPainter painter(&target);
  EXPECT_TRUE(picture.Draw(&painter, QRect(10, 10, 80, 40)));
  EXPECT_TRUE(picture.Draw(&painter, QRect(95, 0, 0, 60)));  // zero width: nothing drawn
  painter.end();
  for (QPoint p : {QPoint(11, 11), QPoint(50, 30), QPoint(88, 48)}) {
    const QColor c = target.pixelColor(p);
    EXPECT_GT(c.blue(), 200) << p.x() << "," << p.y();
    EXPECT_LT(c.red(), 60);
  }
  EXPECT_EQ(target.pixel(5, 5), QColor(Qt::black).rgb());
  EXPECT_EQ(target.pixel(95, 30), QColor(Qt::black).rgb());
  EXPECT_EQ(target.pixel(92, 52), QColor(Qt::black).rgb());
}

TEST(AboutBox, GeometryAndTexts) {
  window_test::App();
  CAboutDlg about;
  EXPECT_EQ(about.windowTitle(), "About Orlenta");
  EXPECT_EQ(about.size(), QSize(400, 131));  // 267 x 81 dialog units
  EXPECT_TRUE(about.isModal());
  QStringList texts;
  QLabel* icon = nullptr;
  for (QLabel* label : about.findChildren<QLabel*>()) {
    if (!label->pixmap().isNull()) icon = label;
    else texts << label->text();
  }
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->pos(), QPoint(16, 27));  // 11, 17
  EXPECT_EQ(icon->pixmap().size(), QSize(32, 32));
  ASSERT_EQ(texts.size(), 3);
  EXPECT_EQ(texts[0], "Orlenta Version 2.0.1.30");
  auto* ok = qobject_cast<QPushButton*>(GetDlgItem(&about, IDC_ABOUT_OK));
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->geometry(), QRect(298, 24, 75, 22));  // 199, 15, 50 x 14
  EXPECT_EQ(ok->text(), "OK");
  // The texts fit their lines.
  for (QLabel* label : about.findChildren<QLabel*>())
    EXPECT_LE(label->sizeHint().width(), label->width()) << label->text().toStdString();
}

}  // namespace
