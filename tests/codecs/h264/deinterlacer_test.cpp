// The output deinterlacer: the stage on synthetic pictures against an
// independent model of its arithmetic, the row kernel's motion decision on
// hand-made rows, and which decoded pictures go through it at all.
#include "codecs/h264/deinterlacer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "codecs/h264/avc_context.h"
#include "codecs/h264/deinterlace_row.h"
#include "tests/codecs/h264/avc_test_decoder.h"
#include "tests/codecs/h264/avc_test_support.h"
#include "tests/codecs/h264/deinterlace_model.h"
#include "tests/codecs/h264/field_streams.h"
#include "tests/support/frame_md5s.h"
#include "tests/support/test_support.h"

namespace {

using avc_test::DeinterlaceModel;
using avc_test::YuvFrame;

YuvFrame MakeFrame(int width, int height, const std::function<uint8_t(int x, int y)>& luma) {
  YuvFrame f{width, height, {}, {}, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) f.y.push_back(luma(x, y));
  for (int i = 0; i < width * height / 4; ++i) {
    f.cb.push_back(static_cast<uint8_t>(i * 7));
    f.cr.push_back(static_cast<uint8_t>(255 - i * 3));
  }
  return f;
}

YuvFrame RandomFrame(int width, int height, uint32_t seed) {
  std::mt19937 random(seed);
  return MakeFrame(width, height, [&](int, int) { return static_cast<uint8_t>(random()); });
}

// The stage with buffers of a create size larger than the pictures, so
// that rows are laid out by the picture's stride, not the buffer's.
class Stage {
 public:
  Stage(const avc::KernelSet& kernels, int createWidth, int createHeight) : kernels_(kernels) {
    const size_t frameBytes = static_cast<size_t>(createWidth) * createHeight * 3 / 2;
    output_.assign(frameBytes, 0);
    previous_.assign(frameBytes, 0);
    state_ = {output_.data(), previous_.data(), static_cast<size_t>(createWidth) * createHeight};
  }

  YuvFrame Run(YuvFrame& in, avc::DeinterlaceMode mode) {
    AvcDecPicture picture;
    picture.y = in.y.data();
    picture.cb = in.cb.data();
    picture.cr = in.cr.data();
    picture.width = picture.lumaStride = in.width;
    picture.chromaStride = in.width / 2;
    picture.fieldPicture = mode == avc::DeinterlaceMode::kField ? 1 : 0;
    picture.height = picture.fieldPicture ? in.height / 2 : in.height;
    const YuvFrame before = in;
    avc::DeinterlacePicture(state_, kernels_, picture, mode);
    EXPECT_EQ(in.y, before.y) << "the decoded picture is never changed";
    EXPECT_EQ(picture.y, output_.data());
    const size_t luma = static_cast<size_t>(in.width) * in.height;
    YuvFrame out{in.width, in.height, {picture.y, picture.y + luma}, {picture.cb, picture.cb + luma / 4},
                 {picture.cr, picture.cr + luma / 4}};
    return out;
  }

