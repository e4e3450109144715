// The decoder against libjpeg-turbo on pictures made by cjpeg, jpegtran and
// ffmpeg, and on the standard test images.
//
// Entropy decoding: the quantised coefficients equal those of libjpeg's
// jpeg_read_coefficients, in both modes (the bit readers differ).
//
// Accurate decoder: equal byte for byte to djpeg -dct int -nosmooth.  Its
// LLM transform runs rows first and libjpeg's columns first; the rounding
// after the first pass makes the two orders differ, so the reference
// decodes the transposed coefficients (jpegtran -transpose, lossless) and
// its picture is transposed back.
//
// Three-component pictures are YCbCr or RGB as the JFIF and Adobe markers
// and the component ids say (codecs/jpeg/jpeg_colour_space.h); cjpeg -rgb
// output, edited to move that decision, is decoded as libjpeg decodes it.
//
// Fast decoder: AAN on 16-bit lanes, close to djpeg -dct fast -nosmooth but
// not equal (different rounding of the 16-bit products): PSNR ≥ 50 dB, no
// sample more than 4 away, ≥ 95% within ±1.  Never against plain djpeg:
// fancy upsampling alone is 30 dB away.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "codecs/jpeg/jpeg_decoder.h"
#include "tests/codecs/jpeg/jpeg_test_support.h"
#include "tests/support/test_support.h"

namespace {

using jpeg_test::Picture;

using Bytes = std::vector<uint8_t>;

// Offset of the header segment with this marker; 0 when there is none.
size_t SegmentAt(const Bytes& jpeg, uint8_t marker) {
  for (size_t at = 2; at + 4 <= jpeg.size() && jpeg[at] == 0xFF && jpeg[at + 1] != 0xDA;
       at += 2 + (size_t{jpeg[at + 2]} << 8 | jpeg[at + 3])) {
    if (jpeg[at + 1] == marker) return at;
  }
  return 0;
}

// Edits of cjpeg -rgb output (Adobe APP14 with transform 0, component ids
// R, G, B, no JFIF APP0) that move the colour decision elsewhere.
constexpr uint8_t kApp14 = 0xEE;
Bytes WithJfifAhead(Bytes jpeg) {
  const uint8_t jfif[] = {0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
  jpeg.insert(jpeg.begin() + 2, std::begin(jfif), std::end(jfif));
  return jpeg;
}
Bytes WithAdobeTransform1(Bytes jpeg) {
  if (const size_t at = SegmentAt(jpeg, kApp14)) jpeg[at + 4 + 11] = 1;
  return jpeg;
}
// The segment ends before its transform byte, which was set to 1 first: a
// reader going past the end would see YCbCr.
Bytes WithAdobeCutShort(Bytes jpeg) {
  if (const size_t at = SegmentAt(jpeg, kApp14)) {
    jpeg[at + 4 + 11] = 1;
    jpeg.erase(jpeg.begin() + static_cast<ptrdiff_t>(at + 4 + 11));
    jpeg[at + 3] = static_cast<uint8_t>(jpeg[at + 3] - 1);
  }
  return jpeg;
}

struct Fixture {
  const char* name;
  int width, height;
  // Shell command turning {src} (a PPM scene) into {out}; empty: `file` from the test data.
  const char* command;
  const char* file;
  Bytes (*edit)(Bytes) = nullptr;  // applied to the picture made
};

const Fixture kFixtures[] = {
    {"s444", 96, 64, "cjpeg -quality 85 -sample 1x1 {src} > {out}", nullptr},
    {"s422", 96, 64, "cjpeg -quality 85 -sample 2x1 {src} > {out}", nullptr},
    {"s440", 96, 64, "cjpeg -quality 85 -sample 1x2 {src} > {out}", nullptr},
    {"s420", 96, 64, "cjpeg -quality 75 {src} > {out}", nullptr},
    {"grey", 96, 64, "cjpeg -quality 90 -grayscale {src} > {out}", nullptr},
    {"grey_2x2", 40, 24, "cjpeg -quality 90 -grayscale -sample 2x2 {src} > {out}", nullptr},
    {"progressive", 120, 80, "cjpeg -quality 80 -progressive {src} > {out}", nullptr},
    {"progressive_444", 57, 41, "cjpeg -quality 80 -sample 1x1 -progressive {src} > {out}", nullptr},
    {"progressive_scans", 120, 80,
     "cjpeg -quality 85 {src} > {out}.b && printf '0,1,2: 0-0, 0, 2;\\n0: 1-5, 0, 1;\\n1: 1-63, 0, 0;\\n2: 1-63, 0, "
     "0;\\n0: 6-63, 0, 1;\\n0,1,2: 0-0, 2, 1;\\n0,1,2: 0-0, 1, 0;\\n0: 1-63, 1, 0;\\n' > {out}.scans && "
     "jpegtran -scans {out}.scans {out}.b > {out}",
     nullptr},
    {"restart_1_row", 100, 70, "cjpeg -quality 80 -restart 1 {src} > {out}", nullptr},
    {"restart_5_blocks", 100, 70, "cjpeg -quality 80 -restart 5B {src} > {out}", nullptr},
    {"progressive_restart", 100, 70, "cjpeg -quality 80 -progressive -restart 2B {src} > {out}", nullptr},
    {"sof1_16bit_tables", 64, 48,
     "python3 -c \"print(' '.join(str(8 + 6 * i) for i in range(64)))\" > {out}.q && "
     "cjpeg -qtables {out}.q -quality 50 {src} > {out}",
     nullptr},
    {"size_1x1", 1, 1, "cjpeg -quality 75 {src} > {out}", nullptr},
    {"size_17x9", 17, 9, "cjpeg -quality 75 {src} > {out}", nullptr},
    {"size_703x575", 703, 575, "cjpeg -quality 75 {src} > {out}", nullptr},
    {"size_1920x1080", 1920, 1080, "cjpeg -quality 75 {src} > {out}", nullptr},
    {"size_703x575_progressive", 703, 575, "cjpeg -quality 75 -progressive {src} > {out}", nullptr},
    {"rgb", 96, 64, "cjpeg -quality 85 -rgb {src} > {out}", nullptr},
    {"rgb_17x9", 17, 9, "cjpeg -quality 75 -rgb {src} > {out}", nullptr},
    {"rgb_703x575", 703, 575, "cjpeg -quality 75 -rgb {src} > {out}", nullptr},
    {"rgb_restart_3_blocks", 100, 70, "cjpeg -quality 80 -rgb -restart 3B {src} > {out}", nullptr},
    {"rgb_progressive", 57, 41, "cjpeg -quality 80 -rgb -progressive {src} > {out}", nullptr},
    {"rgb_under_jfif", 64, 40, "cjpeg -quality 85 -rgb {src} > {out}", nullptr, &WithJfifAhead},
    {"rgb_adobe_transform_1", 64, 40, "cjpeg -quality 85 -rgb {src} > {out}", nullptr, &WithAdobeTransform1},
    {"rgb_adobe_cut_short", 64, 40, "cjpeg -quality 85 -rgb {src} > {out}", nullptr, &WithAdobeCutShort},
    {"ffmpeg_mjpeg", 352, 288,
     "ffmpeg -v error -y -f lavfi -i testsrc2=size=352x288 -frames:v 1 -pix_fmt yuvj420p -c:v mjpeg -q:v 3 -f mjpeg "
     "{out}",
     nullptr},
    {"testorig", 0, 0, nullptr, "jpeg/testorig.jpg"},
    {"testorig_prog", 0, 0, nullptr, "jpeg/testorig_prog.jpg"},
    {"testorig_prog_rst2", 0, 0, nullptr, "jpeg/testorig_prog_rst2.jpg"},
    {"testorig_rst1", 0, 0, nullptr, "jpeg/testorig_rst1.jpg"},
    {"testimgint", 0, 0, nullptr, "jpeg/testimgint.jpg"},
};

std::string Replaced(std::string text, const std::string& key, const std::string& value) {
  for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size())) {
    text.replace(at, key.size(), value);
  }
  return text;
}

