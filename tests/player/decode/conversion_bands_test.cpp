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

// Pictures whose destination the caches keep, up to 1440p, convert in one
// call; larger ones on several threads, never more than the processors.
TEST(ConversionBands, OnlyPicturesBeyondTheCachesGetSeveralThreads) {
  struct Case {
    int32_t width, height;
    unsigned processors;
    int threads;
  };
  for (const Case& c : {Case{352, 288, 8, 1}, Case{704, 576, 8, 1}, Case{1920, 1080, 8, 1}, Case{2560, 1440, 8, 1},
                        Case{0, 1080, 8, 1}, Case{3840, 2160, 8, 4}, Case{3840, 2160, 2, 2}, Case{3840, 2160, 1, 1},
                        Case{7680, 4320, 64, 4}}) {
    EXPECT_EQ(ConversionThreadsFor(c.width, c.height, c.processors), c.threads)
        << c.width << "x" << c.height << " on " << c.processors;
  }
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

// The FFmpeg kind (the own decoder takes no picture large enough to be
// banded), opened 2159 lines high over 2160-line pictures so that its bands
// end on a lone row, writes what the plain converters make of the planes it
// shows.
TEST(ConversionBands, FfmpegKindWritesThePlainConvertersBytes) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  constexpr int kWidth = 3840, kHeight = 2159;
  testing_support::ScratchDir scratch("conversion_bands_kind");
  const auto stream =
      h264_test::Encode(scratch, "uhd", "3840x2160", 2, "-c:v libx264 -preset ultrafast -profile:v baseline");
  ASSERT_TRUE(stream);
  struct Case {
    int32_t format;
    void (*plain)(const uint8_t*, int, const uint8_t*, const uint8_t*, int, uint8_t*, int, int, int);
    int strideUnits, strideUnitBytes;
  };
  const Case cases[] = {
      {OUTPUT_FORMAT_RGB32, yuv_scalar::YuvToRgb32, 1, 4},
      {OUTPUT_FORMAT_RGB24, yuv_scalar::YuvToRgb24, 1, 3},
      {OUTPUT_FORMAT_RGB16, yuv_scalar::YuvToRgb565, 1, 2},
      {OUTPUT_FORMAT_YUV422, yuv_scalar::YuvToYuy2, 2, 1},
  };
  for (const Case& c : cases) {
    const std::string name = "format " + std::to_string(c.format);
    std::vector<uint8_t> destination(size_t(kWidth) * c.strideUnits * c.strideUnitBytes * kHeight);
    std::vector<uint8_t> expected(destination.size());
    const DecodedPictureObserver observer = [&](const DecodedPlanes& p) {
      c.plain(p.y, int(p.yStride), p.u, p.v, int(p.uStride), expected.data(), kWidth, kHeight, kWidth * c.strideUnits);
    };
    FfmpegH264Kind kind;
    ASSERT_EQ(kind.Open({destination.data(), kWidth, kHeight, c.format, nullptr, &observer}), 1) << name;
    int pictures = 0;
    for (const auto& unit : stream->accessUnits) {
      if (kind.Decode(unit.data(), int32_t(unit.size()), 0) != 0) continue;
      ++pictures;
      EXPECT_EQ(destination, expected) << name << " picture " << pictures;
    }
    EXPECT_EQ(pictures, 2) << name;
  }
}

}  // namespace
