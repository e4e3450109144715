// Archives muxed from streams FFmpeg made, converted, and read back by
// FFmpeg: codecs and tags, packets byte-equal to the archive's payloads,
// decoded sound against our own codecs' expansion, seeking and timing.
#include "convert/avi_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <span>

#include "codecs/audio/adpcm.h"
#include "codecs/audio/g711.h"
#include "codecs/audio/g723_coder.h"
#include "convert/mpeg4_stream_header.h"
#include "tests/convert/convert_test_support.h"
#include "tests/support/frame_md5s.h"
#include "tests/support/test_support.h"
#include "tools/common/indexed_archive.h"
#include "tools/vyxmux/mpeg4_vop_splitter.h"
#include "tools/vyxmux/mux.h"

namespace {

using namespace convert_test;
using testing_support::ReadFile;
using testing_support::ScratchDir;

std::string Q(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

bool Ffmpeg(const std::string& args) { return testing_support::Run("ffmpeg -nostdin -v error -y " + args) == 0; }

bool Vyxmux(const std::string& args) {
  return testing_support::Run(Q(testing_support::BuiltTool("tools/vyxmux/vyxmux")) + " " + args + " >/dev/null") == 0;
}

struct ArchiveRecord {
  uint8_t type;
  double seconds;  // after the first record
  std::string md5;
};

// The records as the player's reader hands them out.
std::vector<ArchiveRecord> ReadArchive(const std::filesystem::path& path) {
  IndexedArchive archive;
  EXPECT_TRUE(archive.Open(path.string()));
  std::vector<ArchiveRecord> records;
  FrameReadout out;
  double first = -1;
  while (archive.Parser().ReadNextFrame(out) == 1) {
    const auto& h = out.frame->index.header;
    const double t = h.time + h.usec / 1e6;
    if (first < 0) first = t;
    records.push_back({h.type, t - first, Md5(out.frame->payload)});
  }
  return records;
}

std::vector<std::string> Md5sOf(const std::vector<ArchiveRecord>& records, bool video) {
  std::vector<std::string> md5s;
  for (const auto& r : records)
    if (IsVideoFrameType(r.type) == video) md5s.push_back(r.md5);
  return md5s;
}

std::vector<std::string> Md5sOf(const std::vector<Packet>& packets) {
  std::vector<std::string> md5s;
  for (const auto& p : packets) md5s.push_back(p.md5);
  return md5s;
}

std::vector<int16_t> Samples(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

double SnrDb(const std::vector<int16_t>& reference, const std::vector<int16_t>& test) {
  double signal = 0, noise = 0;
  for (size_t i = 0; i < std::min(reference.size(), test.size()); ++i) {
    signal += double(reference[i]) * reference[i];
    noise += (double(reference[i]) - test[i]) * (double(reference[i]) - test[i]);
  }
  return 10 * std::log10(signal / std::max(noise, 1.0));
}

// H.264 with mu-law voice, both key/predicted type pairs.
TEST(AviConversionFfmpeg, H264WithVoice) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  ORLENTA_REQUIRE_PROGRAM("ffprobe");
  ScratchDir dir("avi_ffmpeg_h264");
  ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc2=size=352x288:rate=25 -t 4 -c:v libx264 -preset veryfast -g 25 "
                     "-bf 0 -pix_fmt yuv420p -f h264 " + Q(dir / "v.264")));
  ASSERT_TRUE(Ffmpeg("-f lavfi -i sine=frequency=440:beep_factor=2:sample_rate=8000 -t 4 -ac 1 -f mulaw " +
                     Q(dir / "voice.ul")));
  for (const char* types : {"133,134", "140,141"}) {
    SCOPED_TRACE(types);
    ASSERT_TRUE(Vyxmux("-o " + Q(dir / "a.vyx") + " --h264 " + Q(dir / "v.264") + " --type " + types +
                       " --audio 147:" + (dir / "voice.ul").string() + ":320:8000"));
    const auto result = Convert(dir / "a.vyx", dir / "a.avi");
    ASSERT_EQ(result.end, ConversionEnd::kFinished) << result.error;
    ASSERT_EQ(result.files.size(), 1u);
    const auto avi = dir / "a.avi";
    EXPECT_EQ(ProbeWarnings(avi), "");
    EXPECT_EQ(StreamField(avi, 0, "codec_name,codec_tag_string,width,height"), "h264,H264,352,288");
    EXPECT_EQ(StreamField(avi, 1, "codec_name,sample_rate,channels"), "pcm_mulaw,8000,1");

    const auto records = ReadArchive(dir / "a.vyx");
    const auto packets = ProbePackets(avi);
    ASSERT_TRUE(packets);
    const auto video = OfStream(*packets, 0);
    EXPECT_EQ(Md5sOf(video), Md5sOf(records, true));
    // mu-law bytes as recorded (FFmpeg may cut them differently).
    const auto copied = testing_support::RunOutput("ffmpeg -nostdin -v error -i " + Q(avi) +
                                                   " -map 0:a -c copy -f mulaw - | md5sum");
    const auto voice = ReadFile(dir / "voice.ul");
    ASSERT_TRUE(copied);
    EXPECT_EQ(copied->substr(0, 32), Md5(voice));
    // FFmpeg's decode is the G.711 expansion.
    Ffmpeg("-i " + Q(avi) + " -map 0:a -f s16le " + Q(dir / "voice.pcm"));
    std::vector<int16_t> expanded;
    for (uint8_t code : voice) expanded.push_back(codecs::audio::UlawToLinear(code));
    EXPECT_EQ(Samples(ReadFile(dir / "voice.pcm")), expanded);

    // The 30 fps timeline: every picture within a frame of its recording
    // time; the counts the header declares.
    ASSERT_EQ(video.size(), 100u);
    std::vector<double> times;
    for (const auto& r : records)
      if (IsVideoFrameType(r.type)) times.push_back(r.seconds);
    for (size_t i = 0; i < video.size(); ++i) {
      EXPECT_LE(std::abs(video[i].dts / 30.0 - times[i]), 1 / 30.0 + 1e-9) << i;
    }
    EXPECT_EQ(StreamField(avi, 0, "nb_frames"), std::to_string(video.back().dts + 1));
    EXPECT_EQ(StreamField(avi, 1, "nb_frames"), std::to_string(voice.size()));

    // Seeking lands on the key frame at or before the time (one each second).
    for (double t : {1.5, 2.0, 3.9}) {
      SCOPED_TRACE(t);
      const auto seek = ProbePackets(avi, "-select_streams v -read_intervals " + std::to_string(t) + "%+#1");
      ASSERT_TRUE(seek);
      ASSERT_FALSE(seek->empty());
      EXPECT_TRUE(seek->front().key);
      EXPECT_EQ(seek->front().dts, static_cast<int64_t>(std::floor(t)) * 30);
    }
  }
}

