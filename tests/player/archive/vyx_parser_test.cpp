#include "player/archive/vyx_parser.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <numeric>

#include "platform/message_box.h"
#include "platform/recording_message_target.h"
#include "platform/trace.h"
#include "player/archive/archive_messages.h"
#include "tests/support/archive_records.h"
#include "tests/support/patience.h"
#include "tests/support/test_support.h"
#include "tools/vyxmux/vyx_writer.h"

using namespace std::chrono_literals;
using platform::RecordingMessageTarget;

namespace {

constexpr uint32_t kT0 = 1700000000;

struct Rec {
  uint8_t type;
  uint32_t time;
  uint8_t channel = 0;
  uint32_t size = 8;
};

std::vector<uint8_t> PayloadFor(size_t index, size_t size) {
  std::vector<uint8_t> bytes(size);
  std::iota(bytes.begin(), bytes.end(), static_cast<uint8_t>(index * 16));
  return bytes;
}

class ParserTest : public ::testing::Test {
 protected:
  ParserTest() : dir_("parser"), boxes_(std::make_shared<platform::RecordingMessageBoxes>()),
                 boxScope_(boxes_) {
    window_ = std::make_shared<RecordingMessageTarget>();
    parser_.SetNotifyWindow(window_);
  }

  std::string Write(const std::vector<Rec>& records, const std::string& name = "a.vyx") {
    const std::string path = dir_ / name;
    std::vector<testing_support::ArchiveRecord> written;
    for (size_t i = 0; i < records.size(); ++i) {
      written.push_back({MakeFrameHeader(records[i].type, records[i].time, 0), PayloadFor(i, records[i].size)});
      written.back().header.channel = records[i].channel;
      written.back().header.width = 352;
      written.back().header.height = 288;
    }
    EXPECT_TRUE(testing_support::WriteArchive(path, written));
    return path;
  }

  // Opens and waits until the index thread has finished.
  void OpenIndexed(const std::string& path) {
    ASSERT_EQ(parser_.Open(path), 1);
    WaitIndexed();
  }

