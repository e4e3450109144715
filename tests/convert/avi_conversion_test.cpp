// The conversion worker on archives written record by record: which file
// each record lands in, the size limits, skipped types, errors, abort and
// hostile input.  ffprobe reads the files back.
#include "convert/avi_conversion.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "codecs/audio/adpcm.h"
#include "convert/mpeg4_stream_header.h"
#include "platform/message_box.h"
#include "platform/recording_message_target.h"
#include "tests/convert/convert_test_support.h"
#include "tests/support/test_support.h"

namespace {

using namespace convert_test;
using testing_support::ScratchDir;

// MPEG-4 class: ffprobe lists packets of any bytes in it (payloads that do
// not start with a VOP start code are stored as they are).
constexpr uint8_t kKey = FRAME_TYPE_MPEG4_I, kP = FRAME_TYPE_MPEG4_P;

std::vector<std::string> VideoMd5s(const std::filesystem::path& avi) {
  std::vector<std::string> md5s;
  const auto packets = ProbePackets(avi);
  EXPECT_TRUE(packets) << avi;
  if (packets)
    for (const Packet& p : OfStream(*packets, 0)) md5s.push_back(p.md5);
  return md5s;
}

std::vector<std::string> Md5s(const std::vector<Record>& records, std::initializer_list<size_t> which) {
  std::vector<std::string> md5s;
  for (size_t i : which) md5s.push_back(Md5(records[i].payload));
  return md5s;
}

TEST(AviConversion, PictureChangesOpenNumberedFiles) {
  ORLENTA_REQUIRE_PROGRAM("ffprobe");
  ScratchDir dir("avi_conversion_changes");
  const std::vector<Record> records = {
      {kKey, 64, 64, 0, Payload(900)},                          // 0: clip.avi
      {kP, 64, 64, 40, Payload(300)},                           // 1
      {FRAME_TYPE_VOICE, 0, 0, 40, Payload(320)},               // audio, no change
      {kKey, 32, 32, 80, Payload(700)},                         // 3: clip-002.avi
      {kP, 48, 48, 120, Payload(200)},                          // size change, not key: dropped
      {kP, 32, 32, 160, Payload(200)},                          // dropped: no stream until a key frame
      {FRAME_TYPE_VOICE, 0, 0, 160, Payload(320)},              // no file open: ignored
      {kKey, 32, 32, 200, Payload(600)},                        // 7: clip-003.avi
      {FRAME_TYPE_JPEG, 32, 32, 240, Payload(500)},             // 8: codec change, clip-004.avi
      {kP, 32, 32, 280, Payload(100)},                          // codec change, not key: dropped
  };
  WriteArchive(dir / "a.vyx", records);
  const auto result = Convert(dir / "a.vyx", dir / "clip.avi");
  ASSERT_EQ(result.end, ConversionEnd::kFinished) << result.error;
  const std::vector<std::string> expected = {(dir / "clip.avi").string(), (dir / "clip-002.avi").string(),
                                             (dir / "clip-003.avi").string(), (dir / "clip-004.avi").string()};
  EXPECT_EQ(result.files, expected);
  EXPECT_EQ(VideoMd5s(result.files[0]), Md5s(records, {0, 1}));
  EXPECT_EQ(VideoMd5s(result.files[1]), Md5s(records, {3}));
  EXPECT_EQ(VideoMd5s(result.files[2]), Md5s(records, {7}));
  EXPECT_EQ(VideoMd5s(result.files[3]), Md5s(records, {8}));
  EXPECT_EQ(StreamField(result.files[1], 0, "width"), "32");
  EXPECT_EQ(StreamField(result.files[3], 0, "codec_name"), "mjpeg");
}

TEST(AviConversion, NumberedNamesReplaceOneFinalAviOnly) {
  ScratchDir dir("avi_conversion_names");
  const std::vector<Record> records = {{kKey, 64, 64, 0, Payload(10)}, {kKey, 32, 32, 40, Payload(10)}};
  WriteArchive(dir / "a.vyx", records);
  std::filesystem::create_directory(dir / "x.avi.d");
  struct Case {
    std::string chosen, second;
  };
  for (const Case& c : {Case{"clip", "clip-002.avi"}, Case{"clip.AVI", "clip-002.avi"},
                        Case{"x.avi.d/clip.avi.avi", "x.avi.d/clip.avi-002.avi"}}) {
    const auto result = Convert(dir / "a.vyx", dir / c.chosen);
    ASSERT_EQ(result.end, ConversionEnd::kFinished) << result.error;
    ASSERT_EQ(result.files.size(), 2u);
    EXPECT_EQ(result.files[0], (dir / c.chosen).string());
    EXPECT_EQ(result.files[1], (dir / c.second).string());
  }
}

TEST(AviConversion, SkippedTypesLeaveTheFileAlone) {
  ORLENTA_REQUIRE_PROGRAM("ffprobe");
  ScratchDir dir("avi_conversion_skipped");
  std::vector<Record> records = {{kKey, 64, 64, 0, Payload(100)}};
  uint64_t ms = 0;
  for (uint8_t type : {131, 135, 137, 138, 139, 142, 143, 144, 128, 148, 255, 0}) {
    records.push_back({type, 16, 16, ms += 10, Payload(50)});
    records.push_back({kP, 64, 64, ms += 10, Payload(60)});
  }
  WriteArchive(dir / "a.vyx", records);
  const auto result = Convert(dir / "a.vyx", dir / "clip.avi");
  ASSERT_EQ(result.end, ConversionEnd::kFinished) << result.error;
  ASSERT_EQ(result.files.size(), 1u);
  std::vector<std::string> expected;
  for (const Record& r : records)
    if (r.type == kKey || r.type == kP) expected.push_back(Md5(r.payload));
  EXPECT_EQ(VideoMd5s(result.files[0]), expected);
}

// Every video record once, in order, in files that begin at key frames once
// they have reached the limit and never pass twice the limit; a stretch
// without key frames is split where it would.
TEST(AviConversion, FilesSplitAtTheSizeLimit) {
  ORLENTA_REQUIRE_PROGRAM("ffprobe");
  struct Case {
    const char* name;
    int keyEvery;  // 0: only the first
  };
  for (const Case& c : {Case{"key frame each 10", 10}, Case{"one key frame", 0}}) {
    SCOPED_TRACE(c.name);
    ScratchDir dir("avi_conversion_split");
    std::vector<Record> records;
    for (int i = 0; i < 300; ++i) {
      const bool key = i == 0 || (c.keyEvery && i % c.keyEvery == 0);
      records.push_back({key ? kKey : kP, 64, 64, static_cast<uint64_t>(i) * 40, Payload(key ? 2001 : 500)});
      records.push_back({FRAME_TYPE_VOICE, 0, 0, static_cast<uint64_t>(i) * 40, Payload(320)});
    }
    WriteArchive(dir / "a.vyx", records);
    const uint64_t limit = 20000;
    const auto result = Convert(dir / "a.vyx", dir / "clip.avi", limit);
    ASSERT_EQ(result.end, ConversionEnd::kFinished) << result.error;
    ASSERT_GT(result.files.size(), 5u);

    std::vector<std::string> all, expected;
    for (const Record& r : records)
      if (r.type != FRAME_TYPE_VOICE) expected.push_back(Md5(r.payload));
    size_t audioPackets = 0;
    for (size_t f = 0; f < result.files.size(); ++f) {
      const auto size = std::filesystem::file_size(result.files[f]);
      EXPECT_LE(size, 2 * limit) << result.files[f];
      const auto packets = ProbePackets(result.files[f]);
      ASSERT_TRUE(packets);
      const auto video = OfStream(*packets, 0);
      ASSERT_FALSE(video.empty());
      if (c.keyEvery) {
        EXPECT_TRUE(video.front().key) << result.files[f];
        if (f + 1 < result.files.size()) {
          EXPECT_GE(size, limit) << result.files[f];
        }
      }
      for (const Packet& p : video) all.push_back(p.md5);
      audioPackets += OfStream(*packets, 1).size();
    }
    EXPECT_EQ(all, expected);
    EXPECT_EQ(audioPackets, 300u);
  }
}

TEST(AviConversion, WriteErrorsStopTheRunNamingTheFile) {
  ScratchDir dir("avi_conversion_errors");
  const std::vector<Record> records = {{kKey, 64, 64, 0, Payload(1000)},
                                       {kKey, 32, 32, 40, Payload(1000)}};
  WriteArchive(dir / "a.vyx", records);
  WriteArchive(dir / "clip-002.avi", records);  // an archive named like a numbered output
  const auto archiveMd5 = Md5(testing_support::ReadFile(dir / "a.vyx"));
  struct Case {
    std::filesystem::path archive, output;
    const char* reason;
    size_t files;
  };
  const Case cases[] = {
      {dir / "a.vyx", dir / "missing" / "clip.avi", "No such file", 0},
      {dir / "a.vyx", "/dev/full", "No space", 0},
      {dir / "a.vyx", dir / "a.vyx", "archive being converted", 0},
      // The second file's name is the archive's.
      {dir / "clip-002.avi", dir / "clip.AVI", "archive being converted", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output.string());
    const auto result = Convert(c.archive, c.output);
    EXPECT_EQ(result.end, ConversionEnd::kFailed);
    EXPECT_NE(result.error.find(c.reason), std::string::npos) << result.error;
    EXPECT_EQ(result.files.size(), c.files);
  }
  EXPECT_EQ(Md5(testing_support::ReadFile(dir / "a.vyx")), archiveMd5);
  EXPECT_EQ(Md5(testing_support::ReadFile(dir / "clip-002.avi")), archiveMd5);
}

// Converting while the index grows: the worker waits for records; an
// abort then ends it with the file it had open closed and indexed.
TEST(AviConversion, AbortWhileIndexingClosesTheFile) {
  ORLENTA_REQUIRE_PROGRAM("ffprobe");
  ScratchDir dir("avi_conversion_abort");
  // The first 14 records in the archive's first second, the 15th 14 s
  // later: the progress reaches 100 % exactly when the worker takes the
  // 15th, the last one indexed while the index thread is held.
  std::vector<Record> records;
  for (uint64_t i = 0; i < 40; ++i)
    records.push_back({i % 10 ? kP : kKey, 64, 64, i < 14 ? i : i * 1000, Payload(100)});
  WriteArchive(dir / "a.vyx", records);

  std::mutex mutex;
  std::condition_variable changed;
  bool release = false;
  CQxVyxParser reader;
  reader.SetNotifyWindow(std::make_shared<platform::RecordingMessageTarget>());
  reader.SetRecordIndexedHook([&](size_t count) {
    if (count != 15) return;
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return release; });
  });
  ASSERT_EQ(reader.Open((dir / "a.vyx").string()), 1);
  CQxAviConversion conversion(reader, (dir / "clip.avi").string());
  std::atomic<bool> abortRequest{false};
  ConversionResult result;
  std::thread worker([&] { result = conversion.RunConversion(abortRequest); });
  // Seen at the top of the worker's loop, after the 15th is written.
  for (int wait = 0; wait < 20000 && conversion.Progress() < 100; ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  abortRequest = true;
  worker.join();
  {
    std::lock_guard lock(mutex);
    release = true;
  }
  changed.notify_all();
  reader.StopIndexThread();

  EXPECT_EQ(result.end, ConversionEnd::kAborted);
  ASSERT_EQ(result.files.size(), 1u);
  const auto packets = ProbePackets(result.files[0]);
  ASSERT_TRUE(packets);
  EXPECT_EQ(OfStream(*packets, 0).size(), 15u);
  EXPECT_EQ(StreamField(result.files[0], 0, "nb_frames"), std::to_string(14 * 30 + 1));
}

