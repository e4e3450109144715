// Archives play in the video container: decoded, drawn with their texts,
// paced by the play thread, saved as snapshots.  Offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>
#include <atomic>
#include <mutex>

#include "platform/display_device.h"
#include "platform/qt/qt_display.h"
#include "platform/recording_message_target.h"
#include "platform/trace.h"
#include "player/engine/player_messages.h"
#include "player/widgets/video_box.h"
#include "player/widgets/video_container.h"
#include "tests/support/archive_records.h"
#include "tests/support/patience.h"
#include "tests/support/qt_application.h"
#include "tests/support/test_support.h"
#include "tools/vyxmux/annexb_splitter.h"

using namespace std::chrono_literals;

namespace {

constexpr uint32_t kT0 = 1700000000;

std::optional<std::vector<AccessUnit>> Libx264(const testing_support::ScratchDir& dir, const std::string& size,
                                               int frames, const std::string& extra = "") {
  const auto file = dir / ("x264-" + size + ".264");
  const std::string command = "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=" + size +
                              ":rate=25 -frames:v " + std::to_string(frames) +
                              " -c:v libx264 -g 25 -bf 0 " + extra + " -f h264 '" + file.string() + "'";
  if (testing_support::Run(command) != 0) return std::nullopt;
  return SplitAnnexB(testing_support::ReadFile(file));
}

using Record = testing_support::ArchiveRecord;

Record VideoRecord(const AccessUnit& unit, size_t index) {
  return testing_support::H264Record(unit, kT0, index, "Camera One");
}

std::string WriteArchive(const testing_support::ScratchDir& dir, const std::string& name,
                         const std::vector<Record>& records) {
  const std::string path = dir / name;
  EXPECT_TRUE(testing_support::WriteArchive(path, records));
  return path;
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout = testing_support::kPatience) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

class VideoContainerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing_support::QtApplication(); }

  VideoContainerTest() : dir_("container"), display_(std::make_shared<platform::QtDisplayBackend>()) {
    window_ = std::make_shared<platform::RecordingMessageTarget>();
    container_ = std::make_unique<CQxVideoContainer>();
    container_->resize(704, 576);
    container_->show();
    EXPECT_TRUE(container_->Start(window_));
    box_ = container_->GetVideoBox();
    box_->SetDrawObserver([this](const VYX_FRAME_HEADER& h) {
      std::lock_guard lock(m_);
      drawn_.push_back(uint64_t{h.time} * 1000000 + h.usec);
    });
  }

  ~VideoContainerTest() override { container_.reset(); }

  std::vector<uint64_t> Drawn() {
    std::lock_guard lock(m_);
    return drawn_;
  }

  void PauseAndWait() {
    container_->SetMode(PLAY_MODE_PAUSE);
    ASSERT_TRUE(WaitFor([&] { return container_->GetMode() == PLAY_MODE_PAUSE; }));
    ASSERT_TRUE(WaitFor([&] { return container_->IsSuspended(); }));  // the frame in hand is finished
  }

  testing_support::ScratchDir dir_;
  platform::ScopedDisplayBackend display_;
  std::shared_ptr<platform::RecordingMessageTarget> window_;
  std::unique_ptr<CQxVideoContainer> container_;
  CQxVideoBox* box_ = nullptr;
  std::mutex m_;
  std::vector<uint64_t> drawn_;
};

TEST_F(VideoContainerTest, PlaysFromTheFirstKeyFrameOnInOrder) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  auto units = Libx264(dir_, "352x288", 50);
  ASSERT_TRUE(units);
  ASSERT_EQ(units->size(), 50u);
  // The archive starts in the middle of a group of pictures: records 0-19
  // cannot be decoded and must not be drawn.
  std::vector<Record> records;
  for (size_t i = 5; i < units->size(); ++i) records.push_back(VideoRecord((*units)[i], i - 5));
  ASSERT_FALSE(records[0].header.type == FRAME_TYPE_H264_I);
  ASSERT_EQ(records[20].header.type, FRAME_TYPE_H264_I);

  ASSERT_EQ(container_->OpenFile(WriteArchive(dir_, "a.vyx", records)), 1);
  ASSERT_TRUE(window_->WaitFor(WM_VYX_END_OF_FILE, testing_support::kPatience));
  container_->Stop();
  const auto drawn = Drawn();
  ASSERT_GE(drawn.size(), 25u);
  for (size_t i = 0; i < 25; ++i)
    EXPECT_EQ(drawn[i], uint64_t{kT0} * 1000000 + (i + 20) * 40000) << i;
  auto size = window_->WaitFor(WM_VIDEO_SIZE_CHANGED, testing_support::kPatience);
  ASSERT_TRUE(size);
  EXPECT_EQ(size->wParam, 352u);
  EXPECT_EQ(size->lParam, 288);
}

