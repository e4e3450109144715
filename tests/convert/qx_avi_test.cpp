// The AVI writer's file layout, its 30 frames per second clock, the audio
// declaration and its failures, read back byte by byte.
#include "convert/qx_avi.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/convert/convert_test_support.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::ReadFile;
using testing_support::ScratchDir;

uint32_t U32(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}
uint16_t U16(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}
std::string Id(const std::vector<uint8_t>& bytes, size_t at) {
  return std::string(reinterpret_cast<const char*>(bytes.data() + at), 4);
}

struct Entry {
  std::string id;
  uint32_t flags, offset, size;
};

// The idx1 entries of a finished file.
std::vector<Entry> Index(const std::vector<uint8_t>& file) {
  const size_t idx1 = 324 + U32(file, 320) - 4 + 4;  // "movi" + its size
  EXPECT_EQ(Id(file, idx1), "idx1");
  std::vector<Entry> entries;
  for (size_t at = idx1 + 8; at + 16 <= idx1 + 8 + U32(file, idx1 + 4); at += 16)
    entries.push_back({Id(file, at), U32(file, at + 4), U32(file, at + 8), U32(file, at + 12)});
  return entries;
}

size_t Count(const std::vector<Entry>& entries, const std::string& id) {
  size_t n = 0;
  for (const Entry& e : entries) n += e.id == id;
  return n;
}

constexpr uint32_t kStart = 1700000000;

TEST(QxAvi, ChunksHoldThePayloadLengthAndAPadByte) {
  ScratchDir dir("qx_avi_pad");
  const std::string path = (dir / "a.avi").string();
  CQxAvi avi;
  ASSERT_EQ(avi.WriteHeader(path, AVI_CHUNK_H264, 352, 288, kStart, 0), 0);
  const uint8_t five[5] = {1, 2, 3, 4, 5};
  const uint8_t two[2] = {6, 7};
  EXPECT_EQ(avi.WriteChunk(AVI_CHUNK_H264, true, 5, five, kStart, 0), 5);
  EXPECT_EQ(avi.WriteChunk(AVI_CHUNK_H264, false, 2, two, kStart, 33000), 2);
  EXPECT_EQ(avi.FileSize(), 328u + 14 + 10 + 8 + 32);
  ASSERT_EQ(avi.Close(), 0);

  const auto file = ReadFile(path);
  ASSERT_EQ(file.size(), 328u + 14 + 10 + 8 + 32);
  EXPECT_EQ(Id(file, 328), "00dc");
  EXPECT_EQ(U32(file, 332), 5u);
  EXPECT_EQ(file[341], 0);  // pad
  EXPECT_EQ(Id(file, 342), "00dc");
  EXPECT_EQ(U32(file, 346), 2u);
  EXPECT_EQ(U32(file, 4), file.size() - 8);
  EXPECT_EQ(U32(file, 320), 4u + 14 + 10);
  const auto index = Index(file);
  ASSERT_EQ(index.size(), 2u);
  EXPECT_EQ(index[0].offset, 4u);
  EXPECT_EQ(index[0].size, 5u);
  EXPECT_EQ(index[0].flags, AVIIF_KEYFRAME);
  EXPECT_EQ(index[1].offset, 4u + 14);
  EXPECT_EQ(index[1].flags, 0u);
  // The final header: the size given when the file was opened, H.264.
  EXPECT_EQ(U32(file, 64), 352u);
  EXPECT_EQ(U32(file, 68), 288u);
  EXPECT_EQ(Id(file, 112), "H264");
  EXPECT_EQ(Id(file, 188), "H264");
  EXPECT_EQ(U32(file, 48), 2u);
  EXPECT_EQ(U32(file, 32), 33333u);
}

TEST(QxAvi, AFileClosedWithoutChunks) {
  ScratchDir dir("qx_avi_empty");
  const std::string path = (dir / "a.avi").string();
  CQxAvi avi;
  ASSERT_EQ(avi.WriteHeader(path, AVI_CHUNK_H264, 704, 480, kStart, 0), 0);
  ASSERT_EQ(avi.Close(), 0);
  const auto file = ReadFile(path);
  ASSERT_EQ(file.size(), 336u);
  EXPECT_EQ(U32(file, 4), 328u);
  EXPECT_EQ(U32(file, 320), 4u);
  EXPECT_EQ(Id(file, 328), "idx1");
  EXPECT_EQ(U32(file, 332), 0u);
}