TEST(AviConversionFfmpeg, ImaAdpcmBlocksAreCopied) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  ORLENTA_REQUIRE_PROGRAM("sox");
  ScratchDir dir("avi_ffmpeg_ima");
  ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc2=size=176x144:rate=25 -t 2 -c:v libx264 -preset veryfast -g 25 "
                     "-bf 0 -pix_fmt yuv420p -f h264 " + Q(dir / "v.264")));
  // 32 blocks of a sweep, coded with our encoder.
  codecs::audio::CAdpcm coder;
  std::vector<uint8_t> blocks(32 * 256);
  std::vector<int16_t> pcm(505);
  for (size_t b = 0; b < 32; ++b) {
    for (size_t i = 0; i < pcm.size(); ++i)
      pcm[i] = static_cast<int16_t>(9000 * std::sin((b * 505 + i) * (0.02 + b * 0.004)));
    coder.Encode(std::span<const int16_t, 505>(pcm.data(), 505), std::span<uint8_t, 256>(blocks.data() + b * 256, 256));
  }
  testing_support::WriteFile(dir / "ima.raw", blocks);
  ASSERT_TRUE(Vyxmux("-o " + Q(dir / "a.vyx") + " --h264 " + Q(dir / "v.264") + " --audio 145:" +
                     (dir / "ima.raw").string() + ":512:2048000/505"));
  const auto result = Convert(dir / "a.vyx", dir / "a.avi");
  ASSERT_EQ(result.end, ConversionEnd::kFinished) << result.error;
  const auto avi = dir / "a.avi";
  EXPECT_EQ(ProbeWarnings(avi), "");
  EXPECT_EQ(StreamField(avi, 1, "codec_name,sample_rate"), "adpcm_ima_wav,8000");
  EXPECT_EQ(StreamField(avi, 1, "nb_frames"), "32");
  const auto packets = ProbePackets(avi);
  ASSERT_TRUE(packets);
  std::vector<std::string> expected;
  for (size_t b = 0; b < 32; ++b)
    expected.push_back(Md5(std::vector<uint8_t>(blocks.begin() + b * 256, blocks.begin() + (b + 1) * 256)));
  EXPECT_EQ(Md5sOf(OfStream(*packets, 1)), expected);

  // sox decodes the blocks as CAdpcm does.
  ASSERT_TRUE(Ffmpeg("-i " + Q(avi) + " -map 0:a -c copy " + Q(dir / "x.wav")));
  ASSERT_EQ(testing_support::Run("sox " + Q(dir / "x.wav") + " -t s16 " + Q(dir / "x.pcm")), 0);
  std::vector<int16_t> decoded(32 * 505);
  for (size_t b = 0; b < 32; ++b)
    coder.Decode(std::span<const uint8_t, 256>(blocks.data() + b * 256, 256),
                 std::span<int16_t, 505>(decoded.data() + b * 505, 505));
  EXPECT_EQ(Samples(ReadFile(dir / "x.pcm")), decoded);
}

