// An archive with H.264 video and µ-law voice plays through the video
// container with its sound: the null output records what it played, and
// that is the voice payloads' expansion, in order, with silence only
// between whole buffers.
#include <gtest/gtest.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/display_device.h"
#include "platform/null_wave_out.h"
#include "platform/qt/qt_display.h"
#include "platform/recording_message_target.h"
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
constexpr size_t kNodeBytes = 1920;    // three voice units of 320 samples
constexpr size_t kSilenceBytes = 192;  // what the output plays when the queue is dry

struct Record {
  uint64_t us;
  VYX_FRAME_HEADER header;
  std::vector<uint8_t> payload;
};

VYX_FRAME_HEADER HeaderAt(uint8_t type, uint64_t us) { return testing_support::HeaderAt(type, kT0, us); }

class VideoBoxSoundTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing_support::QtApplication(); }
};

TEST_F(VideoBoxSoundTest, VoiceFramesPlayAsTheirUlawExpansion) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir dir("video_box_sound");
  // Two seconds of pictures; 1.8 s of a two-tone µ-law voice, so that the
  // archive ends with a picture (the reader hands its last record out
  // again at the end) and the voice fills 15 whole buffers.
  const auto h264 = dir / "video.264";
  const auto ulaw = dir / "voice.ul";
  const auto expanded = dir / "voice.pcm";
  ASSERT_EQ(testing_support::Run("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=352x288:rate=25"
                                 " -frames:v 50 -c:v libx264 -g 25 -bf 0 -f h264 '" + h264.string() + "'"), 0);
  ASSERT_EQ(testing_support::Run("ffmpeg -nostdin -loglevel error -y -f lavfi"
                                 " -i 'aevalsrc=0.6*sin(2*PI*440*t)+0.3*sin(2*PI*1250*t):s=8000:d=1.8'"
                                 " -c:a pcm_mulaw -f mulaw '" + ulaw.string() + "'"), 0);
  // The reference expansion: ffmpeg's own µ-law decoder.
  ASSERT_EQ(testing_support::Run("ffmpeg -nostdin -loglevel error -y -f mulaw -ar 8000 -ac 1 -i '" +
                                 ulaw.string() + "' -f s16le '" + expanded.string() + "'"), 0);
  const auto codes = testing_support::ReadFile(ulaw);
  const auto pcm = testing_support::ReadFile(expanded);
  ASSERT_EQ(codes.size(), 14400u);
  ASSERT_EQ(pcm.size(), 2 * codes.size());
  const auto units = SplitAnnexB(testing_support::ReadFile(h264));
  ASSERT_EQ(units.size(), 50u);

  std::vector<Record> records;
  for (size_t i = 0; i < units.size(); ++i) {
    const AccessUnit& unit = units[i];
    const uint64_t us = i * 40000;
    Record r{us, HeaderAt(unit.idr ? FRAME_TYPE_H264_I : FRAME_TYPE_H264_P, us), unit.bytes};
    r.header.width = unit.width;
    r.header.height = unit.height;
    records.push_back(std::move(r));
  }
  // Voice records of 400 bytes (50 ms): units of 320 span records.
  for (size_t offset = 0; offset < codes.size(); offset += 400) {
    const uint64_t us = offset * 1000000 / 8000;
    const size_t bytes = std::min<size_t>(400, codes.size() - offset);
    records.push_back({us, HeaderAt(FRAME_TYPE_VOICE, us),
                       {codes.begin() + offset, codes.begin() + offset + bytes}});
  }
  std::stable_sort(records.begin(), records.end(),
                   [](const Record& a, const Record& b) { return a.us < b.us; });
  ASSERT_NE(records.back().header.type, FRAME_TYPE_VOICE);
  const std::string archive = dir / "av.vyx";
  std::vector<testing_support::ArchiveRecord> written;
  for (const Record& r : records) written.push_back({r.header, r.payload});
  ASSERT_TRUE(testing_support::WriteArchive(archive, written));

  const auto recording = dir / "played.pcm";
  platform::ScopedWaveOutBackend sound(std::make_shared<platform::NullWaveOutBackend>(recording));
  platform::ScopedDisplayBackend display(std::make_shared<platform::QtDisplayBackend>());
  auto window = std::make_shared<platform::RecordingMessageTarget>();
  {
    CQxVideoContainer container;
    container.resize(352, 288);
    container.show();
    ASSERT_TRUE(container.Start(window));
    ASSERT_EQ(container.OpenFile(archive), 1);
    ASSERT_TRUE(window->WaitFor(WM_VYX_END_OF_FILE, testing_support::kPatience));
    // The queue's last buffers are still being played.
    const auto deadline = std::chrono::steady_clock::now() + testing_support::kPatience;
    while (testing_support::ReadFile(recording).size() < pcm.size() + 3 * kSilenceBytes &&
           std::chrono::steady_clock::now() < deadline) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      std::this_thread::sleep_for(10ms);
    }
    container.Stop();
    ASSERT_TRUE(window->WaitFor(WM_VYX_END_OF_FILE, testing_support::kPatience));
    const auto stopped = std::chrono::steady_clock::now() + testing_support::kPatience;
    while (container.GetVideoBox()->GetAudio().GetSoundOut().IsDeviceOpen() &&
           std::chrono::steady_clock::now() < stopped) {
      std::this_thread::sleep_for(5ms);
    }
    EXPECT_FALSE(container.GetVideoBox()->GetAudio().GetSoundOut().IsDeviceOpen());
  }

  // The recording: whole buffers of the expansion in order, with silent
  // buffers wherever the queue ran dry.
  const auto played = testing_support::ReadFile(recording);
  size_t at = 0;
  size_t nodes = 0;
  while (at < played.size()) {
    const size_t expectedAt = nodes * kNodeBytes;
    if (expectedAt < pcm.size() && played.size() - at >= kNodeBytes &&
        std::equal(pcm.begin() + expectedAt, pcm.begin() + expectedAt + kNodeBytes, played.begin() + at)) {
      at += kNodeBytes;
      ++nodes;
      continue;
    }
    const size_t silence = std::min(kSilenceBytes, played.size() - at);
    ASSERT_TRUE(std::all_of(played.begin() + at, played.begin() + at + silence, [](uint8_t b) { return b == 0; }))
        << "byte " << at << " of the recording is neither the next buffer (" << nodes << ") nor silence";
    at += silence;
  }
  EXPECT_EQ(nodes * kNodeBytes, pcm.size());
}

}  // namespace