class JpegReference : public ::testing::TestWithParam<Fixture> {
 protected:
  // The fixture's JPEG; empty (and the test skipped) when it cannot be had.
  std::vector<uint8_t> Jpeg() {
    const Fixture& fixture = GetParam();
    if (fixture.file != nullptr) {
      auto path = testing_support::TestDataFile(fixture.file);
      if (!path) return {};
      std::filesystem::copy_file(*path, scratch_ / "f.jpg");
      return testing_support::ReadFile(*path);
    }
    jpeg_test::WriteScene(scratch_ / "src.ppm", fixture.width, fixture.height);
    std::string command = Replaced(fixture.command, "{src}", (scratch_ / "src.ppm").string());
    command = Replaced(command, "{out}", (scratch_ / "f.jpg").string());
    Bytes jpeg = jpeg_test::Made(command, scratch_ / "f.jpg");
    if (fixture.edit != nullptr && !jpeg.empty()) {
      jpeg = fixture.edit(jpeg);
      testing_support::WriteFile(scratch_ / "f.jpg", jpeg);
    }
    return jpeg;
  }

  Picture Djpeg(const std::string& options, const std::filesystem::path& jpeg) {
    const auto out = scratch_ / "ref.pnm";
    return jpeg_test::ReadPnm(jpeg_test::Made("djpeg " + options + " '" + jpeg.string() + "' > '" + out.string() + "'", out));
  }