// G.723 re-coded as IMA ADPCM: every sample kept, close to the G.723 decode.
TEST(AviConversionFfmpeg, G723BecomesImaAdpcm) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  ORLENTA_REQUIRE_PROGRAM("sox");
  ScratchDir dir("avi_ffmpeg_g723");
  ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc2=size=176x144:rate=25 -t 3 -c:v libx264 -preset veryfast -g 25 "
                     "-bf 0 -pix_fmt yuv420p -f h264 " + Q(dir / "v.264")));
  ASSERT_TRUE(Ffmpeg("-f lavfi -i sine=frequency=300:sample_rate=8000 -t 3 -c:a g726le -b:a 24k "
                     "-f g726le " + Q(dir / "g.g723")));
  const auto g723 = ReadFile(dir / "g.g723");
  ASSERT_TRUE(Vyxmux("-o " + Q(dir / "a.vyx") + " --h264 " + Q(dir / "v.264") + " --audio 146:" +
                     (dir / "g.g723").string() + ":768:3000"));
  const auto result = Convert(dir / "a.vyx", dir / "a.avi");
  ASSERT_EQ(result.end, ConversionEnd::kFinished) << result.error;
  const auto avi = dir / "a.avi";
  EXPECT_EQ(ProbeWarnings(avi), "");
  EXPECT_EQ(StreamField(avi, 1, "codec_name"), "adpcm_ima_wav");

  // The G.723 decode of the records' payloads in order.
  codecs::audio::CG723Coder decoder;
  std::vector<int16_t> reference;
  // Records of 768 bytes (2048 samples, whole groups of 8 codes), as
  // recorders write them; blocks of 505 samples straddle records.
  for (size_t at = 0; at < g723.size(); at += 768) {
    const int bytes = static_cast<int>(std::min<size_t>(768, g723.size() - at));
    std::vector<int16_t> pcm(bytes * 8 / 3);
    ASSERT_EQ(decoder.Decode(g723.data() + at, bytes, pcm.data(), static_cast<int>(pcm.size())),
              static_cast<int>(pcm.size()));
    reference.insert(reference.end(), pcm.begin(), pcm.end());
  }
  const size_t blocks = (reference.size() + 504) / 505;
  EXPECT_EQ(StreamField(avi, 1, "nb_frames"), std::to_string(blocks));
  ASSERT_TRUE(Ffmpeg("-i " + Q(avi) + " -map 0:a -c copy " + Q(dir / "x.wav")));
  ASSERT_EQ(testing_support::Run("sox " + Q(dir / "x.wav") + " -t s16 " + Q(dir / "x.pcm")), 0);
  const auto decoded = Samples(ReadFile(dir / "x.pcm"));
  ASSERT_EQ(decoded.size(), blocks * 505);
  EXPECT_GE(SnrDb(reference, decoded), 18.0);
}