// The archive starts with predicted pictures that carry their parameter
// sets and a recovery point (an intra-refresh stream entered at the start of
// a refresh cycle): FFmpeg would show them once recovered, so only the
// key-frame gate keeps them off the screen until the first key frame.
TEST_F(VideoContainerTest, KeyFrameGateHoldsPredictedPicturesThatCarryTheirParameterSets) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  auto refreshed = Libx264(dir_, "176x144", 30, "-x264-params intra-refresh=1:repeat-headers=1:keyint=10");
  ASSERT_TRUE(refreshed);
  auto keyed = Libx264(dir_, "176x144", 20, "-x264-params repeat-headers=1");
  ASSERT_TRUE(keyed);
  ASSERT_EQ(refreshed->size(), 30u);
  std::vector<Record> records;
  for (size_t i = 10; i < refreshed->size(); ++i) records.push_back(VideoRecord((*refreshed)[i], records.size()));
  for (const AccessUnit& unit : *keyed) records.push_back(VideoRecord(unit, records.size()));
  for (size_t i = 0; i < 20; ++i) ASSERT_EQ(records[i].header.type, FRAME_TYPE_H264_P) << i;
  ASSERT_EQ(records[20].header.type, FRAME_TYPE_H264_I);

  ASSERT_EQ(container_->OpenFile(WriteArchive(dir_, "gate.vyx", records)), 1);
  ASSERT_TRUE(window_->WaitFor(WM_VYX_END_OF_FILE, 20s));
  container_->Stop();
  const auto drawn = Drawn();
  ASSERT_GE(drawn.size(), 20u);
  for (size_t i = 0; i < 20; ++i)
    EXPECT_EQ(drawn[i], uint64_t{kT0} * 1000000 + (i + 20) * 40000) << "picture " << i;
}

TEST_F(VideoContainerTest, ShowsThePictureWithItsTimeText) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  auto units = Libx264(dir_, "704x576", 10);
  ASSERT_TRUE(units);
  std::vector<Record> records;
  for (size_t i = 0; i < units->size(); ++i) records.push_back(VideoRecord((*units)[i], i));
  container_->SetOsdPosition(1);
  ASSERT_EQ(container_->OpenFile(WriteArchive(dir_, "a.vyx", records)), 1);
  ASSERT_TRUE(WaitFor([&] { return Drawn().size() >= 3; }));
  PauseAndWait();
  container_->RecalcLayout();
  QTest::qWait(50);

  wchar_t expected[32];
  {
    const std::time_t t = kT0;
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &local);
    std::mbstowcs(expected, text, 32);
  }
  EXPECT_EQ(box_->GetTimeText(), expected);
  EXPECT_EQ(box_->GetTitleText(), L"Camera One");
  EXPECT_EQ(box_->GetFpsText().rfind(L"FPS: ", 0), 0u);

  const QImage shot = container_->grab().toImage();
  const auto path = std::filesystem::path(ORLENTA_BINARY_DIR) / "test-output" / "video_container_704x576.png";
  std::filesystem::create_directories(path.parent_path());
  shot.save(QString::fromStdString(path.string()));
  // Text in the left-top corner: pure green pixels there, and the picture
  // (testsrc2 is colourful) everywhere else.
  int green = 0;
  for (int y = 0; y < 70; ++y)
    for (int x = 0; x < 300; ++x) {
      const QColor c = shot.pixelColor(x, y);
      green += c.green() > 200 && c.red() < 60 && c.blue() < 60;
    }
  EXPECT_GT(green, 100);
  int coloured = 0;
  for (int y = 200; y < 560; y += 8)
    for (int x = 0; x < 700; x += 8) {
      const QColor c = shot.pixelColor(x, y);
      coloured += std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()}) > 40;
    }
  EXPECT_GT(coloured, 500);
}

