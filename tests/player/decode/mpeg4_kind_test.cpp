// The decoder front's MPEG-4 kind: opened from the archive's size, stream
// defaults by size, pictures in the display's output format that are the
// scalar conversion of the very planes the library decoded.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "codecs/pixels/output_formats.h"
#include "codecs/pixels/yuv_scalar.h"
#include "player/decode/mpeg4_kind.h"
#include "player/decode/vdecode.h"
#include "tests/codecs/mpeg4/mp4_test_streams.h"
#include "tests/support/plane_md5.h"
#include "tests/support/test_support.h"

namespace {

constexpr uint8_t kGuard = 0xA5;

TEST(Mpeg4Kind, StreamDefaultsAreInterlacedOnlyForTheD1Sizes) {
  struct Case {
    int width, height;
    uint32_t interlaced;
  };
  const Case cases[] = {{704, 576, 1}, {720, 480, 1}, {720, 576, 1}, {704, 480, 1},
                        {720, 240, 0}, {352, 288, 0}, {704, 288, 0}, {1280, 720, 0}};
  for (const Case& c : cases) {
    const Mp4VolDefaults d = Mpeg4VolDefaultsForSize(c.width, c.height);
    EXPECT_EQ(d.interlaced, c.interlaced) << c.width << "x" << c.height;
    EXPECT_EQ(d.vopTimeIncrementResolution, 30000u);
    EXPECT_EQ(d.quantPrecision, 5u);
    EXPECT_EQ(d.verid, 1u);
    EXPECT_EQ(d.quarterSample, 0u);
  }
}

// Open gives 0, not -1, when the library refuses the size; nothing is open
// afterwards.
TEST(Mpeg4Kind, OpenGivesZeroWhenTheLibraryRefusesTheSize) {
  std::vector<uint8_t> source(64, 0), destination(16 * 16 * 4);
  CQxVDecode front;
  EXPECT_EQ(front.Open(source.data(), destination.data(), 16, 16, DECODER_KIND_MPEG4, 5), 1);
  EXPECT_EQ(front.GetKind(), DECODER_KIND_MPEG4);
  EXPECT_EQ(front.Drain(), -1);  // nothing is ever held back
  EXPECT_EQ(front.Open(source.data(), destination.data(), 0, 16, DECODER_KIND_MPEG4, 5), 0);
  EXPECT_EQ(front.Open(source.data(), destination.data(), 8192, 16, DECODER_KIND_MPEG4, 5), 0);
  EXPECT_EQ(front.Decode(8), -1);
}

// The library's result comes back unchanged and a refused payload writes
// nothing.
TEST(Mpeg4Kind, RefusedPayloadsGiveTheLibrarysCodeAndWriteNothing) {
  std::vector<uint8_t> source(64, 0x11), destination(32 * 16 * 4, kGuard);
  CQxVDecode front;
  ASSERT_EQ(front.Open(source.data(), destination.data(), 32, 16, DECODER_KIND_MPEG4, 5), 1);
  const int32_t garbage = front.Decode(int32_t(source.size()));
  EXPECT_GT(garbage, 100);
  EXPECT_EQ(front.Decode(0), MP4DEC_ERR_NO_VOP);
  EXPECT_EQ(destination, std::vector<uint8_t>(destination.size(), kGuard));
}

struct Display {
  const char* name;
  int depth, overlay;
  int bytesPerPixel;
  void (*convert)(const uint8_t*, int, const uint8_t*, const uint8_t*, int, uint8_t*, int, int, int);
  bool strideInBytes;
};

const Display kDisplays[] = {
    {"Rgb32", 32, 0, 4, &yuv_scalar::YuvToRgb32, false},
    {"Rgb24", 24, 0, 3, &yuv_scalar::YuvToRgb24, false},
    {"Rgb565", 16, 0, 2, &yuv_scalar::YuvToRgb565, false},
    {"Yuy2Overlay", 32, 1, 2, &yuv_scalar::YuvToYuy2, true},
};

// Each picture the front writes is the scalar conversion of the I420
// planes it shows, and those planes are the library's own I420 decode of
// the same payloads; the format Open names is not what decides.
TEST(Mpeg4Kind, PicturesAreTheScalarConversionOfTheDecodedPlanes) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  constexpr int kWidth = 174, kHeight = 98;
  testing_support::ScratchDir dir("mp4_kind_pictures");
  const auto stream = EncodeMp4TestStream(dir / "stream.m4v", kWidth, kHeight, 8, "-c:v mpeg4 -q:v 3 -flags +mv4",
                                          "scroll=v=-0.05:h=0.03");
  ASSERT_TRUE(stream);
  const auto i420 = DecodeMp4Units(stream->units, kWidth, kHeight);

  for (const Display& display : kDisplays) {
    SCOPED_TRACE(display.name);
    const size_t pictureBytes = size_t(kWidth) * kHeight * size_t(display.bytesPerPixel);
    std::vector<uint8_t> source(1 << 16), destination(pictureBytes + 64, kGuard), expected;
    std::string planesMd5;
    CQxVDecode front;
    front.SetOutputFormat(display.depth, display.overlay);
    front.SetPictureObserver([&](const DecodedPlanes& p) {
      ASSERT_EQ(p.width, kWidth);
      ASSERT_EQ(p.height, kHeight);
      planesMd5 = testing_support::PlaneMd5({p.y, p.u, p.v, p.yStride, p.uStride, p.vStride, p.width, p.height});
      expected.assign(pictureBytes, 0);
      const int stride = display.strideInBytes ? kWidth * display.bytesPerPixel : kWidth;
      display.convert(p.y, int(p.yStride), p.u, p.v, int(p.uStride), expected.data(), kWidth, kHeight, stride);
    });
    ASSERT_EQ(front.Open(source.data(), destination.data(), kWidth, kHeight, DECODER_KIND_MPEG4,
                         OUTPUT_FORMAT_RGB32_FLIP),
              1);
    for (size_t i = 0; i < stream->units.size(); ++i) {
      const auto& unit = stream->units[i];
      ASSERT_LE(unit.size(), source.size());
      std::memcpy(source.data(), unit.data(), unit.size());
      ASSERT_EQ(front.Decode(int32_t(unit.size())), 0) << "picture " << i;
      EXPECT_EQ(planesMd5, i420[i].md5) << "picture " << i;
      ASSERT_TRUE(std::equal(expected.begin(), expected.end(), destination.begin())) << "picture " << i;
      EXPECT_EQ(std::vector<uint8_t>(destination.begin() + ptrdiff_t(pictureBytes), destination.end()),
                std::vector<uint8_t>(64, kGuard));
    }
  }
}

}  // namespace