// The frames a 30 per second clock counts from the file's first record.
TEST(QxAvi, MissingFramesKeepTheThirtyFramesASecondClock) {
  struct Case {
    const char* name;
    std::vector<uint32_t> ms;
    size_t dropped, frames;
  };
  std::vector<uint32_t> fifteen, thirty;
  for (uint32_t i = 0; i <= 15; ++i) fifteen.push_back(i * 1000 / 15);
  for (uint32_t i = 0; i < 60; ++i) thirty.push_back(i * 1000 / 30);
  const Case cases[] = {
      {"15 per second", fifteen, 15, 31},
      {"30 per second", thirty, 0, 60},
      // No restart after 10 s: the gap is filled and the later frames
      // stay on the same clock.
      {"12 s gap", {0, 12000, 12033, 12066}, 359, 363},
      // A day apart: 64-bit milliseconds, 30 x elapsed does not overflow.
      {"21 h gap", {0, 21 * 3600 * 1000}, 21 * 3600 * 30 - 1, 21 * 3600 * 30 + 1},
  };
  ScratchDir dir("qx_avi_clock");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = (dir / "a.avi").string();
    CQxAvi avi;
    ASSERT_EQ(avi.WriteHeader(path, AVI_CHUNK_H264, 64, 64, kStart, 0), 0);
    const uint8_t frame[4] = {0, 0, 1, 0x65};
    for (uint32_t ms : c.ms)
      ASSERT_EQ(avi.WriteChunk(AVI_CHUNK_H264, true, 4, frame, kStart + ms / 1000, ms % 1000 * 1000), 4);
    ASSERT_EQ(avi.Close(), 0);
    const auto file = ReadFile(path);
    const auto index = Index(file);
    EXPECT_EQ(Count(index, "00db"), c.dropped);
    EXPECT_EQ(U32(file, 48), c.frames);
    EXPECT_EQ(U32(file, 140), c.frames);
    for (const Entry& e : index) {
      if (e.id == "00db") { EXPECT_EQ(e.size, 0u); }
    }
  }
}

TEST(QxAvi, TheFirstAudioChunkDecidesTheDeclaredCoding) {
  ScratchDir dir("qx_avi_audio");
  const std::vector<uint8_t> block(256, 0x11), voice(320, 0xFF);
  const uint8_t frame[4] = {0, 0, 1, 0xB6};
  struct Case {
    uint8_t first, second;
    uint16_t tag, align, bits;
    uint32_t rate, length;
  };
  // Two chunks of the first coding, one of the other (not written).
  for (const Case& c : {Case{AVI_CHUNK_ADPCM, AVI_CHUNK_MULAW, 17, 256, 4, 4055, 2},
                        Case{AVI_CHUNK_MULAW, AVI_CHUNK_ADPCM, 7, 1, 8, 8000, 640}}) {
    const std::string path = (dir / "a.avi").string();
    CQxAvi avi;
    ASSERT_EQ(avi.WriteHeader(path, AVI_CHUNK_MPEG4, 64, 64, kStart, 0), 0);
    ASSERT_EQ(avi.WriteChunk(AVI_CHUNK_MPEG4, true, 4, frame, kStart, 0), 4);
    const auto& first = c.first == AVI_CHUNK_ADPCM ? block : voice;
    const auto& second = c.second == AVI_CHUNK_ADPCM ? block : voice;
    EXPECT_GT(avi.WriteChunk(c.first, false, first.size(), first.data(), kStart, 0), 0);
    EXPECT_EQ(avi.WriteChunk(c.second, false, second.size(), second.data(), kStart, 0), 0);
    EXPECT_GT(avi.WriteChunk(c.first, false, first.size(), first.data(), kStart, 0), 0);
    ASSERT_EQ(avi.Close(), 0);
    const auto file = ReadFile(path);
    EXPECT_EQ(Id(file, 112), "DIVX");
    EXPECT_EQ(U16(file, 296), c.tag);
    EXPECT_EQ(U16(file, 308), c.align);
    EXPECT_EQ(U16(file, 310), c.bits);
    EXPECT_EQ(U32(file, 304), c.rate);
    EXPECT_EQ(U32(file, 252), c.align);  // scale
    EXPECT_EQ(U32(file, 276), c.align);  // sample size
    EXPECT_EQ(U32(file, 264), c.length);
    const auto index = Index(file);
    ASSERT_EQ(Count(index, "01wb"), 2u);
    for (const Entry& e : index) {
      if (e.id == "01wb") { EXPECT_EQ(e.flags, AVIIF_KEYFRAME); }
    }
  }
}