  void WaitIndexed() {
    const auto end = std::chrono::steady_clock::now() + testing_support::kPatience;
    while (parser_.IsIndexing() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(1ms);
    ASSERT_FALSE(parser_.IsIndexing());
  }

  // Reads every remaining record; returns their times.
  std::vector<uint32_t> ReadTimes() {
    std::vector<uint32_t> times;
    FrameReadout out;
    while (parser_.ReadNextFrame(out) == 1) times.push_back(out.frame->index.header.time);
    EXPECT_TRUE(out.endOfFile);
    return times;
  }

  uint32_t NextTime() {
    FrameReadout out;
    EXPECT_EQ(parser_.ReadNextFrame(out), 1);
    return out.frame ? out.frame->index.header.time : 0;
  }

  testing_support::ScratchDir dir_;
  std::shared_ptr<platform::RecordingMessageBoxes> boxes_;
  platform::ScopedMessageBoxBackend boxScope_;
  std::shared_ptr<RecordingMessageTarget> window_;
  CQxVyxParser parser_;
};

TEST_F(ParserTest, IndexesAndHandsOutRecordsInFileOrder) {
  const std::vector<Rec> recs = {{FRAME_TYPE_H264_I, kT0, 1},       {FRAME_TYPE_VOICE, kT0, 2, 320},
                                 {FRAME_TYPE_H264_P, kT0 + 3, 33},  {FRAME_TYPE_AUDIO_131, kT0 + 4, 0},
                                 {200, kT0 + 5, 7, 0},               {FRAME_TYPE_ADPCM, kT0 + 9, 1, 256}};
  platform::ScopedTraceSink sink([](std::string_view) {});
  OpenIndexed(Write(recs));

  auto done = window_->WaitFor(WM_VYX_INDEX_DONE, testing_support::kPatience);
  ASSERT_TRUE(done);
  EXPECT_EQ(done->wParam, (1u << 1) | (1u << 2) | (1u << 0) | (1u << 7));  // channel 33 is bit 1
  EXPECT_EQ(done->lParam, 3);  // the last video frame is at +3 s; audio does not count
  EXPECT_EQ(parser_.GetDuration(), 3u);
  EXPECT_EQ(parser_.GetFrameCount(), recs.size());

  ASSERT_EQ(parser_.Rewind(), 1);
  uint64_t offset = 0;
  for (size_t i = 0; i < recs.size(); ++i) {
    FrameReadout out;
    ASSERT_EQ(parser_.ReadNextFrame(out), 1);
    const VyxFrame& f = *out.frame;
    offset += VYX_HEADER_SIZE;
    EXPECT_EQ(f.index.offset, offset);
    offset += recs[i].size;
    EXPECT_EQ(f.index.header.type, recs[i].type);
    EXPECT_EQ(f.index.codecClass, CodecClassOfType(recs[i].type));
    EXPECT_EQ(f.payload, PayloadFor(i, recs[i].size));
    EXPECT_EQ(f.index.header.length, recs[i].size);
  }
  // The end is reported once; then the last record comes again.
  FrameReadout out;
  EXPECT_EQ(parser_.ReadNextFrame(out), 0);
  EXPECT_TRUE(out.endOfFile);
  EXPECT_FALSE(out.frame);
  EXPECT_EQ(NextTime(), kT0 + 9);
}

TEST(FrameTypes, ClassesKeysAndVideo) {
  struct Case {
    int type;
    int32_t codecClass;
    bool key, video;
  };
  const Case cases[] = {{129, 0, true, true},   {130, 0, false, true},  {131, -1, false, false},
                        {132, 0, false, false}, {133, 1, true, true},   {134, 1, false, true},
                        {135, -1, false, false}, {136, 2, true, true},  {137, -1, false, false},
                        {139, -1, false, false}, {140, 1, true, true},  {141, 1, false, true},
                        {142, -1, false, false}, {144, -1, false, false}, {145, 0, false, false},
                        {146, 0, false, false}, {147, 0, false, false}, {0, -1, false, false},
                        {128, -1, false, false}, {148, -1, false, false}, {255, -1, false, false}};
  for (const Case& c : cases) {
    const auto t = static_cast<uint8_t>(c.type);
    EXPECT_EQ(CodecClassOfType(t), c.codecClass) << c.type;
    EXPECT_EQ(IsKeyFrameType(t), c.key) << c.type;
    EXPECT_EQ(IsVideoFrameType(t), c.video) << c.type;
  }
}

TEST(FrameHeader, TitleEndsBeforeByte41) {
  VYX_FRAME_HEADER h = MakeFrameHeader(FRAME_TYPE_H264_I);
  std::memset(h.title, 'x', sizeof h.title);  // no terminator at all
  h.byte41 = 'y';
  EXPECT_EQ(TitleOf(h), std::string(17, 'x'));
  SetTitle(h, "Camera 1");
  EXPECT_EQ(TitleOf(h), "Camera 1");
}

TEST_F(ParserTest, OpenFailsOnMissingOrEmptyFiles) {
  EXPECT_EQ(parser_.Open((dir_ / "absent.vyx").string()), 0);
  const std::string empty = dir_ / "empty.vyx";
  testing_support::WriteFile(empty, {});
  EXPECT_EQ(parser_.Open(empty), 0);
  EXPECT_EQ(parser_.Open(dir_.path().string()), 0);  // a directory
  EXPECT_EQ(parser_.Rewind(), 0);
  FrameReadout out;
  EXPECT_EQ(parser_.ReadNextFrame(out), 0);
  EXPECT_TRUE(out.endOfFile);
  EXPECT_TRUE(window_->Messages().empty());
  EXPECT_TRUE(boxes_->Texts().empty());
}

TEST_F(ParserTest, EmptyIndexReportsTheEndEveryTime) {
  // A file shorter than one header indexes nothing.
  const std::string path = dir_ / "stub.vyx";
  testing_support::WriteFile(path, std::vector<uint8_t>(47, 0xA7));
  OpenIndexed(path);
  EXPECT_EQ(boxes_->WaitForText(testing_support::kPatience), "Open Vyx File Error!");
  EXPECT_TRUE(window_->Messages().empty());
  EXPECT_EQ(parser_.Rewind(), 0);
  for (int i = 0; i < 3; ++i) {
    FrameReadout out;
    EXPECT_EQ(parser_.ReadNextFrame(out), 0);
    EXPECT_TRUE(out.endOfFile);
  }
  EXPECT_EQ(parser_.StepBackToKeyFrame(), -1);
  EXPECT_EQ(parser_.SeekToTime(10), 1);
  EXPECT_EQ(parser_.GetDuration(), 0u);
}

TEST_F(ParserTest, BadMagicAtFirstRecordShowsTheOpenError) {
  const std::string path = Write({{FRAME_TYPE_H264_I, kT0}, {FRAME_TYPE_H264_P, kT0 + 1}});
  {
    int fd = ::open(path.c_str(), O_WRONLY);
    const uint32_t bad = 0x12345678;
    ASSERT_EQ(::pwrite(fd, &bad, 4, 0), 4);
    ::close(fd);
  }
  OpenIndexed(path);
  auto error = window_->WaitFor(WM_VYX_INDEX_ERROR, testing_support::kPatience);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->wParam, 0u);
  EXPECT_EQ(error->lParam, 0);
  EXPECT_EQ(boxes_->WaitForText(testing_support::kPatience), "Open Vyx File Error!");
  EXPECT_EQ(window_->Messages().size(), 1u);
  EXPECT_EQ(parser_.GetFrameCount(), 0u);
}

TEST_F(ParserTest, BadMagicLaterKeepsWhatWasIndexed) {
  const std::string path = dir_ / "b.vyx";
  VYX_FRAME_HEADER h = MakeFrameHeader(FRAME_TYPE_H264_I, kT0);
  h.channel = 3;
  VYX_FRAME_HEADER noMagic = h;
  noMagic.magic = 0xE6804FA6;
  ASSERT_TRUE(testing_support::WriteArchive(path, {{h, PayloadFor(0, 10)},
                                                   {MakeFrameHeader(FRAME_TYPE_H264_P, kT0 + 2), PayloadFor(1, 10)},
                                                   {noMagic, PayloadFor(2, 10)},
                                                   {MakeFrameHeader(FRAME_TYPE_H264_P, kT0 + 5), PayloadFor(3, 10)}}));
  OpenIndexed(path);
  ASSERT_TRUE(window_->WaitForCount(2, testing_support::kPatience));
  const auto messages = window_->Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].message, WM_VYX_INDEX_ERROR);
  EXPECT_EQ(messages[0].wParam, (1u << 3) | 1u);
  EXPECT_EQ(messages[0].lParam, 2);
  EXPECT_EQ(messages[1].message, WM_VYX_INDEX_DONE);
  EXPECT_EQ(messages[1].lParam, 2);
  parser_.Rewind();
  EXPECT_EQ(ReadTimes(), (std::vector<uint32_t>{kT0, kT0 + 2}));
  EXPECT_TRUE(boxes_->Texts().empty());
}

