#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <random>
#include <vector>

#include "codecs/mpeg4/mp4_decoder.h"
#include "codecs/pixels/output_formats.h"
#include "codecs/pixels/yuv_scalar.h"
#include "player/decode/vdecode.h"
#include "tests/player/h264_test_streams.h"
#include "tests/support/test_support.h"

namespace {

using h264_test::Planes;
using h264_test::Stream;

constexpr uint8_t kGuard = 0xA5;

// The video box's side of the front: a source buffer for the payloads and
// a destination buffer, the front opened on them.
struct Box {
  std::vector<uint8_t> source, destination;
  CQxVDecode decoder;
  std::vector<Planes> seen;  // the planes of each picture the front converted

  Box(const Stream& stream, int width, int height, int depth = 32, int overlay = 0, size_t destinationBytes = 0) {
    size_t largest = 0;
    for (const auto& unit : stream.accessUnits) largest = std::max(largest, unit.size());
    source.assign(largest, 0);
    const size_t bytes = destinationBytes ? destinationBytes : size_t(width) * height * (overlay ? 2 : depth / 8);
    destination.assign(bytes, kGuard);
    decoder.SetOutputFormat(depth, overlay);
    decoder.SetPictureObserver([this](const DecodedPlanes& p) { seen.push_back(h264_test::CopyPlanes(p)); });
    opened = decoder.Open(source.data(), destination.data(), width, height, DECODER_KIND_H264,
                          OUTPUT_FORMAT_RGB32_FLIP);
  }
  int32_t Decode(const std::vector<uint8_t>& payload) {
    std::memcpy(source.data(), payload.data(), std::min(payload.size(), source.size()));
    return decoder.Decode(int32_t(std::min(payload.size(), source.size())));
  }
  int32_t opened;
};

class VDecodeTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!testing_support::HaveProgram("ffmpeg")) return;
    scratch_ = new testing_support::ScratchDir("vdecode");
    // Not a multiple of 16 either way: FFmpeg crops, strides have padding.
    odd_ = new std::optional<Stream>(
        h264_test::Encode(*scratch_, "odd", "98x62", 6, "-c:v libx264 -profile:v baseline -g 3"));
    cif_ = new std::optional<Stream>(
        h264_test::Encode(*scratch_, "qcif", "176x144", 4, "-c:v libx264 -profile:v baseline"));
  }
  static void TearDownTestSuite() {
    delete odd_;
    delete cif_;
    delete scratch_;
  }
  void SetUp() override {
    ORLENTA_REQUIRE_PROGRAM("ffmpeg");
    ASSERT_TRUE(*odd_ && *cif_) << "libx264 encode failed";
  }
  const Stream& odd() const { return **odd_; }
  const Stream& qcif() const { return **cif_; }

  static inline testing_support::ScratchDir* scratch_ = nullptr;
  static inline std::optional<Stream>* odd_ = nullptr;
  static inline std::optional<Stream>* cif_ = nullptr;
};

using ScalarConverter = void (*)(const uint8_t*, int, const uint8_t*, const uint8_t*, int, uint8_t*, int, int, int);

// The scalar converter on the first width x height pixels of the planes,
// into rows of `stride` (the converter's unit) in a guard-filled buffer.
std::vector<uint8_t> ScalarPicture(ScalarConverter convert, const Planes& p, int width, int height, int stride,
                                   size_t bytes) {
  std::vector<uint8_t> out(bytes, kGuard);
  convert(p.y.data(), p.width, p.u.data(), p.v.data(), p.chromaWidth(), out.data(), width, height, stride);
  return out;
}

TEST_F(VDecodeTest, OpenAndDecodeByKind) {
  struct Case {
    int32_t kind;
    int32_t open;
    int32_t decode;  // of an H.264 access unit
  };
  const Case cases[] = {
      {0, -1, -1},
      {DECODER_KIND_H264, 1, 0},
      {DECODER_KIND_MPEG4, 1, MP4DEC_ERR_NO_VOL},  // its start codes read as a video object alone
      {DECODER_KIND_JPEG, 1, -1},  // opens always; an H.264 access unit is no JPEG picture
      {DECODER_KIND_QX264, 1, 0},
      {5, -1, -1},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> source(odd().accessUnits[0]), destination(98 * 62 * 4);
    CQxVDecode decoder;
    EXPECT_EQ(decoder.Open(source.data(), destination.data(), 98, 62, c.kind, OUTPUT_FORMAT_RGB32), c.open)
        << "kind " << c.kind;
    EXPECT_EQ(decoder.GetKind(), c.kind);
    EXPECT_EQ(decoder.Decode(int32_t(source.size())), c.decode) << "kind " << c.kind;
    decoder.Close();
    decoder.Close();
    EXPECT_EQ(decoder.Decode(int32_t(source.size())), -1) << "kind " << c.kind << " after Close";
  }
}