  testing_support::ScratchDir scratch_{std::string("jpeg_reference_") + GetParam().name};
};

TEST_P(JpegReference, CoefficientsEqualLibjpegs) {
  const std::vector<uint8_t> jpeg = Jpeg();
  if (jpeg.empty() && GetParam().file != nullptr) GTEST_SKIP() << "reference material absent: " << GetParam().file;
  ASSERT_FALSE(jpeg.empty()) << "fixture not made";
  const std::vector<jpeg_test::LibjpegPlane> reference = jpeg_test::LibjpegCoefficients(jpeg);
  ASSERT_FALSE(reference.empty());
  for (bool fast : {true, false}) {
    CJpegMemoryStream stream;
    stream.Reset(jpeg.data(), static_cast<int32_t>(jpeg.size()));
    CJpegDecoder decoder(&stream, fast);
    ASSERT_EQ(0, decoder.StartDecompress());
    std::vector<CJpegDecoder::CoefficientPlane> planes;
    ASSERT_EQ(0, decoder.ReadCoefficients(planes));
    ASSERT_EQ(reference.size(), planes.size());
    for (size_t c = 0; c < planes.size(); ++c) {
      const jpeg_test::LibjpegPlane& theirs = reference[c];
      const CJpegDecoder::CoefficientPlane& ours = planes[c];
      ASSERT_GE(ours.columns, theirs.width);
      ASSERT_GE(ours.rows, theirs.height);
      for (int row = 0; row < theirs.height; ++row) {
        for (int column = 0; column < theirs.width; ++column) {
          const int16_t* a = &ours.blocks[(static_cast<size_t>(row) * ours.columns + column) * 64];
          const int16_t* b = &theirs.blocks[(static_cast<size_t>(row) * theirs.width + column) * 64];
          ASSERT_TRUE(std::equal(a, a + 64, b))
              << "component " << c << ", block " << column << "," << row << (fast ? " (fast)" : " (accurate)");
        }
      }
    }
  }
}

TEST_P(JpegReference, AccurateEqualsLibjpegIslowOnTransposedCoefficients) {
  ORLENTA_REQUIRE_PROGRAM("djpeg");
  const std::vector<uint8_t> jpeg = Jpeg();
  if (jpeg.empty() && GetParam().file != nullptr) GTEST_SKIP() << "reference material absent: " << GetParam().file;
  ASSERT_FALSE(jpeg.empty()) << "fixture not made";
  ASSERT_EQ(0, testing_support::Run("jpegtran -transpose '" + (scratch_ / "f.jpg").string() + "' > '" +
                                    (scratch_ / "t.jpg").string() + "'"));
  const Picture reference = jpeg_test::Transposed(Djpeg("-dct int -nosmooth", scratch_ / "t.jpg"));
  ASSERT_GT(reference.width, 0);
  const Picture ours = jpeg_test::DecodeWithImage(jpeg, false, reference.width, reference.height, reference.channels);
  EXPECT_EQ(0, jpeg_test::DecodeError(jpeg, false));
  const jpeg_test::Difference difference = jpeg_test::Compare(ours, reference);
  EXPECT_EQ(difference.maximum, 0) << "first mismatch at sample " << difference.firstMismatch << ", PSNR "
                                   << difference.psnr;
}

TEST_P(JpegReference, FastIsCloseToLibjpegIfast) {
  ORLENTA_REQUIRE_PROGRAM("djpeg");
  const std::vector<uint8_t> jpeg = Jpeg();
  if (jpeg.empty() && GetParam().file != nullptr) GTEST_SKIP() << "reference material absent: " << GetParam().file;
  ASSERT_FALSE(jpeg.empty()) << "fixture not made";
  const Picture reference = Djpeg("-dct fast -nosmooth", scratch_ / "f.jpg");
  ASSERT_GT(reference.width, 0);
  const Picture ours = jpeg_test::DecodeWithImage(jpeg, true, reference.width, reference.height, reference.channels);
  EXPECT_EQ(0, jpeg_test::DecodeError(jpeg, true));
  const jpeg_test::Difference difference = jpeg_test::Compare(ours, reference);
  std::printf("[ fast     ] %s: PSNR %.2f dB, largest difference %d, %.2f%% within 1\n", GetParam().name,
              difference.psnr, difference.maximum, 100 * difference.withinOne);
  EXPECT_GE(difference.psnr, 50.0);
  EXPECT_LE(difference.maximum, 4);
  EXPECT_GE(difference.withinOne, 0.95);
}

INSTANTIATE_TEST_SUITE_P(Pictures, JpegReference, ::testing::ValuesIn(kFixtures),
                         [](const ::testing::TestParamInfo<Fixture>& info) { return std::string(info.param.name); });

}  // namespace