TEST_F(ParserTest, TruncatedTailsAreIndexedOrIgnored) {
  // A header whose payload is cut short is indexed and handed out
  // shortened; a stub shorter than a header after it would be ignored.
  const std::string path = Write({{FRAME_TYPE_H264_I, kT0, 0, 100}, {FRAME_TYPE_H264_P, kT0 + 1, 0, 100}});
  std::filesystem::resize_file(path, 48 + 100 + 48 + 30);
  OpenIndexed(path);
  EXPECT_EQ(parser_.GetFrameCount(), 2u);
  parser_.Rewind();
  FrameReadout out;
  ASSERT_EQ(parser_.ReadNextFrame(out), 1);
  ASSERT_EQ(parser_.ReadNextFrame(out), 1);
  EXPECT_EQ(out.frame->payload.size(), 30u);
  EXPECT_EQ(out.frame->index.header.length, 30u);
  const auto expected = PayloadFor(1, 100);
  EXPECT_TRUE(std::equal(out.frame->payload.begin(), out.frame->payload.end(), expected.begin()));
  // Listing without payloads gives the same lengths and the same end.
  parser_.Rewind();
  LOCAL_FRAME_INDEX record;
  bool end = false;
  ASSERT_EQ(parser_.ReadNextRecord(record, end), 1);
  EXPECT_EQ(record.header.length, 100u);
  ASSERT_EQ(parser_.ReadNextRecord(record, end), 1);
  EXPECT_EQ(record.header.length, 30u);
  EXPECT_EQ(record.offset, 48u + 100 + 48);
  EXPECT_EQ(parser_.ReadNextRecord(record, end), 0);
  EXPECT_TRUE(end);

  // Trailing bytes shorter than a header.
  const std::string stub = Write({{FRAME_TYPE_H264_I, kT0}}, "stub.vyx");
  {
    std::FILE* f = std::fopen(stub.c_str(), "ab");
    const uint8_t junk[47] = {0xA7, 0x4F, 0x80, 0xE6};
    std::fwrite(junk, 1, sizeof junk, f);
    std::fclose(f);
  }
  OpenIndexed(stub);
  EXPECT_EQ(parser_.GetFrameCount(), 1u);
}