 private:
  const avc::KernelSet& kernels_;
  std::vector<uint8_t> output_, previous_;
  avc::DeinterlaceState state_;
};

// Odd (replaced) lines equal to the source's, away from the row ends
// and the lines that are copied.
bool InnerOddLinesKept(const YuvFrame& out, const YuvFrame& in) {
  for (int y = 3; y < in.height - 2; y += 2)
    for (int x = 2; x < in.width - 2; ++x)
      if (out.y[y * in.width + x] != in.y[y * in.width + x]) return false;
  return true;
}

struct KernelChoice {
  const char* name;
  const avc::KernelSet& (*kernels)();
};
const avc::KernelSet& Selected() { return avc::SelectKernels(DetectCpuLevel()); }
const KernelChoice kKernelChoices[] = {{"plain", avc::PlainKernels}, {"selected", Selected}};
void PrintTo(const KernelChoice& choice, std::ostream* os) { *os << choice.name; }

class DeinterlaceStage : public testing::TestWithParam<KernelChoice> {};

INSTANTIATE_TEST_SUITE_P(Sets, DeinterlaceStage, testing::ValuesIn(kKernelChoices),
                         [](const auto& info) { return std::string(info.param.name); });

// Counters start at 0 and the first picture differs from the zero previous
// luma, so pictures 1 to 4 interpolate and from the fifth on the still
// lines are the average of two equal lines.
TEST_P(DeinterlaceStage, StaticFieldScenesTurnFromInterpolationToTemporalAverage) {
  const struct {
    const char* name;
    YuvFrame frame;
  } scenes[] = {
      {"noise", RandomFrame(96, 64, 1)},
      {"gentle ramp", MakeFrame(96, 64, [](int x, int y) { return static_cast<uint8_t>(40 + x + (y % 2) * 5); })},
  };
  for (auto scene : scenes) {
    SCOPED_TRACE(scene.name);
    Stage stage(GetParam().kernels(), 128, 96);
    DeinterlaceModel model(96, 64);
    for (int n = 1; n <= 7; ++n) {
      SCOPED_TRACE(n);
      const YuvFrame out = stage.Run(scene.frame, avc::DeinterlaceMode::kField);
      const YuvFrame expected = model.FieldPicture(scene.frame);
      ASSERT_EQ(out.y, expected.y);
      ASSERT_EQ(out.cb, expected.cb);
      ASSERT_EQ(out.cr, expected.cr);
      EXPECT_EQ(InnerOddLinesKept(out, scene.frame), n >= 5);
    }
  }
}

// Every column constant on the kept lines: the vertical average wins all
// ties with the diagonals, so the replaced lines repeat the kept ones.
TEST_P(DeinterlaceStage, VerticalEdgesInterpolateVertically) {
  YuvFrame frame =
      MakeFrame(64, 32, [](int x, int y) { return static_cast<uint8_t>(y % 2 ? 100 : (x / 5) % 2 ? 230 : 10); });
  Stage stage(GetParam().kernels(), 64, 32);
  DeinterlaceModel model(64, 32);
  const YuvFrame out = stage.Run(frame, avc::DeinterlaceMode::kField);
  EXPECT_EQ(out.y, model.FieldPicture(frame).y);
  for (int y = 0; y < 32; y += 2)
    for (int x = 0; x < 64; ++x) ASSERT_EQ(out.y[(y + 1) * 64 + x], frame.y[y * 64 + x]) << x << "," << y;
}

// Three frame-coded pictures of a scene make its pairs still: the field
// picture of the same scene that follows averages at once.
TEST_P(DeinterlaceStage, FramePicturesPassAndAgeTheCounters) {
  YuvFrame frame = RandomFrame(80, 48, 2);
  Stage stage(GetParam().kernels(), 80, 48);
  DeinterlaceModel model(80, 48);
  for (int n = 0; n < 3; ++n) {
    const YuvFrame out = stage.Run(frame, avc::DeinterlaceMode::kFrame);
    EXPECT_EQ(out.y, frame.y);
    EXPECT_EQ(out.cb, frame.cb);
    EXPECT_EQ(out.cr, frame.cr);
    model.FramePicture(frame);
  }
  const YuvFrame out = stage.Run(frame, avc::DeinterlaceMode::kField);
  EXPECT_EQ(out.y, model.FieldPicture(frame).y);
  EXPECT_TRUE(InnerOddLinesKept(out, frame));
}

// A changing scene mixing both kinds of pictures keeps matching the model.
TEST_P(DeinterlaceStage, MovingMixedSequenceMatchesTheModel) {
  Stage stage(GetParam().kernels(), 112, 80);
  DeinterlaceModel model(112, 80);
  std::mt19937 random(3);
  YuvFrame frame = RandomFrame(112, 80, 4);
  for (int n = 0; n < 24; ++n) {
    SCOPED_TRACE(n);
    // Small changes in some areas, large ones in others.
    for (size_t i = 0; i < frame.y.size(); ++i) {
      const int step = (i / 112 / 16 + i % 112 / 16 + n) % 3 == 0 ? static_cast<int>(random() % 61) - 30 : 0;
      frame.y[i] = static_cast<uint8_t>(std::clamp(frame.y[i] + step, 0, 255));
    }
    const bool field = n % 5 != 2;
    const YuvFrame out = stage.Run(frame, field ? avc::DeinterlaceMode::kField : avc::DeinterlaceMode::kFrame);
    const YuvFrame expected = field ? model.FieldPicture(frame) : model.FramePicture(frame);
    ASSERT_EQ(out.y, expected.y);
  }
}

// One pair decision on rows of 16 samples: the current lines are all 100;
// the previous picture's line 1 differs by `change` over the pair sums of
// lines 1 and 3, and a rough previous line 0 (pairs 55, 145: the same sum)
// fails the detail test.
TEST(DeinterlaceRowKernel, MotionThresholdDependsOnDetail) {
  const struct {
    const char* name;
    bool rough;
    int change;
    uint8_t counter;
    uint8_t counterAfter;
    bool average;  // else interpolated: 100
  } cases[] = {
      {"flat, change 39: still", false, 39, 0, 1, false},
      {"flat, change 40: moving", false, 40, 2, 0, false},
      {"flat, still for three pictures", false, 10, 3, 3, true},
      {"detailed, change 40: still", true, 40, 3, 3, true},
      {"detailed, change 129: still", true, 129, 1, 2, false},
      {"detailed, change 130: moving", true, 130, 3, 0, false},
      {"counter at 255 is old enough", true, 0, 255, 255, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    constexpr int kWidth = 16;
    std::vector<uint8_t> current(kWidth, 100), previous0(kWidth, 100), previous1(kWidth), counters(kWidth, c.counter);
    std::vector<uint8_t> out0(kWidth), out1(kWidth);
    const int pairSum = 200 - c.change;
    for (int x = 0; x < kWidth; x += 2) {
      previous1[x] = static_cast<uint8_t>((pairSum + 1) / 2);
      previous1[x + 1] = static_cast<uint8_t>(pairSum / 2);
      if (c.rough) {
        previous0[x] = 55;
        previous0[x + 1] = 145;
      }
    }
    const avc::DeinterlaceRowJob job = {{current.data(), current.data(), current.data(), current.data()},
                                        {previous0.data(), previous1.data(), current.data(), current.data()},
                                        {out0.data(), out1.data()},
                                        counters.data(),
                                        kWidth};
    avc::PlainKernels().deinterlace(job);
    for (int x = 0; x < kWidth; ++x) {
      EXPECT_EQ(counters[x], c.counterAfter) << x;
      const int expected = c.average && x >= 2 && x < kWidth - 2 ? (100 + previous1[x] + 1) >> 1 : 100;
      EXPECT_EQ(out1[x], expected) << x;
      EXPECT_EQ(out0[x], 100);
    }
  }
}

// Which decoded pictures pass through the stage: libx264 streams of a
// progressive and of an interlaced sequence (frame pictures only), decoded
// with and without the flag.  Frame pictures come out as FFmpeg decodes
// them either way.
TEST(DeinterlaceInDecoder, OnlyInterlacedSequencesWithTheFlagAreCopied) {
  if (!testing_support::HaveProgram("ffmpeg")) GTEST_SKIP() << "program absent: ffmpeg";
  testing_support::ScratchDir dir("h264_deinterlace");
  ASSERT_TRUE(avc_test::MakeInterStream(dir / "progressive.264", "testsrc2", 176, 144, 8, ""));
  ASSERT_TRUE(
      avc_test::MakeInterStream(dir / "interlaced.264", "testsrc2", 176, 144, 8, "fake-interlaced=1", "-profile:v main"));
  const struct {
    const char* stream;
    uint32_t flags;
    bool copied;
  } cases[] = {
      {"progressive.264", kAvcDecDeinterlace, false},
      {"interlaced.264", 0, false},
      {"interlaced.264", kAvcDecDeinterlace, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.stream) + (c.flags ? " with the flag" : " without the flag"));
    const auto expected = testing_support::FfmpegFrameMd5s(dir / c.stream);
    ASSERT_FALSE(expected.empty());
    const avc_test::Decoder decoder = avc_test::CreateDecoder(11, 10, 0, c.flags);
    ASSERT_NE(decoder, nullptr);
    std::vector<std::string> md5s;
    for (const auto& unit : avc_test::SplitAccessUnits(testing_support::ReadFile(dir / c.stream))) {
      AvcDecPicture picture;
      if (avc_test::DecodeUnit(decoder.get(), unit, picture) != kAvcDecPicture) continue;
      const uint8_t* stored = decoder->store.At(static_cast<uint32_t>(picture.storeIndex)).planes[0];
      EXPECT_EQ(picture.y, c.copied ? decoder->deinterlace.output : stored);
      md5s.push_back(avc_test::PictureMd5(picture));
    }
    EXPECT_EQ(md5s, expected);
  }
}

// Damaged field pairs and mixed sequences, some for a decoder made smaller
// or larger than the stream: the stage reads and writes only inside its
// buffers (proven under ASan) and returns whole pictures.
TEST(DeinterlaceInDecoder, MutatedInterlacedStreamsStayInBounds) {
  if (!testing_support::HaveProgram("ffmpeg")) GTEST_SKIP() << "program absent: ffmpeg";
  testing_support::ScratchDir dir("h264_deinterlace_mutated");
  const avc_test::FieldStream streams[] = {
      {"pairs", "field-pairs", "--bottom-first", 352, 288, 6, "ref=2"},
      {"mixed", "mixed", "", 352, 288, 6, "ref=2"},
  };
  std::mt19937 random(20261210);
  for (const avc_test::FieldStream& s : streams) {
    const auto file = avc_test::MakeFieldStream(s, dir.path());
    ASSERT_TRUE(file);
    const auto units = avc_test::SplitAccessUnits(testing_support::ReadFile(*file));
    for (int round = 0; round < 30; ++round) {
      const avc_test::Decoder decoder = avc_test::CreateDecoder(
          round % 3 == 1 ? 12 : 22, round % 3 == 2 ? 40 : 18, 0, kAvcDecDeinterlace | (round & 1 ? kAvcDecBumping : 0));
      ASSERT_NE(decoder, nullptr);
      for (std::vector<uint8_t> bytes : units) {
        for (int flips = round % 2 == 0 && random() % 2 ? 0 : 1 + static_cast<int>(random() % 4); flips > 0; --flips)
          bytes[4 + random() % (bytes.size() - 4)] = static_cast<uint8_t>(random());
        AvcDecPicture picture;
        const int32_t result = avc_test::DecodeUnit(decoder.get(), bytes, picture);
        ASSERT_TRUE(result == kAvcDecPicture || result == kAvcDecNoPicture);
        if (result == kAvcDecPicture) {
          EXPECT_FALSE(avc_test::PictureMd5(picture).empty());
        }
      }
    }
  }
}

}  // namespace