// MPEG-4 key frames recorded without their stream headers decode as the
// source does once converted; one key frame keeps a VOL of its own.
TEST(AviConversionFfmpeg, Mpeg4KeyFramesWithoutHeaders) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  ScratchDir dir("avi_ffmpeg_mpeg4");
  struct Case {
    const char* size;
    const char* flags;
  };
  for (const Case& c : {Case{"704x480", "-flags +ildct+ilme"}, Case{"352x240", ""}}) {
    SCOPED_TRACE(c.size);
    ASSERT_TRUE(Ffmpeg(std::string("-f lavfi -i testsrc2=size=") + c.size + ":rate=30000/1001 -t 2 -c:v mpeg4 " +
                       "-g 15 -bf 0 -q:v 4 " + c.flags + " -f m4v " + Q(dir / "v.m4v")));
    std::string error;
    const auto vops = SplitMpeg4Vops(ReadFile(dir / "v.m4v"), &error);
    ASSERT_EQ(error, "");
    std::vector<TimedRecord> video;
    std::vector<std::string> stored;  // what each chunk must hold
    int keys = 0;
    for (size_t i = 0; i < vops.size(); ++i) {
      std::vector<uint8_t> bytes = vops[i].bytes;
      if (vops[i].intra && keys++ != 2) {
        // Keep the VOP only, from its start code.
        for (size_t at = 0; at + 4 <= bytes.size(); ++at)
          if (bytes[at] == 0 && bytes[at + 1] == 0 && bytes[at + 2] == 1 && bytes[at + 3] == 0xB6) {
            bytes.erase(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(at));
            break;
          }
      }
      std::vector<uint8_t> chunk = bytes;
      if (vops[i].intra && bytes[3] == 0xB6) {
        const auto header = Mpeg4StreamHeader(vops[i].width, vops[i].height);
        chunk.insert(chunk.begin(), header.begin(), header.end());
      }
      stored.push_back(Md5(chunk));
      video.push_back({static_cast<uint8_t>(vops[i].intra ? FRAME_TYPE_MPEG4_I : FRAME_TYPE_MPEG4_P),
                       vops[i].width, vops[i].height, i * 1001000 / 30, std::move(bytes)});
    }
    ASSERT_GE(keys, 3);
    ASSERT_TRUE(MuxArchive((dir / "a.vyx").string(), video, {}, RecordFields(), error)) << error;
    const auto result = Convert(dir / "a.vyx", dir / "a.avi");
    ASSERT_EQ(result.end, ConversionEnd::kFinished) << result.error;
    EXPECT_EQ(StreamField(dir / "a.avi", 0, "codec_name,codec_tag_string"), "mpeg4,DIVX");
    EXPECT_EQ(ProbeWarnings(dir / "a.avi"), "");
    const auto packets = ProbePackets(dir / "a.avi");
    ASSERT_TRUE(packets);
    EXPECT_EQ(Md5sOf(OfStream(*packets, 0)), stored);
    const auto source = testing_support::FfmpegFrameMd5s(dir / "v.m4v");
    ASSERT_EQ(source.size(), vops.size());
    EXPECT_EQ(testing_support::FfmpegFrameMd5s(dir / "a.avi"), source);
  }
}