// A length beyond the ceiling is a damaged header: it ends the index as a
// bad magic does, and the ceiling itself is still a record.
TEST_F(ParserTest, LengthBeyondTheCeilingEndsTheIndexLikeABadMagic) {
  for (const uint32_t length : {VYX_MAX_PAYLOAD_LENGTH + 1, 0x80000000u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(length);
    window_->Clear();
    // first (5 bytes), a sparse record of exactly the ceiling, the bad one
    // with 64 bytes after it, and one more that it would swallow.
    const std::string path = dir_ / "huge.vyx";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    uint64_t at = 0;
    auto put = [&](VYX_FRAME_HEADER h, uint32_t length, const std::vector<uint8_t>& payload) {
      h.length = length;
      ASSERT_EQ(::pwrite(fd, &h, sizeof h, static_cast<off_t>(at)), 48);
      ASSERT_EQ(::pwrite(fd, payload.data(), payload.size(), static_cast<off_t>(at + 48)),
                static_cast<ssize_t>(payload.size()));
      at += 48 + std::max<uint64_t>(payload.size(), length == VYX_MAX_PAYLOAD_LENGTH ? length : 0);
    };
    put(MakeFrameHeader(FRAME_TYPE_H264_I, kT0), 5, PayloadFor(0, 5));
    put(MakeFrameHeader(FRAME_TYPE_H264_P, kT0 + 1), VYX_MAX_PAYLOAD_LENGTH, {});
    put(MakeFrameHeader(FRAME_TYPE_H264_P, kT0 + 2), length, PayloadFor(2, 64));
    put(MakeFrameHeader(FRAME_TYPE_H264_P, kT0 + 3), 5, PayloadFor(3, 5));
    ::close(fd);

    OpenIndexed(path);
    ASSERT_TRUE(window_->WaitForCount(2, 1s));
    const auto messages = window_->Messages();
    EXPECT_EQ(messages[0].message, WM_VYX_INDEX_ERROR);
    EXPECT_EQ(messages[0].lParam, 1);
    EXPECT_EQ(messages[1].message, WM_VYX_INDEX_DONE);
    parser_.Rewind();
    EXPECT_EQ(ReadTimes(), (std::vector<uint32_t>{kT0, kT0 + 1}));
  }
}

TEST_F(ParserTest, FirstRecordsWithTimeZeroIndexNormally) {
  OpenIndexed(Write({{FRAME_TYPE_H264_I, 0}, {FRAME_TYPE_VOICE, 0}, {FRAME_TYPE_H264_P, 7}}));
  auto done = window_->WaitFor(WM_VYX_INDEX_DONE, testing_support::kPatience);
  ASSERT_TRUE(done);
  EXPECT_EQ(done->lParam, 7);
  EXPECT_TRUE(boxes_->Texts().empty());
  EXPECT_EQ(parser_.GetTimeOffset(5), 5u);
}

TEST_F(ParserTest, DurationsAndOffsetsSaturateAtZero) {
  // Audio only: no video time at all.
  OpenIndexed(Write({{FRAME_TYPE_VOICE, kT0}, {FRAME_TYPE_ADPCM, kT0 + 30}}));
  EXPECT_EQ(parser_.GetDuration(), 0u);
  EXPECT_EQ(window_->WaitFor(WM_VYX_INDEX_DONE, testing_support::kPatience)->lParam, 0);
  EXPECT_EQ(parser_.SeekToTime(100), 1);

  // Times going backwards.
  OpenIndexed(Write({{FRAME_TYPE_H264_I, kT0 + 50}, {FRAME_TYPE_H264_P, kT0 + 10}}, "back.vyx"));
  EXPECT_EQ(parser_.GetDuration(), 0u);
  EXPECT_EQ(parser_.GetTimeOffset(kT0 + 10), 0u);
  EXPECT_EQ(parser_.GetTimeOffset(kT0 + 53), 3u);
}

// Records: key at +0, P +1, key +2, P +3, P +4, key +5, P +6
class NavigationTest : public ParserTest {
 protected:
  void SetUp() override {
    OpenIndexed(Write({{FRAME_TYPE_H264_I, kT0},
                       {FRAME_TYPE_H264_P, kT0 + 1},
                       {FRAME_TYPE_JPEG, kT0 + 2},
                       {FRAME_TYPE_H264_P, kT0 + 3},
                       {FRAME_TYPE_VOICE, kT0 + 4},
                       {FRAME_TYPE_H264B_I, kT0 + 5},
                       {FRAME_TYPE_H264_P, kT0 + 6}}));
    parser_.Rewind();
  }
  void Skip(int n) {
    for (int i = 0; i < n; ++i) NextTime();
  }
};

TEST_F(NavigationTest, StepBackToKeyFrame) {
  // Nothing handed out yet, or only the first record: no key frame before it.
  EXPECT_EQ(parser_.StepBackToKeyFrame(), -1);
  Skip(1);
  EXPECT_EQ(parser_.StepBackToKeyFrame(), -1);

  parser_.Rewind();
  Skip(4);  // last handed out: +3
  EXPECT_EQ(parser_.StepBackToKeyFrame(), 0);
  EXPECT_EQ(NextTime(), kT0 + 2);
  Skip(1);  // +3
  EXPECT_EQ(parser_.StepBackToKeyFrame(), 0);
  EXPECT_EQ(NextTime(), kT0 + 2);
  EXPECT_EQ(parser_.StepBackToKeyFrame(), 0);  // the key frame before the key frame +2
  EXPECT_EQ(NextTime(), kT0);

  // Everything handed out: the cursor is null.
  parser_.Rewind();
  Skip(7);
  EXPECT_EQ(parser_.StepBackToKeyFrame(), -1);
}

TEST_F(NavigationTest, StepBackWithoutAnEarlierKeyFrame) {
  OpenIndexed(Write({{FRAME_TYPE_H264_P, kT0}, {FRAME_TYPE_H264_P, kT0 + 1}, {FRAME_TYPE_H264_P, kT0 + 2}},
                    "nokey.vyx"));
  parser_.Rewind();
  Skip(3);
  EXPECT_EQ(parser_.StepBackToKeyFrame(), -1);
  FrameReadout out;
  EXPECT_EQ(parser_.ReadNextFrame(out), 0);  // the cursor was left null
  EXPECT_TRUE(out.endOfFile);
}

TEST_F(NavigationTest, SeekToTime) {
  struct Case {
    uint32_t seconds;
    int alreadyRead;
    uint32_t expected;
  };
  const Case cases[] = {
      {0, 0, kT0},          {1, 0, kT0 + 2},     {2, 0, kT0 + 2},
      {3, 0, kT0 + 5},      {5, 0, kT0 + 5},     {6, 0, kT0 + 5},  // clamps to 1 s before the end
      {4000000000u, 0, kT0 + 5},                 // no wrap
      {1, 4, kT0 + 2},                           // behind the last read: search from the start
      {4, 2, kT0 + 5},                           // ahead: search from the cursor
  };
  for (const Case& c : cases) {
    parser_.Rewind();
    Skip(c.alreadyRead);
    EXPECT_EQ(parser_.SeekToTime(c.seconds), 1);
    EXPECT_EQ(NextTime(), c.expected) << c.seconds << " after " << c.alreadyRead;
  }
}

TEST_F(NavigationTest, SeekWithoutAMatchLeavesTheCursor) {
  // A null cursor (everything handed out) with a target behind the last
  // read searches from the start.
  parser_.Rewind();
  Skip(7);
  parser_.SeekToTime(6);  // clamped to +5
  EXPECT_EQ(NextTime(), kT0 + 5);

  // An archive whose last key frame comes before the target.
  OpenIndexed(Write({{FRAME_TYPE_H264_I, kT0}, {FRAME_TYPE_H264_P, kT0 + 1}, {FRAME_TYPE_H264_P, kT0 + 9}},
                    "tail.vyx"));
  parser_.Rewind();
  Skip(1);
  parser_.SeekToTime(5);
  EXPECT_EQ(NextTime(), kT0 + 1);  // unchanged
  Skip(1);
  parser_.SeekToTime(8);  // null cursor, search ahead: nothing
  FrameReadout out;
  EXPECT_EQ(parser_.ReadNextFrame(out), 0);
  EXPECT_TRUE(out.endOfFile);
}

TEST_F(ParserTest, ReadingAheadOfTheIndexThreadWaitsInsteadOfEnding) {
  std::mutex m;
  std::condition_variable cv;
  size_t allowed = 2, reached = 0;
  parser_.SetRecordIndexedHook([&](size_t count) {
    std::unique_lock lock(m);
    reached = count;
    cv.notify_all();
    cv.wait(lock, [&] { return count < allowed; });
  });
  const std::string path =
      Write({{FRAME_TYPE_H264_I, kT0}, {FRAME_TYPE_H264_P, kT0 + 1}, {FRAME_TYPE_H264_P, kT0 + 2}});
  ASSERT_EQ(parser_.Open(path), 1);
  {
    std::unique_lock lock(m);
    cv.wait(lock, [&] { return reached >= 2; });
  }
  parser_.Rewind();
  EXPECT_EQ(NextTime(), kT0);
  EXPECT_EQ(NextTime(), kT0 + 1);
  FrameReadout out;
  EXPECT_EQ(parser_.ReadNextFrame(out), 0);
  EXPECT_FALSE(out.endOfFile);
  EXPECT_FALSE(out.frame);
  EXPECT_TRUE(window_->Messages().empty());
  {
    std::lock_guard lock(m);
    allowed = 100;
  }
  cv.notify_all();
  WaitIndexed();
  EXPECT_EQ(NextTime(), kT0 + 2);
  EXPECT_EQ(parser_.ReadNextFrame(out), 0);
  EXPECT_TRUE(out.endOfFile);
  EXPECT_TRUE(window_->WaitFor(WM_VYX_INDEX_DONE, testing_support::kPatience));
}

TEST_F(ParserTest, ReopeningStopsTheRunningIndexThread) {
  std::vector<Rec> many(20000, Rec{FRAME_TYPE_H264_P, kT0 + 1});
  many[0] = {FRAME_TYPE_H264_I, kT0};
  const std::string big = Write(many, "big.vyx");
  const std::string small = Write({{FRAME_TYPE_H264_I, kT0 + 100}, {FRAME_TYPE_H264_P, kT0 + 104}}, "small.vyx");
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(parser_.Open(big), 1);
    ASSERT_EQ(parser_.Open(small), 1);
    WaitIndexed();
    ASSERT_EQ(parser_.GetFrameCount(), 2u);
    EXPECT_EQ(parser_.GetDuration(), 4u);
  }
  EXPECT_EQ(parser_.GetFileName(), small);
}