TEST(QxAvi, FailuresAreReportedWithTheSystemsReason) {
  CQxAvi avi;
  EXPECT_EQ(avi.WriteHeader("/nonexistent-dir/a.avi", AVI_CHUNK_H264, 64, 64, kStart, 0), -3);
  EXPECT_FALSE(avi.IsOpen());
  EXPECT_NE(avi.LastError().find("No such file"), std::string::npos) << avi.LastError();
  const uint8_t frame[4] = {0, 0, 1, 0x65};
  EXPECT_EQ(avi.WriteChunk(AVI_CHUNK_H264, true, 4, frame, kStart, 0), 0);

  // The header goes to the file when it opens: /dev/full refuses it.
  EXPECT_EQ(avi.WriteHeader("/dev/full", AVI_CHUNK_H264, 64, 64, kStart, 0), -4);
  EXPECT_FALSE(avi.IsOpen());
  EXPECT_NE(avi.LastError().find("No space"), std::string::npos) << avi.LastError();

  // Nothing of the failed file is left for the next: its first entry is at 4.
  ScratchDir dir("qx_avi_fail");
  const std::string path = (dir / "a.avi").string();
  ASSERT_EQ(avi.WriteHeader(path, AVI_CHUNK_H264, 64, 64, kStart, 0), 0);
  EXPECT_EQ(avi.WriteChunk(AVI_CHUNK_H264, true, 4, frame, kStart, 0), 4);
  ASSERT_EQ(avi.Close(), 0);
  const auto index = Index(ReadFile(path));
  ASSERT_EQ(index.size(), 1u);
  EXPECT_EQ(index[0].offset, 4u);
}

// The header written when the file opens, read while the file is still
// open: the codec and the picture size are there, the sizes not yet.
TEST(QxAvi, TheOpeningHeaderNamesTheCodecAndThePictureSize) {
  ScratchDir dir("qx_avi_opening");
  struct Case {
    uint8_t type;
    const char* fourcc;
  };
  for (const Case& c : {Case{AVI_CHUNK_MPEG4, "DIVX"}, Case{AVI_CHUNK_H264, "H264"}, Case{AVI_CHUNK_JPEG, "MJPG"}}) {
    SCOPED_TRACE(c.fourcc);
    const std::string path = (dir / "a.avi").string();
    CQxAvi avi;
    ASSERT_EQ(avi.WriteHeader(path, c.type, 352, 240, kStart, 0), 0);
    const auto header = ReadFile(path);
    ASSERT_EQ(header.size(), CQxAvi::kHeaderBytes);
    EXPECT_EQ(Id(header, 112), c.fourcc);
    EXPECT_EQ(Id(header, 188), c.fourcc);
    EXPECT_EQ(U32(header, 64), 352u);
    EXPECT_EQ(U32(header, 68), 240u);
    EXPECT_EQ(U32(header, 176), 352u);
    EXPECT_EQ(U32(header, 180), 240u);
    EXPECT_EQ(U32(header, 4), 0u);
    EXPECT_EQ(U32(header, 320), 0u);
    ASSERT_EQ(avi.Close(), 0);
  }
}

struct Chunk {
  uint8_t type;
  bool key;
  uint32_t ms;
  std::vector<uint8_t> payload;
};

// Video with gaps ("00db" entries), odd sizes (pad bytes), sound, and one
// chunk larger than the stream's buffer.
std::vector<Chunk> Clip() {
  using convert_test::Payload;
  return {{AVI_CHUNK_H264, true, 0, Payload(1001)},      {AVI_CHUNK_MULAW, true, 0, Payload(320)},
          {AVI_CHUNK_H264, false, 100, Payload(700)},    {AVI_CHUNK_MULAW, true, 100, Payload(320)},
          {AVI_CHUNK_H264, false, 400, Payload(1600001)}, {AVI_CHUNK_H264, false, 433, Payload(333)},
          {AVI_CHUNK_MULAW, true, 433, Payload(320)},    {AVI_CHUNK_H264, true, 1000, Payload(700001)},
          {AVI_CHUNK_H264, false, 1033, Payload(500)},   {AVI_CHUNK_MULAW, true, 1033, Payload(320)}};
}

// Opens `path` and writes the first `count` chunks; the first result
// that is not the chunk's size, else 0.
int64_t WriteClip(CQxAvi& avi, const std::string& path, const std::vector<Chunk>& clip, size_t count) {
  if (const int opened = avi.WriteHeader(path, AVI_CHUNK_H264, 352, 288, kStart, 0)) return opened;
  for (size_t i = 0; i < count; ++i) {
    const Chunk& c = clip[i];
    const int64_t written = avi.WriteChunk(c.type, c.key, static_cast<uint32_t>(c.payload.size()), c.payload.data(),
                                           kStart + c.ms / 1000, c.ms % 1000 * 1000);
    if (written != static_cast<int64_t>(c.payload.size())) return written;
  }
  return 0;
}