// JPEG pictures come out as 32-bit pixels only: under a display set-up of
// another depth, or an overlay, the destination is smaller and nothing is
// written into it.
TEST_F(VDecodeTest, JpegPicturesNeedA32BitDisplay) {
  const auto jpegFile = *scratch_ / "still.jpg";
  ASSERT_EQ(testing_support::Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=98x62 -frames:v 1 -c:v mjpeg "
                                 "-f image2 '" + jpegFile.string() + "'"),
            0);
  std::vector<uint8_t> source = testing_support::ReadFile(jpegFile);
  struct Case {
    int depth, overlay, bytesPerPixel;
    int32_t decode;
  };
  for (const Case& c : {Case{32, 0, 4, 0}, Case{24, 0, 3, -1}, Case{16, 0, 2, -1}, Case{32, 1, 2, -1}}) {
    std::vector<uint8_t> destination(size_t(98) * 62 * size_t(c.bytesPerPixel), kGuard);
    CQxVDecode decoder;
    decoder.SetOutputFormat(c.depth, c.overlay);
    ASSERT_EQ(decoder.Open(source.data(), destination.data(), 98, 62, DECODER_KIND_JPEG, OUTPUT_FORMAT_RGB32_FLIP), 1);
    EXPECT_EQ(decoder.Decode(int32_t(source.size())), c.decode) << c.depth << " " << c.overlay;
    if (c.decode != 0) {
      EXPECT_EQ(destination, std::vector<uint8_t>(destination.size(), kGuard)) << c.depth << " " << c.overlay;
    }
  }
}

TEST_F(VDecodeTest, PicturesAreTheScalarConversionOfTheDecodedPlanes) {
  struct Case {
    int depth, overlay;
    int32_t format;
    ScalarConverter convert;
    int bytesPerPixel;
  };
  const Case cases[] = {
      {32, 0, OUTPUT_FORMAT_RGB32, yuv_scalar::YuvToRgb32, 4},
      {32, 1, OUTPUT_FORMAT_YUV422, yuv_scalar::YuvToYuy2, 2},
      {24, 0, OUTPUT_FORMAT_RGB24, yuv_scalar::YuvToRgb24, 3},
      {16, 0, OUTPUT_FORMAT_RGB16, yuv_scalar::YuvToRgb565, 2},
  };
  for (const Case& c : cases) {
    Box box(odd(), 98, 62, c.depth, c.overlay);
    ASSERT_EQ(box.opened, 1);
    // The format argument (9) gives way to the display's.
    EXPECT_EQ(box.decoder.GetOutputFormat(), c.format);
    for (size_t i = 0; i < odd().accessUnits.size(); ++i) {
      ASSERT_EQ(box.Decode(odd().accessUnits[i]), 0) << "frame " << i;
      ASSERT_EQ(box.seen.size(), i + 1);
      const Planes& planes = box.seen.back();
      ASSERT_EQ(planes.width, 98);
      ASSERT_EQ(planes.height, 62);
      const int stride = c.format == OUTPUT_FORMAT_YUV422 ? 98 * 2 : 98;
      EXPECT_EQ(box.destination, ScalarPicture(c.convert, planes, 98, 62, stride, box.destination.size()))
          << "depth " << c.depth << " overlay " << c.overlay << " frame " << i;
    }
  }
}

