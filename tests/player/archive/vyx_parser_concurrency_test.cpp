// The index thread, a consumer and the user-interface thread use one reader
// at once.  Run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "platform/message_box.h"
#include "platform/recording_message_target.h"
#include "player/archive/archive_messages.h"
#include "player/archive/vyx_parser.h"
#include "tests/support/archive_records.h"
#include "tests/support/patience.h"
#include "tests/support/test_support.h"
#include "tools/vyxmux/vyx_writer.h"

using namespace std::chrono_literals;

namespace {

constexpr uint32_t kT0 = 1700000000;
constexpr int kRecords = 30000;

// Record i: time kT0 + i / 25, a key frame every 25 records, payload = 4 bytes of i.
std::string WriteArchive(const testing_support::ScratchDir& dir, const std::string& name) {
  const std::string path = dir / name;
  std::vector<testing_support::ArchiveRecord> records;
  for (int i = 0; i < kRecords; ++i) {
    const uint8_t type = i % 25 == 0 ? FRAME_TYPE_H264_I : FRAME_TYPE_H264_P;
    std::vector<uint8_t> payload(4);
    std::memcpy(payload.data(), &i, 4);
    records.push_back({MakeFrameHeader(type, kT0 + static_cast<uint32_t>(i / 25)), payload});
  }
  EXPECT_TRUE(testing_support::WriteArchive(path, records));
  return path;
}

int RecordNumber(const VyxFrame& frame) {
  int i;
  std::memcpy(&i, frame.payload.data(), 4);
  return i;
}

TEST(ParserConcurrency, IndexConsumerAndUserInterfaceAtOnce) {
  testing_support::ScratchDir dir("parser-mt");
  const std::string path = WriteArchive(dir, "a.vyx");
  auto boxes = std::make_shared<platform::RecordingMessageBoxes>();
  platform::ScopedMessageBoxBackend scope(boxes);
  auto window = std::make_shared<platform::RecordingMessageTarget>();

  CQxVyxParser parser;
  parser.SetNotifyWindow(window);
  for (int round = 0; round < 3; ++round) {
    window->Clear();
    ASSERT_EQ(parser.Open(path), 1);
    parser.Rewind();
    std::atomic<bool> done{false};
    std::atomic<int> handedOut{0};

    std::thread consumer([&] {
      FrameReadout out;
      while (!done) {
        const int r = parser.ReadNextFrame(out);
        if (r == 1) {
          const int n = RecordNumber(*out.frame);
          ASSERT_GE(n, 0);
          ASSERT_LT(n, kRecords);
          ASSERT_EQ(out.frame->index.header.time, kT0 + static_cast<uint32_t>(n / 25));
          ++handedOut;
        } else if (out.endOfFile) {
          parser.Rewind();
        } else {
          std::this_thread::yield();
        }
      }
    });
    std::thread ui([&] {
      std::mt19937 random(round);
      while (!done) {
        switch (random() % 4) {
          case 0: parser.Rewind(); break;
          case 1: parser.SeekToTime(random() % 1300); break;
          case 2: parser.StepBackToKeyFrame(); break;
          default: (void)parser.GetDuration(); (void)parser.GetFrameCount(); break;
        }
        std::this_thread::sleep_for(50us);
      }
    });

    ASSERT_TRUE(window->WaitFor(WM_VYX_INDEX_DONE, 60s));
    // A loaded machine may not have run the consumer yet: give it the time
    // to take some records while the user interface goes on moving.
    const auto end = std::chrono::steady_clock::now() + testing_support::kPatience;
    while (handedOut.load() < 50 && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(1ms);
    done = true;
    consumer.join();
    ui.join();
    EXPECT_GT(handedOut.load(), 0);
  }

  // After all that, a plain walk hands out every record once, in order.
  parser.Rewind();
  FrameReadout out;
  int expected = 0;
  while (parser.ReadNextFrame(out) == 1) ASSERT_EQ(RecordNumber(*out.frame), expected++);
  EXPECT_EQ(expected, kRecords);
  EXPECT_EQ(parser.GetDuration(), static_cast<uint32_t>((kRecords - 1) / 25));
  EXPECT_TRUE(boxes->Texts().empty());
}

TEST(ParserConcurrency, OpenAndDestroyWhileIndexing) {
  testing_support::ScratchDir dir("parser-reopen");
  const std::string path = WriteArchive(dir, "a.vyx");
  for (int i = 0; i < 10; ++i) {
    CQxVyxParser parser;
    ASSERT_EQ(parser.Open(path), 1);
    std::thread consumer([&] {
      FrameReadout out;
      for (int n = 0; n < 200; ++n) parser.ReadNextFrame(out);
    });
    ASSERT_EQ(parser.Open(path), 1);
    consumer.join();
  }  // destroyed while its second index thread may still run
}

}  // namespace
