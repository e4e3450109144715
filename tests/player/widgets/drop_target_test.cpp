// Drags onto the video container, as Qt delivers them: which are accepted,
// and what a drop posts to the main window.  Offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include "platform/display_device.h"
#include "platform/qt/qt_display.h"
#include "platform/recording_message_target.h"
#include "player/engine/play_mode.h"
#include "player/widgets/drop_target.h"
#include "player/widgets/video_container.h"
#include "tests/support/archive_records.h"
#include "tests/support/qt_application.h"
#include "tests/support/test_support.h"
#include "tools/vyxmux/vyx_writer.h"

namespace {


std::unique_ptr<QMimeData> Files(std::initializer_list<QString> paths) {
  auto data = std::make_unique<QMimeData>();
  QList<QUrl> urls;
  for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
  data->setUrls(urls);
  return data;
}

// Collects the dropped-file events posted to the container's window.
class DropReceiver : public QObject {
 public:
  QStringList paths;
  bool eventFilter(QObject*, QEvent* event) override {
    if (auto* dropped = dynamic_cast<DroppedFileEvent*>(event)) {
      EXPECT_EQ(dropped->Message().message, WM_OPEN_DROPPED_FILE);
      EXPECT_EQ(dropped->Message().lParam, 1);
      paths << dropped->Path();
      return true;
    }
    return false;
  }
};

class DropTarget : public ::testing::Test {
 protected:
  DropTarget() {
    container.resize(400, 300);
    container.show();
    EXPECT_TRUE(container.Start(window));
    container.installEventFilter(&receiver);
  }

  // Enter and one move, as a drag that comes over the area.
  bool Offer(const QMimeData& data) {
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&container, &enter);
    if (!enter.isAccepted()) return false;
    QDragMoveEvent move(QPoint(60, 60), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&container, &move);
    return move.isAccepted() && move.dropAction() == Qt::CopyAction;
  }

  void Leave() {
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(&container, &leave);
  }

  bool Drop(const QMimeData& data) {
    QDropEvent drop(QPointF(60, 60), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&container, &drop);
    QCoreApplication::sendPostedEvents();
    return drop.isAccepted();
  }

  std::string Archive() {
    const std::string path = dir / "clip.vyx";
    std::vector<testing_support::ArchiveRecord> records;
    for (uint32_t second = 0; second < 30; ++second) {
      records.push_back({MakeFrameHeader(FRAME_TYPE_JPEG, 1700000000 + second, 0), std::vector<uint8_t>(100, 0)});
      records.back().header.width = 64;
      records.back().header.height = 48;
    }
    EXPECT_TRUE(testing_support::WriteArchive(path, records));
    return path;
  }

  struct WithApp {
    WithApp() { testing_support::QtApplication(); }
  } app;
  platform::ScopedDisplayBackend display{std::make_shared<platform::QtDisplayBackend>()};
  testing_support::ScratchDir dir{"drop_target"};
  std::shared_ptr<platform::RecordingMessageTarget> window =
      std::make_shared<platform::RecordingMessageTarget>();
  CQxVideoContainer container;
  DropReceiver receiver;
};

TEST_F(DropTarget, AcceptsOneFileWhoseNameHoldsDotVyx) {
  struct Case {
    const char* what;
    std::function<std::unique_ptr<QMimeData>()> data;
    bool accepted;
  };
  const Case cases[] = {
      {"one archive", [] { return Files({"/tmp/clip.vyx"}); }, true},
      {"two archives", [] { return Files({"/tmp/a.vyx", "/tmp/b.vyx"}); }, false},
      {"a substring, not an extension", [] { return Files({"/tmp/clip.vyx.bak"}); }, true},
      {"case-sensitive", [] { return Files({"/tmp/CLIP.VYX"}); }, false},
      {"another file", [] { return Files({"/tmp/clip.avi"}); }, false},
      {"a remote file", [] {
         auto data = std::make_unique<QMimeData>();
         data->setUrls({QUrl(QStringLiteral("http://example.org/clip.vyx"))});
         return data;
       }, false},
      {"text, not a file list", [] {
         auto data = std::make_unique<QMimeData>();
         data->setText(QStringLiteral("/tmp/clip.vyx"));
         return data;
       }, false},
      {"the program's private format", [] {
         auto data = Files({"/tmp/clip.vyx"});
         data->setData(QString::fromLatin1(kDropRefusalFormat), QByteArray("x"));
         return data;
       }, false},
  };
  for (const Case& c : cases) {
    const auto data = c.data();
    EXPECT_EQ(Offer(*data), c.accepted) << c.what;
    Leave();  // the next drag is examined afresh
  }
}

TEST_F(DropTarget, RefusedFromTheStartOfPlaybackUntilStop) {
  const auto data = Files({QString::fromStdString(dir / "other.vyx")});
  ASSERT_EQ(container.OpenFile(Archive()), 1);
  EXPECT_TRUE(container.GetDropTarget().IsBusy());
  EXPECT_FALSE(Offer(*data)) << "playing";
  Leave();
  container.SetMode(PLAY_MODE_PAUSE);
  EXPECT_FALSE(Offer(*data)) << "paused";
  Leave();
  container.Stop();
  EXPECT_TRUE(Offer(*data)) << "after Stop";
  Leave();
  container.Play();
  EXPECT_FALSE(Offer(*data)) << "Play after Stop";
  Leave();
}

TEST_F(DropTarget, RefusedWhileAModalWindowIsOpen) {
  const auto data = Files({"/tmp/clip.vyx"});
  QDialog conversion;
  conversion.setModal(true);
  conversion.show();
  ASSERT_EQ(QApplication::activeModalWidget(), &conversion);
  EXPECT_FALSE(Offer(*data));
  Leave();
  conversion.hide();
  EXPECT_TRUE(Offer(*data));
  Leave();
}

TEST_F(DropTarget, TheVerdictOfTheFirstMoveHoldsForTheDrag) {
  const auto refused = Files({"/tmp/CLIP.VYX"});
  const auto accepted = Files({"/tmp/clip.vyx"});
  EXPECT_FALSE(Offer(*refused));
  // Still the same drag as far as the target knows: no new examination.
  QDragMoveEvent move(QPoint(70, 70), Qt::CopyAction, accepted.get(), Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&container, &move);
  EXPECT_FALSE(move.isAccepted());
  Leave();
  EXPECT_TRUE(Offer(*accepted));
}

TEST_F(DropTarget, ADropPostsTheWholePathToTheMainWindow) {
  const QString longPath = QStringLiteral("/tmp/") + QString(300, QLatin1Char('d')) + QStringLiteral("/clip.vyx");
  const auto data = Files({longPath});
  ASSERT_TRUE(Offer(*data));
  EXPECT_TRUE(Drop(*data));
  EXPECT_EQ(receiver.paths, QStringList{longPath});
  // The drop ends the drag: a refused one that follows is examined anew.
  EXPECT_FALSE(Offer(*Files({"/tmp/x.avi"})));
  EXPECT_TRUE(window->Messages().empty());
}

}  // namespace