// The files a normal run writes with the first k chunks, k = 0 .. size.
std::vector<std::vector<uint8_t>> ClosedAfterEachChunk(const ScratchDir& dir, const std::vector<Chunk>& clip) {
  std::vector<std::vector<uint8_t>> files;
  const std::string path = (dir / "reference.avi").string();
  for (size_t k = 0; k <= clip.size(); ++k) {
    CQxAvi avi;
    EXPECT_EQ(WriteClip(avi, path, clip, k), 0);
    EXPECT_EQ(avi.Close(), 0);
    files.push_back(ReadFile(path));
  }
  return files;
}

// A file that cannot grow (its disk or size limit full) ends as the file a
// normal run would have written with as many whole chunks as fit, index
// included, and is removed when not even its first video chunk fits.
TEST(QxAvi, AFileOutOfRoomKeepsTheWholeChunksThatFitWithTheirIndex) {
  ScratchDir dir("qx_avi_room");
  const auto clip = Clip();
  const auto closed = ClosedAfterEachChunk(dir, clip);
  const uint64_t s1 = closed[1].size(), s3 = closed[3].size(), s4 = closed[4].size(), s8 = closed[8].size();
  const std::string path = (dir / "a.avi").string();
  for (const uint64_t limit : {uint64_t{100}, uint64_t{1000}, s1 - 1, s1, s3 + 1000, s4, s8 - 1,
                               uint64_t{closed.back().size() - 1}}) {
    SCOPED_TRACE(limit);
    std::filesystem::remove(path);
    const int status = convert_test::InChildWithFileSizeLimit(limit, false, [&] {
      CQxAvi avi;
      const int64_t written = WriteClip(avi, path, clip, clip.size());
      const int closing = avi.Close();
      // One failure, with the system's reason, and no file left open.
      return (written == -4) != (closing == -4) && avi.LastError().find("too large") != std::string::npos &&
                     !avi.IsOpen()
                 ? 0
                 : 1;
    });
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    size_t fits = 0;
    while (fits + 1 < closed.size() && closed[fits + 1].size() <= limit) ++fits;
    if (fits == 0) {
      EXPECT_FALSE(std::filesystem::exists(path));
    } else {
      ASSERT_TRUE(std::filesystem::exists(path));
      EXPECT_TRUE(ReadFile(path) == closed[fits]) << "not the file of the first " << fits << " chunks";
    }
  }
}

// An abort: the stop request ends a large chunk between two writes, and
// CloseUnfinished ends a file between chunks; either way the file is the
// one of the chunks before, or none when that holds no video frame.
TEST(QxAvi, AnAbortedFileKeepsTheWholeChunksBeforeIt) {
  ScratchDir dir("qx_avi_abort");
  const auto clip = Clip();
  const auto closed = ClosedAfterEachChunk(dir, clip);
  const std::vector<Chunk> sound = {{AVI_CHUNK_MULAW, true, 0, convert_test::Payload(320)}};
  struct Case {
    const char* name;
    const std::vector<Chunk>& chunks;
    size_t before;  // chunks written before the stop request
    bool closeUnfinished;
    int64_t result;  // of the chunk after them, or of CloseUnfinished
  };
  const Case cases[] = {
      {"in the large chunk", clip, 4, false, CQxAvi::kStopped},
      {"in the first chunk", {clip.begin() + 4, clip.begin() + 5}, 0, false, CQxAvi::kStopped},
      {"between chunks", clip, 6, true, 0},
      {"before any chunk", clip, 0, true, 0},
      {"with sound only", sound, 1, true, 0},
  };
  const std::string path = (dir / "a.avi").string();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::atomic<bool> stop{false};
    CQxAvi avi;
    avi.SetStopRequest(&stop);
    ASSERT_EQ(WriteClip(avi, path, c.chunks, c.before), 0);
    stop = true;
    if (c.closeUnfinished) {
      EXPECT_EQ(avi.CloseUnfinished(), c.result);
    } else {
      const Chunk& next = c.chunks[c.before];
      EXPECT_EQ(avi.WriteChunk(next.type, next.key, static_cast<uint32_t>(next.payload.size()),
                               next.payload.data(), kStart + next.ms / 1000, next.ms % 1000 * 1000),
                c.result);
    }
    EXPECT_FALSE(avi.IsOpen());
    const bool hasFrame = c.before > 0 && c.chunks[0].type == AVI_CHUNK_H264;
    EXPECT_EQ(avi.KeptUnfinished(), hasFrame);
    EXPECT_EQ(std::filesystem::exists(path), hasFrame);
    if (hasFrame) {
      EXPECT_TRUE(ReadFile(path) == closed[c.before]) << "not the file of the first " << c.before << " chunks";
    }
  }
}

}  // namespace