// An abort that comes while a long G.723 record is being re-coded ends the
// run within that record: the file keeps the blocks written before it.
TEST(AviConversion, AbortEndsALongRecordPartWay) {
  ORLENTA_REQUIRE_PROGRAM("ffprobe");
  ScratchDir dir("avi_conversion_abort_record");
  const size_t recordBytes = 12u << 20;
  const size_t blocks = recordBytes * 8 / 3 / codecs::audio::CAdpcm::kSamplesPerBlock;
  WriteArchive(dir / "a.vyx", {{kKey, 64, 64, 0, Payload(100)}, {FRAME_TYPE_G723, 0, 0, 0, Payload(recordBytes)}});
  CQxVyxParser reader;
  reader.SetNotifyWindow(std::make_shared<platform::RecordingMessageTarget>());
  ASSERT_EQ(reader.Open((dir / "a.vyx").string()), 1);
  const auto avi = dir / "clip.avi";
  CQxAviConversion conversion(reader, avi.string());
  std::atomic<bool> abortRequest{false};
  std::atomic<bool> ended{false};
  ConversionResult result;
  std::thread worker([&] {
    result = conversion.RunConversion(abortRequest);
    ended = true;
  });
  // Once a megabyte of the blocks has reached the file.
  const auto written = [&] {
    std::error_code error;
    const auto size = std::filesystem::file_size(avi, error);
    return error ? 0 : size;
  };
  while (!ended && written() < (1u << 20)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  abortRequest = true;
  worker.join();

  EXPECT_EQ(result.end, ConversionEnd::kAborted);
  ASSERT_EQ(result.files, std::vector<std::string>{avi.string()});
  const auto packets = ProbePackets(avi);
  ASSERT_TRUE(packets);
  EXPECT_EQ(OfStream(*packets, 0).size(), 1u);
  EXPECT_GT(OfStream(*packets, 1).size(), 1000u);
  EXPECT_LT(OfStream(*packets, 1).size(), blocks / 2);
}

TEST(AviConversion, HeaderlessMpeg4KeyFramesGetTheStreamHeader) {
  ScratchDir dir("avi_conversion_mpeg4");
  const std::vector<uint8_t> vop = {0, 0, 1, 0xB6, 0x10, 0x20, 0x30};
  const std::vector<uint8_t> vol = {0, 0, 1, 0x00, 0, 0, 1, 0x20, 0x08, 0xB6};
  const std::vector<uint8_t> vos = {0, 0, 1, 0xB0, 0xF5, 0, 0, 1, 0xB6};
  const std::vector<uint8_t> tiny = {0};
  const std::vector<Record> records = {{FRAME_TYPE_MPEG4_I, 704, 480, 0, vop},
                                       {FRAME_TYPE_MPEG4_P, 704, 480, 33, vop},
                                       {FRAME_TYPE_MPEG4_I, 704, 480, 66, vol},
                                       {FRAME_TYPE_MPEG4_I, 704, 480, 100, vos},
                                       {FRAME_TYPE_MPEG4_I, 704, 480, 133, tiny}};
  WriteArchive(dir / "a.vyx", records);
  const auto result = Convert(dir / "a.vyx", dir / "m.avi");
  ASSERT_EQ(result.end, ConversionEnd::kFinished) << result.error;
  ASSERT_EQ(result.files.size(), 1u);

  const auto header = Mpeg4StreamHeader(704, 480);
  EXPECT_EQ(std::vector<uint8_t>(header.begin() + 13, header.begin() + 18),
            (std::vector<uint8_t>{0x51, 0x60, 0x43, 0xC1, 0xC1}));
  std::vector<uint8_t> first(header.begin(), header.end());
  first.insert(first.end(), vop.begin(), vop.end());
  // The chunks as stored, in order, from the movi list.
  const auto file = testing_support::ReadFile(result.files[0]);
  std::vector<std::vector<uint8_t>> chunks;
  for (size_t at = 328; at + 8 <= file.size() && std::string(file.begin() + at, file.begin() + at + 4) == "00dc";) {
    const uint32_t size = file[at + 4] | file[at + 5] << 8 | file[at + 6] << 16 | file[at + 7] << 24;
    chunks.emplace_back(file.begin() + at + 8, file.begin() + at + 8 + size);
    at += 8 + size + (size & 1);
  }
  EXPECT_EQ(chunks, (std::vector<std::vector<uint8_t>>{first, vop, vol, vos, tiny}));
  EXPECT_EQ(std::string(file.begin() + 112, file.begin() + 116), "DIVX");
}

// One decoder over every payload in order; whole 505-sample blocks, the
// last padded with silence.
TEST(AviConversion, G723KeepsEverySample) {
  ORLENTA_REQUIRE_PROGRAM("ffprobe");
  ScratchDir dir("avi_conversion_g723");
  std::vector<Record> records = {{kKey, 64, 64, 0, Payload(100)}};
  uint64_t samples = 0;
  uint64_t ms = 0;
  for (size_t size : {1024, 768, 1, 2, 3, 4, 5000, 100, 96}) {
    records.push_back({FRAME_TYPE_G723, 0, 0, ms += 100, Payload(size)});
    samples += size * 8 / 3;
  }
  records.push_back({FRAME_TYPE_G723_A, 0, 0, ms += 100, Payload(300)});
  samples += 800;
  // Other codings in a G.723 file are not written.
  records.push_back({FRAME_TYPE_VOICE, 0, 0, ms += 100, Payload(320)});
  records.push_back({FRAME_TYPE_ADPCM, 0, 0, ms += 100, Payload(256 * 2 + 17)});
  WriteArchive(dir / "a.vyx", records);
  const auto result = Convert(dir / "a.vyx", dir / "g.avi");
  ASSERT_EQ(result.end, ConversionEnd::kFinished) << result.error;
  ASSERT_EQ(result.files.size(), 1u);
  const auto packets = ProbePackets(result.files[0]);
  ASSERT_TRUE(packets);
  const auto audio = OfStream(*packets, 1);
  // The 145 record's two whole blocks count too: it is IMA ADPCM as well
  // (FFmpeg hands out one block a packet).
  EXPECT_EQ(audio.size(), (samples + 504) / 505 + 2);
  for (const Packet& p : audio) {
    EXPECT_EQ(p.size, 256u);
  }
  EXPECT_EQ(StreamField(result.files[0], 1, "codec_name"), "adpcm_ima_wav");
  EXPECT_EQ(StreamField(result.files[0], 1, "nb_frames"), std::to_string((samples + 504) / 505 + 2));
}

// A file that fills up among the blocks of one G.723 record leaves the
// samples still waiting to the next file: no block is padded but the last.
TEST(AviConversion, G723AcrossFileSplits) {
  ORLENTA_REQUIRE_PROGRAM("ffprobe");
  ScratchDir dir("avi_conversion_g723_split");
  std::vector<Record> records = {{kKey, 64, 64, 0, Payload(100)}};
  uint64_t samples = 0;
  for (int i = 0; i < 40; ++i) {
    records.push_back({FRAME_TYPE_G723, 0, 0, static_cast<uint64_t>(i) * 256, Payload(768)});
    samples += 2048;
  }
  WriteArchive(dir / "a.vyx", records);
  const auto result = Convert(dir / "a.vyx", dir / "g.avi", CQxAviConversion::kMinSplitBytes);
  ASSERT_EQ(result.end, ConversionEnd::kFinished) << result.error;
  ASSERT_GT(result.files.size(), 3u);
  size_t blocks = 0;
  for (const std::string& file : result.files) {
    EXPECT_LE(std::filesystem::file_size(file), 2 * CQxAviConversion::kMinSplitBytes);
    const auto packets = ProbePackets(file);
    ASSERT_TRUE(packets);
    blocks += OfStream(*packets, 1).size();
  }
  EXPECT_EQ(blocks, (samples + 504) / 505);
}

// Damaged and hostile archives end cleanly (the sanitizer builds check the
// rest).
TEST(AviConversion, HostileArchivesEndCleanly) {
  ScratchDir dir("avi_conversion_hostile");
  const auto big = Payload(70000);
  struct Case {
    const char* name;
    std::vector<Record> records;
    size_t cut;  // bytes taken off the end
  };
  std::vector<Record> randomRecords;
  for (int i = 0; i < 400; ++i) {
    const auto bytes = Payload(8);
    randomRecords.push_back({static_cast<uint8_t>(128 + bytes[0] % 21),
                             static_cast<uint16_t>(bytes[1] % 3 ? 64 : bytes[2] << 8 | bytes[3]),
                             static_cast<uint16_t>(bytes[4] % 3 ? 64 : bytes[5] << 8 | bytes[6]),
                             static_cast<uint64_t>(i) * (bytes[7] % 2 ? 40 : 600000),
                             Payload(bytes[7] * 7u % 1500)});
  }
  const Case cases[] = {
      {"truncated", {{kKey, 64, 64, 0, big}, {kKey, 64, 64, 40, big}}, 1000},
      {"1-byte MPEG-4 key frame", {{FRAME_TYPE_MPEG4_I, 64, 64, 0, {0}}}, 0},
      {"empty payloads", {{kKey, 64, 64, 0, {}}, {FRAME_TYPE_VOICE, 0, 0, 0, {}}, {FRAME_TYPE_G723, 0, 0, 0, {}},
                          {FRAME_TYPE_ADPCM, 0, 0, 0, {}}, {kP, 64, 64, 40, {}}}, 0},
      {"65535 x 65535", {{kKey, 65535, 65535, 0, Payload(10)}, {FRAME_TYPE_MPEG4_I, 65535, 65535, 40, {0, 0, 1, 0xB6}}}, 0},
      {"1-byte G.723", {{kKey, 64, 64, 0, Payload(10)}, {FRAME_TYPE_G723, 0, 0, 0, {7}}}, 0},
      {"time going back", {{kKey, 64, 64, 5000, Payload(10)}, {kP, 64, 64, 0, Payload(10)}}, 0},
      {"random records", randomRecords, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteArchive(dir / "a.vyx", c.records);
    if (c.cut) std::filesystem::resize_file(dir / "a.vyx", std::filesystem::file_size(dir / "a.vyx") - c.cut);
    const auto result = Convert(dir / "a.vyx", dir / "h.avi", 100000);
    EXPECT_EQ(result.end, ConversionEnd::kFinished) << result.error;
    for (const std::string& file : result.files) EXPECT_LE(std::filesystem::file_size(file), 200000u);
  }

  // A bad magic ends the archive; a file of nothing but junk has no record.
  WriteArchive(dir / "a.vyx", {{kKey, 64, 64, 0, Payload(10)}});
  {
    auto bytes = testing_support::ReadFile(dir / "a.vyx");
    const auto copy = bytes;
    bytes.insert(bytes.end(), copy.begin(), copy.end());
    bytes[copy.size()] ^= 0xFF;
    testing_support::WriteFile(dir / "a.vyx", bytes);
    const auto result = Convert(dir / "a.vyx", dir / "h.avi");
    EXPECT_EQ(result.end, ConversionEnd::kFinished) << result.error;
    EXPECT_EQ(result.files.size(), 1u);
  }
  testing_support::WriteFile(dir / "junk.vyx", Payload(1000));
  const auto junk = Convert(dir / "junk.vyx", dir / "j.avi");
  EXPECT_EQ(junk.end, ConversionEnd::kFailed);
  EXPECT_NE(junk.error.find("no key video frame"), std::string::npos) << junk.error;
  EXPECT_TRUE(junk.files.empty());
}

}  // namespace