// An archive whose header says another size than its stream: the front
// writes the part of the picture that fits the opened size, never more,
// and decodes nothing when the stream's pictures are more than a
// macroblock larger on a side.
TEST_F(VDecodeTest, WritesAtMostTheOpenedSize) {
  {
    Box box(qcif(), 168, 136);  // the destination is exactly 168 x 136 pixels
    ASSERT_EQ(box.Decode(qcif().accessUnits[0]), 0);
    EXPECT_EQ(box.destination,
              ScalarPicture(yuv_scalar::YuvToRgb32, box.seen.back(), 168, 136, 168, box.destination.size()));
  }
  // 176 x 112 allows 192 x 128 pixels, fewer than QCIF's (FFmpeg refuses
  // the picture); 144 x 144 allows 160 x 160, more than QCIF's but not its
  // width (the picture is dropped as it comes out).
  for (auto [width, height] : {std::pair{176, 112}, std::pair{144, 144}}) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    Box box(qcif(), width, height);
    for (const auto& unit : qcif().accessUnits) EXPECT_EQ(box.Decode(unit), -1);
    EXPECT_TRUE(box.seen.empty());
    EXPECT_EQ(box.destination, std::vector<uint8_t>(box.destination.size(), kGuard));
  }
  {
    Box box(qcif(), 352, 288);  // bigger: the rest keeps what it held
    ASSERT_EQ(box.Decode(qcif().accessUnits[0]), 0);
    EXPECT_EQ(box.destination,
              ScalarPicture(yuv_scalar::YuvToRgb32, box.seen.back(), 176, 144, 352, box.destination.size()));
  }
}

TEST_F(VDecodeTest, CorruptAndTruncatedPayloadsGiveMinusOneOrAPicture) {
  std::mt19937 random(2024);
  Box box(qcif(), 176, 144);
  ASSERT_EQ(box.opened, 1);
  int pictures = 0, errors = 0;
  auto decode = [&](const std::vector<uint8_t>& payload) {
    const int32_t result = box.Decode(payload);
    EXPECT_TRUE(result == 0 || result == -1) << result;
    (result == 0 ? pictures : errors)++;
  };
  for (int round = 0; round < 8; ++round) {
    for (const auto& unit : qcif().accessUnits) {
      std::vector<uint8_t> damaged = unit;
      for (int flips = 0; flips < 1 + round * 4; ++flips)
        damaged[random() % damaged.size()] ^= static_cast<uint8_t>(1 + random() % 255);
      decode(damaged);
      decode(std::vector<uint8_t>(unit.begin(), unit.begin() + unit.size() / (2 + round)));
      decode(std::vector<uint8_t>(unit.begin(), unit.begin() + std::min<size_t>(unit.size(), round + 1)));
      std::vector<uint8_t> noise(unit.size());
      for (auto& b : noise) b = static_cast<uint8_t>(random());
      decode(noise);
    }
  }
  EXPECT_GT(errors, 0);
  // The decoder is still usable: the clean stream gives pictures again.
  int clean = 0;
  for (int pass = 0; pass < 2; ++pass)
    for (const auto& unit : qcif().accessUnits) clean += box.Decode(unit) == 0;
  EXPECT_GT(clean, 0);
}

TEST_F(VDecodeTest, TenBitStreamGivesNoPicture) {
  const auto stream = h264_test::Encode(*scratch_, "ten", "64x48", 3, "-c:v libx264 -bf 0 -pix_fmt yuv420p10le");
  ASSERT_TRUE(stream);
  Box box(*stream, 64, 48);
  for (const auto& unit : stream->accessUnits) EXPECT_EQ(box.Decode(unit), -1);
  EXPECT_EQ(box.destination, std::vector<uint8_t>(box.destination.size(), kGuard));
}

// Re-opening without Close and destruction while open leave nothing behind
// (the sanitizer build's leak checker watches).
TEST_F(VDecodeTest, ReopenAndDestroyWhileOpen) {
  Box box(qcif(), 176, 144);
  ASSERT_EQ(box.Decode(qcif().accessUnits[0]), 0);
  EXPECT_EQ(box.decoder.Open(box.source.data(), box.destination.data(), 176, 144, DECODER_KIND_H264, 4), 1);
  ASSERT_EQ(box.Decode(qcif().accessUnits[0]), 0);
  EXPECT_EQ(box.decoder.Open(nullptr, box.destination.data(), 176, 144, DECODER_KIND_H264, 4), -1);
  EXPECT_EQ(box.decoder.Decode(10), -1);
}

}  // namespace