TEST_F(VideoContainerTest, FieldPicturesSnapshotLineDoubled) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  auto units = Libx264(dir_, "704x240", 3);
  ASSERT_TRUE(units);
  std::vector<Record> records;
  for (size_t i = 0; i < units->size(); ++i) records.push_back(VideoRecord((*units)[i], i));
  ASSERT_EQ(container_->OpenFile(WriteArchive(dir_, "a.vyx", records)), 1);
  ASSERT_TRUE(WaitFor([&] { return !Drawn().empty(); }));
  PauseAndWait();

  const auto bmp = dir_ / "shot.bmp";
  ASSERT_EQ(container_->Snapshot(bmp.wstring(), true), 1);
  const auto bytes = testing_support::ReadFile(bmp);
  ASSERT_EQ(bytes.size(), 54u + 704 * 480 * 4);
  int32_t height;
  std::memcpy(&height, &bytes[22], 4);
  EXPECT_EQ(height, -480);
  // Row 2k and 2k+1 are the picture's row k.
  for (int row = 0; row < 480; row += 2)
    ASSERT_EQ(std::memcmp(&bytes[54 + size_t(row) * 2816], &bytes[54 + size_t(row + 1) * 2816], 2816), 0);

  const auto jpg = dir_ / "shot.jpg";
  ASSERT_EQ(container_->Snapshot(jpg.wstring(), false), 1);
  const auto jpeg = testing_support::ReadFile(jpg);
  ASSERT_GT(jpeg.size(), 4u);
  EXPECT_EQ(jpeg[0], 0xFF);
  EXPECT_EQ(jpeg[1], 0xD8);
  EXPECT_EQ(container_->Snapshot((dir_ / "no" / "such" / "dir.jpg").wstring(), false), -1);
  EXPECT_EQ(container_->Snapshot((dir_ / "no" / "such" / "dir.bmp").wstring(), true), -1);
}

TEST_F(VideoContainerTest, HostileSizesAndPayloadsNeverOverflow) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  auto big = Libx264(dir_, "640x480", 4);
  ASSERT_TRUE(big);
  std::vector<Record> records;
  // A stream whose pictures are a macroblock larger than the header says
  // (far larger ones are not decoded at all).
  for (size_t i = 0; i < big->size(); ++i) {
    Record r = VideoRecord((*big)[i], i);
    r.header.width = 624;
    r.header.height = 464;
    records.push_back(r);
  }
  // Sizes of 0 and 65535, and a payload far larger than its picture.
  for (auto [w, h] : {std::pair{0, 0}, std::pair{65535, 65535}, std::pair{0, 288}, std::pair{16, 16}}) {
    Record r = VideoRecord((*big)[0], records.size());
    r.header.width = static_cast<uint16_t>(w);
    r.header.height = static_cast<uint16_t>(h);
    records.push_back(r);
  }
  Record huge = VideoRecord((*big)[0], records.size());
  huge.payload.resize(600000, 0x5A);
  huge.header.width = 32;
  huge.header.height = 32;
  records.push_back(huge);

  std::atomic<int> dropped{0};
  platform::ScopedTraceSink sink([&](std::string_view text) {
    if (text.find("dropped") != std::string_view::npos) ++dropped;
  });
  ASSERT_EQ(container_->OpenFile(WriteArchive(dir_, "hostile.vyx", records)), 1);
  ASSERT_TRUE(window_->WaitFor(WM_VYX_END_OF_FILE, testing_support::kPatience));
  container_->Stop();
  EXPECT_GE(dropped.load(), 3);
  EXPECT_FALSE(Drawn().empty());  // the mislabelled stream still shows, cut to its header's size
}

}  // namespace

namespace {

TEST_F(VideoContainerTest, MouseRequestsGoToTheMainWindow) {
  QTest::mouseClick(box_, Qt::RightButton, Qt::NoModifier, QPoint(30, 40));
  QTest::mouseDClick(box_, Qt::LeftButton, Qt::NoModifier, QPoint(50, 60));
  auto menu = window_->WaitFor(WM_VIDEO_CONTEXT_MENU, testing_support::kPatience);
  ASSERT_TRUE(menu);
  EXPECT_EQ(menu->wParam, 30u);
  EXPECT_EQ(menu->lParam, 40);
  auto maximise = window_->WaitFor(WM_VIDEO_TOGGLE_MAXIMIZE, testing_support::kPatience);
  ASSERT_TRUE(maximise);
  EXPECT_EQ(maximise->wParam, 50u);
  EXPECT_EQ(maximise->lParam, 60);
  // Nothing drawn yet: the box paints black.
  const QImage shot = box_->grab().toImage();
  EXPECT_EQ(shot.pixelColor(10, 10), QColor(Qt::black));
}

}  // namespace