TEST_F(ParserTest, StartTraceNamesTheThreadCount) {
  std::vector<std::string> traces;
  std::mutex m;
  platform::ScopedTraceSink sink([&](std::string_view t) {
    std::lock_guard lock(m);
    traces.emplace_back(t);
  });
  const std::string path = Write({{FRAME_TYPE_H264_I, kT0}});
  OpenIndexed(path);
  OpenIndexed(path);
  std::lock_guard lock(m);
  ASSERT_EQ(traces.size(), 2u);
  EXPECT_TRUE(traces[0].starts_with("Start Parser Thread 0x"));
  EXPECT_TRUE(traces[1].ends_with(", 2\n"));
}

// Payload offsets above 4 GiB, in a sparse file: a chain of the longest
// records leads there, so an offset cut to 32 bits lands in the first
// record's hole and reads zeros.
TEST_F(ParserTest, ServesPayloadsBeyondFourGiB) {
  const std::string path = dir_ / "sparse.vyx";
  constexpr uint32_t kChain = (4ull << 30) / VYX_MAX_PAYLOAD_LENGTH;
  VYX_FRAME_HEADER link = MakeFrameHeader(FRAME_TYPE_H264_I, kT0);
  link.length = VYX_MAX_PAYLOAD_LENGTH;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  uint64_t second = 0;
  for (uint32_t i = 0; i < kChain; ++i, second += VYX_HEADER_SIZE + VYX_MAX_PAYLOAD_LENGTH)
    ASSERT_EQ(::pwrite(fd, &link, sizeof link, static_cast<off_t>(second)), 48);
  const auto payload = PayloadFor(9, 200);
  VYX_FRAME_HEADER h = MakeFrameHeader(FRAME_TYPE_H264_I, kT0 + 2);
  h.length = static_cast<uint32_t>(payload.size());
  VYX_FRAME_HEADER tail = MakeFrameHeader(FRAME_TYPE_H264_P, kT0 + 3);
  tail.length = 0;
  ASSERT_EQ(::pwrite(fd, &h, sizeof h, static_cast<off_t>(second)), 48);
  ASSERT_EQ(::pwrite(fd, payload.data(), payload.size(), static_cast<off_t>(second + 48)), 200);
  ASSERT_EQ(::pwrite(fd, &tail, sizeof tail, static_cast<off_t>(second + 48 + 200)), 48);
  ::close(fd);
  ASSERT_GT(second, 1ull << 32);

  OpenIndexed(path);
  ASSERT_EQ(parser_.GetFrameCount(), kChain + 2u);
  parser_.Rewind();
  parser_.SeekToTime(1);  // past the 4 GiB hole without reading it
  FrameReadout out;
  ASSERT_EQ(parser_.ReadNextFrame(out), 1);
  ASSERT_TRUE(out.frame);
  EXPECT_EQ(out.frame->index.offset, second + 48);
  EXPECT_EQ(out.frame->payload, payload);
  EXPECT_EQ(NextTime(), kT0 + 3);
}

}  // namespace
