// A conversion split into bands gives the bytes of one call over the whole
// picture, in every format the kinds write, bottom-up too, and the bands'
// workers survive pictures of changing sizes and restarts on other threads.
#include "player/decode/conversion_bands.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "codecs/pixels/output_formats.h"
#include "codecs/pixels/yuv_scalar.h"
#include "player/decode/ffmpeg_h264_kind.h"
#include "player/decode/qx264_kind.h"
#include "tests/player/h264_test_streams.h"

namespace {

// Random planes with rows longer than the picture, so that a band that
// starts on the wrong row or chroma row shows.
struct Planes {
  int width, rows, yStride, uvStride;
  std::vector<uint8_t> y, u, v;
  Planes(int w, int h, std::mt19937& random)
      : width(w), rows(h), yStride(w + 7), uvStride((w + 1) / 2 + 5), y(size_t(yStride) * h),
        u(size_t(uvStride) * ((h + 1) / 2)), v(u.size()) {
    for (auto* plane : {&y, &u, &v}) {
      for (auto& sample : *plane) sample = uint8_t(random());
    }
  }
};

struct NamedConverter {
  const char* name;
  const PackedConverter* converter;
  int unitsPerPixel;  // of its destination stride
};
const NamedConverter kConverters[] = {
    {"rgb24", &kToRgb24, 1}, {"rgb32", &kToRgb32, 1}, {"rgb565", &kToRgb565, 1}, {"yuy2", &kToYuy2, 2}};

// The destination, 3 units wider than the picture and filled with a mark,
// so that a stray store past a band's rows or columns shows too.
std::vector<uint8_t> Converted(ConversionBands* bands, const NamedConverter& c, const Planes& p, int height) {
  const int dstStride = p.width * c.unitsPerPixel + 3;
  std::vector<uint8_t> dst(size_t(dstStride) * c.converter->strideUnitBytes * p.rows, 0xA5);
  if (bands) {
    bands->Convert(*c.converter, p.y.data(), p.yStride, p.u.data(), p.v.data(), p.uvStride, dst.data(), p.width,
                   height, dstStride);
  } else {
    c.converter->convert(p.y.data(), p.yStride, p.u.data(), p.v.data(), p.uvStride, dst.data(), p.width, height,
                         dstStride);
  }
  return dst;
}

// Odd heights end on a lone row; bands of one row pair and bands of uneven
// lengths.
TEST(ConversionBands, BandsGiveTheWholePicturesBytes) {
  std::mt19937 random(11);
  struct Size {
    int width, height;
  };
  const Size sizes[] = {{1, 1}, {5, 2}, {33, 3}, {17, 7}, {64, 9}, {31, 18}, {190, 101}, {1920, 67}};
  for (int threads : {2, 3, 4, 8}) {
    ConversionBands split;
    split.Start(threads);
    for (const Size& size : sizes) {
      const Planes planes(size.width, size.height, random);
      for (const int height : {size.height, -size.height}) {
        for (const NamedConverter& c : kConverters) {
          EXPECT_EQ(Converted(&split, c, planes, height), Converted(nullptr, c, planes, height))
              << c.name << " " << size.width << "x" << height << " on " << threads << " threads";
        }
      }
    }
  }
}

TEST(ConversionBands, SmallPicturesAndSingleProcessorsGetOneBand) {
  EXPECT_EQ(ConversionThreadsFor(352, 288, 8), 1);
  EXPECT_EQ(ConversionThreadsFor(704, 576, 8), 1);
  EXPECT_EQ(ConversionThreadsFor(1920, 1080, 1), 1);
  EXPECT_EQ(ConversionThreadsFor(0, 1080, 8), 1);
  EXPECT_GT(ConversionThreadsFor(1920, 1080, 8), 1);
  EXPECT_LE(ConversionThreadsFor(1920, 1080, 2), 2);
  EXPECT_LE(ConversionThreadsFor(7680, 4320, 64), 64);
}

// One converting thread per pool, several pools at once: each restarts
// with another thread count between pictures of changing sizes, and some are
// closed right after they start, before their workers first wait.
TEST(ConversionBands, PoolsRestartAndCloseWhileOthersConvert) {
  constexpr int kThreads = 4, kPictures = 60;
  std::vector<std::thread> threads;
  std::vector<int> mismatches(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &mismatches] {
      std::mt19937 random(100 + t);
      auto bands = std::make_unique<ConversionBands>();
      bands->Start(3);
      for (int i = 0; i < kPictures; ++i) {
        const int width = 1 + int(random() % 300), height = 1 + int(random() % 120);
        const Planes planes(width, height, random);
        const NamedConverter& c = kConverters[random() % 4];
        const int signedHeight = random() % 2 ? height : -height;
        mismatches[t] += Converted(bands.get(), c, planes, signedHeight) != Converted(nullptr, c, planes, signedHeight);
        switch (random() % 4) {
          case 0: bands->Start(1 + int(random() % 6)); break;
          case 1:
            bands = std::make_unique<ConversionBands>();
            bands->Start(1 + int(random() % 6));
            break;
          case 2: {
            ConversionBands closedAtOnce;
            closedAtOnce.Start(4);
            break;
          }
          default: break;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

// Both H.264 kinds, opened 1079 lines high over 1080-line pictures so that
// their bands end on a lone row, write what the plain converters make of
// the planes they show.
TEST(ConversionBands, H264KindsWriteThePlainConvertersBytes) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  constexpr int kWidth = 1920, kHeight = 1079;
  testing_support::ScratchDir scratch("conversion_bands_kinds");
  const auto stream =
      h264_test::Encode(scratch, "hd", "1920x1080", 2, "-c:v libx264 -preset ultrafast -profile:v baseline");
  ASSERT_TRUE(stream);
  struct Case {
    bool own;
    int32_t format;
    void (*plain)(const uint8_t*, int, const uint8_t*, const uint8_t*, int, uint8_t*, int, int, int);
    int strideUnits, strideUnitBytes;
    bool bottomUp;
  };
  const Case cases[] = {
      {false, OUTPUT_FORMAT_RGB32, yuv_scalar::YuvToRgb32, 1, 4, false},
      {false, OUTPUT_FORMAT_RGB24, yuv_scalar::YuvToRgb24, 1, 3, false},
      {false, OUTPUT_FORMAT_RGB16, yuv_scalar::YuvToRgb565, 1, 2, false},
      {false, OUTPUT_FORMAT_YUV422, yuv_scalar::YuvToYuy2, 2, 1, false},
      {true, OUTPUT_FORMAT_RGB32, yuv_scalar::YuvToRgb32, 1, 4, false},
      {true, OUTPUT_FORMAT_RGB32_FLIP, yuv_scalar::YuvToRgb32, 1, 4, true},
  };
  for (const Case& c : cases) {
    const std::string name = std::string(c.own ? "own" : "ffmpeg") + " format " + std::to_string(c.format);
    std::vector<uint8_t> destination(size_t(kWidth) * c.strideUnits * c.strideUnitBytes * kHeight);
    std::vector<uint8_t> expected(destination.size());
    const DecodedPictureObserver observer = [&](const DecodedPlanes& p) {
      c.plain(p.y, int(p.yStride), p.u, p.v, int(p.uStride), expected.data(), kWidth,
              c.bottomUp ? -kHeight : kHeight, kWidth * c.strideUnits);
    };
    std::unique_ptr<DecoderKind> kind;
    if (c.own) {
      kind = std::make_unique<Qx264Kind>();
    } else {
      kind = std::make_unique<FfmpegH264Kind>();
    }
    ASSERT_EQ(kind->Open({destination.data(), kWidth, kHeight, c.format, nullptr, &observer}), 1) << name;
    int pictures = 0;
    for (const auto& unit : stream->accessUnits) {
      if (kind->Decode(unit.data(), int32_t(unit.size()), 0) != 0) continue;
      ++pictures;
      EXPECT_EQ(destination, expected) << name << " picture " << pictures;
    }
    EXPECT_EQ(pictures, 2) << name;
  }
}

}  // namespace