TEST(AviConversionFfmpeg, JpegPicturesAreMotionJpeg) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  ScratchDir dir("avi_ffmpeg_mjpeg");
  std::string args;
  std::vector<std::string> md5s;
  for (int i = 0; i < 5; ++i) {
    const auto file = dir / ("f" + std::to_string(i) + ".jpg");
    ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc2=size=320x240:rate=25 -vf trim=start_frame=" + std::to_string(i * 7) +
                       " -frames:v 1 -c:v mjpeg -pix_fmt yuvj420p " + Q(file)));
    args += " --jpeg " + Q(file);
    md5s.push_back(Md5(ReadFile(file)));
  }
  ASSERT_TRUE(Vyxmux("-o " + Q(dir / "a.vyx") + args + " --fps 5"));
  const auto result = Convert(dir / "a.vyx", dir / "a.avi");
  ASSERT_EQ(result.end, ConversionEnd::kFinished) << result.error;
  const auto avi = dir / "a.avi";
  EXPECT_EQ(ProbeWarnings(avi), "");
  EXPECT_EQ(StreamField(avi, 0, "codec_name,codec_tag_string,width,height"), "mjpeg,MJPG,320,240");
  const auto packets = ProbePackets(avi);
  ASSERT_TRUE(packets);
  const auto video = OfStream(*packets, 0);
  EXPECT_EQ(Md5sOf(video), md5s);
  // Five a second on a 30 a second clock: six frames apart.
  for (size_t i = 0; i < video.size(); ++i) EXPECT_EQ(video[i].dts, static_cast<int64_t>(i) * 6);
}

// A long recording, irregular, and a day-long gap: each picture stays
// within a frame of its recording time.
TEST(AviConversionFfmpeg, TimelineOverLongRecordingsAndGaps) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  ScratchDir dir("avi_ffmpeg_timeline");
  ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc2=size=64x48 -frames:v 1 -c:v mjpeg -pix_fmt yuvj420p " +
                     Q(dir / "f.jpg")));
  const auto jpeg = ReadFile(dir / "f.jpg");
  struct Case {
    const char* name;
    std::vector<uint64_t> ms;
  };
  std::vector<uint64_t> twentyMinutes, dayGap;
  for (uint64_t t = 0; t < 20 * 60 * 1000; t += 97 + t % 89) twentyMinutes.push_back(t);
  for (uint64_t t = 0; t < 3000; t += 67) dayGap.push_back(t);
  for (uint64_t t = 0; t < 3000; t += 67) dayGap.push_back(21ull * 3600 * 1000 + 500 + t);
  for (const Case& c : {Case{"20 minutes", twentyMinutes}, Case{"21 hour gap", dayGap}}) {
    SCOPED_TRACE(c.name);
    std::vector<Record> records;
    for (uint64_t ms : c.ms) records.push_back({FRAME_TYPE_JPEG, 64, 48, ms, jpeg});
    WriteArchive(dir / "a.vyx", records);
    const auto result = Convert(dir / "a.vyx", dir / "a.avi");
    ASSERT_EQ(result.end, ConversionEnd::kFinished) << result.error;
    ASSERT_EQ(result.files.size(), 1u);
    const auto packets = ProbePackets(dir / "a.avi", "-select_streams v");
    ASSERT_TRUE(packets);
    ASSERT_EQ(packets->size(), c.ms.size());
    for (size_t i = 0; i < packets->size(); ++i)
      ASSERT_LE(std::abs((*packets)[i].dts / 30.0 - c.ms[i] / 1000.0), 1 / 30.0 + 1e-9) << i;
  }
}

}  // namespace
