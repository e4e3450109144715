// Pictures the decoder refuses, with their codes; damaged and hostile
// pictures (each fault found in the decoder's design gets a fixture), cut
// and mutated pictures that must end without a crash, a sanitizer report
// or a hang; what the picture interface writes and leaves alone.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "codecs/jpeg/jpeg_decoder.h"
#include "codecs/jpeg/jpeg_errors.h"
#include "codecs/jpeg/jpeg_image.h"
#include "tests/codecs/jpeg/jpeg_test_support.h"
#include "tests/support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

class JpegRobustness : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing_support::HaveProgram("cjpeg")) GTEST_SKIP() << "program absent: cjpeg";
  }

  // A scene of the given size through cjpeg with `options`.
  Bytes Cjpeg(const std::string& options, int width = 48, int height = 32) {
    const auto source = scratch_ / "src.ppm";
    jpeg_test::WriteScene(source, width, height);
    const auto out = scratch_ / "out.jpg";
    return jpeg_test::Made("cjpeg " + options + " '" + source.string() + "' > '" + out.string() + "'", out);
  }
  Bytes Ffmpeg(const std::string& options) {
    const auto out = scratch_ / "out.jpg";
    return jpeg_test::Made("ffmpeg -v error -y -f lavfi -i testsrc2=size=64x48 -frames:v 1 " + options +
                               " -f mjpeg '" + out.string() + "'",
                           out);
  }

  testing_support::ScratchDir scratch_{"jpeg_robustness"};
};

// Offsets of the markers (FF xx) of a well-formed picture, in order:
// segments are stepped over by their lengths, entropy data byte by byte.
std::vector<size_t> Markers(const Bytes& jpeg) {
  std::vector<size_t> found;
  size_t at = 0;
  while (at + 1 < jpeg.size()) {
    if (jpeg[at] != 0xFF || jpeg[at + 1] == 0x00 || jpeg[at + 1] == 0xFF) {
      ++at;
      continue;
    }
    const uint8_t marker = jpeg[at + 1];
    found.push_back(at);
    const bool standalone = marker == 0xD8 || marker == 0xD9 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01;
    if (standalone) {
      at += 2;
      continue;
    }
    const size_t length = (size_t{jpeg[at + 2]} << 8) | jpeg[at + 3];
    at += 2 + length;
  }
  return found;
}

// The offset of the n-th marker `code`.
size_t Find(const Bytes& jpeg, uint8_t code, int nth = 0) {
  for (size_t at : Markers(jpeg)) {
    if (jpeg[at + 1] == code && nth-- == 0) return at;
  }
  ADD_FAILURE() << "marker " << int{code} << " not found";
  return 0;
}

Bytes Inserted(Bytes jpeg, size_t at, const Bytes& bytes) {
  jpeg.insert(jpeg.begin() + static_cast<ptrdiff_t>(at), bytes.begin(), bytes.end());
  return jpeg;
}

// The bytes after SOI.
size_t AfterSoi() { return 2; }

std::vector<uint8_t> DecodeAccurate(const Bytes& jpeg, int width, int height) {
  return jpeg_test::DecodeWithImage(jpeg, false, width, height, 3).samples;
}

TEST_F(JpegRobustness, UnsupportedKindsAreRefusedWithTheirCodes) {
  EXPECT_EQ(jpeg::kJpegArithmetic, jpeg_test::DecodeError(Cjpeg("-arithmetic"), true));
  EXPECT_EQ(jpeg::kJpegSampling, jpeg_test::DecodeError(Cjpeg("-sample 4x1"), true));
  if (testing_support::HaveProgram("ffmpeg")) {
    EXPECT_EQ(jpeg::kJpegFrameType, jpeg_test::DecodeError(Ffmpeg("-c:v ljpeg -pix_fmt bgr24"), true));
    EXPECT_EQ(jpeg::kJpegFrameType, jpeg_test::DecodeError(Ffmpeg("-c:v ljpeg -pix_fmt yuvj420p"), true));
    EXPECT_EQ(jpeg::kJpegSampling, jpeg_test::DecodeError(Ffmpeg("-c:v mjpeg -pix_fmt yuvj422p"), true));
  }
  // Four components (CMYK) and two: the frame header of a grey picture rewritten.
  for (int count : {2, 4}) {
    Bytes jpeg = Cjpeg("-grayscale");
    const size_t sof = Find(jpeg, 0xC0);
    jpeg[sof + 3] = static_cast<uint8_t>(8 + 3 * count);
    jpeg[sof + 9] = static_cast<uint8_t>(count);
    Bytes extra;
    for (int c = 1; c < count; ++c) extra.insert(extra.end(), {static_cast<uint8_t>(c + 1), 0x11, 0x00});
    jpeg = Inserted(jpeg, sof + 13, extra);
    EXPECT_EQ(jpeg::kJpegComponentCount, jpeg_test::DecodeError(jpeg, true)) << count << " components";
  }
}

TEST_F(JpegRobustness, StandardImagesOutsideTheDecodersRangeAreRefused) {
  ORLENTA_REQUIRE_TESTDATA(arithmetic, "jpeg/testimgari.jpg");
  ORLENTA_REQUIRE_TESTDATA(twelveBit, "jpeg/monkey12.jpg");
  EXPECT_EQ(jpeg::kJpegArithmetic, jpeg_test::DecodeError(testing_support::ReadFile(arithmetic), true));
  EXPECT_EQ(jpeg::kJpegPrecision, jpeg_test::DecodeError(testing_support::ReadFile(twelveBit), false));
}

TEST_F(JpegRobustness, DamagedHeadersGiveTheirCodes) {
  const Bytes grey = Cjpeg("-grayscale");
  const Bytes colour = Cjpeg("");
  struct Case {
    const char* what;
    Bytes jpeg;
    int32_t code;
  };
  std::vector<Case> cases;
  // Three codes of length 1 overfill the code space.
  Bytes overfull = {0xFF, 0xC4, 0x00, 0x16, 0x00, 0x03};
  overfull.resize(overfull.size() + 15, 0);
  overfull.insert(overfull.end(), {1, 2, 3});
  cases.push_back({"overfull Huffman table", Inserted(grey, AfterSoi(), overfull), jpeg::kJpegHuffmanCodeSpace});
  Bytes full256 = {0xFF, 0xC4, 0x01, 0x12, 0x00};
  full256.resize(full256.size() + 16, 0);
  full256[5 + 8] = 255;
  full256[5 + 9] = 1;
  full256.resize(full256.size() + 256, 0);
  cases.push_back({"256 codes", Inserted(grey, AfterSoi(), full256), jpeg::kJpegHuffmanCodeSpace});
  // A DC table whose two codes both mean category 16.
  Bytes dcSixteen = {0xFF, 0xC4, 0x00, 0x15, 0x00, 0x02};
  dcSixteen.resize(dcSixteen.size() + 15, 0);
  dcSixteen.insert(dcSixteen.end(), {16, 16});
  cases.push_back({"DC category 16", Inserted(grey, Find(grey, 0xDA), dcSixteen), jpeg::kJpegBlockOverrun});
  for (uint8_t factors : {0x01, 0x10, 0x51, 0x15}) {
    Bytes jpeg = grey;
    jpeg[Find(jpeg, 0xC0) + 11] = factors;
    cases.push_back({"sampling factors", jpeg, jpeg::kJpegSampling});
  }
  {
    Bytes jpeg = colour;
    const size_t sos = Find(jpeg, 0xDA);
    jpeg[sos + 7] = jpeg[sos + 5];
    cases.push_back({"scan names a component twice", jpeg, jpeg::kJpegScanHeader});
    jpeg = colour;
    std::swap(jpeg[sos + 5], jpeg[sos + 7]);
    std::swap(jpeg[sos + 6], jpeg[sos + 8]);
    cases.push_back({"scan out of frame order", jpeg, jpeg::kJpegScanHeader});
    jpeg = colour;
    const size_t sof = Find(jpeg, 0xC0);
    jpeg[sof + 13] = jpeg[sof + 10];
    jpeg[sos + 7] = jpeg[sos + 5];
    cases.push_back({"two frame components with one id", jpeg, jpeg::kJpegScanHeader});
  }
  {
    Bytes jpeg = grey;
    jpeg[Find(jpeg, 0xC0) + 12] = 5;
    cases.push_back({"quantisation table number 5", jpeg, jpeg::kJpegMissingQuantTable});
    jpeg = grey;
    jpeg[Find(jpeg, 0xDA) + 6] = 0x90;
    cases.push_back({"DC table number 9", jpeg, jpeg::kJpegMissingHuffmanTable});
  }
  cases.push_back({"APP of length 1", Inserted(grey, AfterSoi(), {0xFF, 0xE1, 0x00, 0x01}), jpeg::kJpegSegmentLength});
  cases.push_back({"DRI of length 5", Inserted(grey, AfterSoi(), {0xFF, 0xDD, 0x00, 0x05, 0x00, 0x01, 0x00}),
                   jpeg::kJpegRestartLength});
  cases.push_back({"DAC", Inserted(grey, AfterSoi(), {0xFF, 0xCC, 0x00, 0x06, 0x00, 0x10, 0x01, 0x05}),
                   jpeg::kJpegArithmetic});
  cases.push_back({"SOI at offset 512", Inserted(grey, 0, Bytes(512, 0)), jpeg::kJpegNoStartOfImage});
  cases.push_back({"SOI at offset 511", Inserted(grey, 0, Bytes(511, 0)), 0});
  {
    Bytes jpeg = Cjpeg("-restart 1");
    for (size_t at : Markers(jpeg)) {
      if (jpeg[at + 1] == 0xD0) {
        jpeg[at + 1] = 0xD1;
        break;
      }
    }
    cases.push_back({"restart out of sequence", jpeg, jpeg::kJpegRestart});
  }
  for (const Case& c : cases) {
    for (bool fast : {true, false}) {
      EXPECT_EQ(c.code, jpeg_test::DecodeError(c.jpeg, fast)) << c.what << (fast ? " (fast)" : " (accurate)");
    }
  }
}

TEST_F(JpegRobustness, SequentialPictureInSeveralScansIsRefused) {
  testing_support::WriteFile(scratch_ / "scans", {'0', ';', '1', ';', '2', ';', '\n'});
  const Bytes jpeg = Cjpeg("-scans '" + (scratch_ / "scans").string() + "'");
  ASSERT_FALSE(jpeg.empty());
  ASSERT_NE(0u, Find(jpeg, 0xDA, 2));
  EXPECT_EQ(jpeg::kJpegNonInterleavedScan, jpeg_test::DecodeError(jpeg, true));
}

TEST_F(JpegRobustness, StrayRestartMarkersArePassedOver) {
  const Bytes baseline = Cjpeg("-quality 80");
  const Bytes strayAtEnd = Inserted(baseline, Find(baseline, 0xD9), {0xFF, 0xD3});
  EXPECT_EQ(0, jpeg_test::DecodeError(strayAtEnd, false));
  EXPECT_EQ(DecodeAccurate(baseline, 48, 32), DecodeAccurate(strayAtEnd, 48, 32));

  const Bytes progressive = Cjpeg("-quality 80 -progressive");
  const Bytes strayBetweenScans = Inserted(progressive, Find(progressive, 0xDA, 1), {0xFF, 0xD0, 0xFF, 0x01});
  EXPECT_EQ(0, jpeg_test::DecodeError(strayBetweenScans, false));
  EXPECT_EQ(DecodeAccurate(progressive, 48, 32), DecodeAccurate(strayBetweenScans, 48, 32));
}

TEST_F(JpegRobustness, ProgressivePictureOfMoreThan500ScansIsRefused) {
  const Bytes progressive = Cjpeg("-grayscale -progressive", 8, 8);
  const std::vector<size_t> markers = Markers(progressive);
  const int scans = static_cast<int>(
      std::count_if(markers.begin(), markers.end(), [&](size_t at) { return progressive[at + 1] == 0xDA; }));
  // Empty DC refinement scans up to 500 in all, then one more.
  const Bytes emptyScan = {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x00, 0x10};
  Bytes extra;
  for (int i = scans; i < 500; ++i) extra.insert(extra.end(), emptyScan.begin(), emptyScan.end());
  const Bytes fiveHundred = Inserted(progressive, Find(progressive, 0xD9), extra);
  EXPECT_EQ(0, jpeg_test::DecodeError(fiveHundred, true));
  const Bytes fiveHundredOne = Inserted(fiveHundred, Find(fiveHundred, 0xD9), emptyScan);
  EXPECT_EQ(jpeg::kJpegUnexpectedMarker, jpeg_test::DecodeError(fiveHundredOne, true));
}

TEST_F(JpegRobustness, CutAndMutatedPicturesEndCleanly) {
  std::vector<Bytes> pictures = {Cjpeg("-quality 80", 70, 50), Cjpeg("-quality 80 -progressive", 70, 50),
                                 Cjpeg("-quality 80 -restart 1 -sample 1x1", 70, 50),
                                 Cjpeg("-quality 80 -progressive -restart 3B -grayscale", 70, 50)};
  std::vector<uint8_t> out(70 * 50 * 4);
  CJpegImage fast(true), accurate(false);
  auto decode = [&](const Bytes& jpeg) {
    fast.DecodeToBgrx(jpeg.data(), static_cast<int32_t>(jpeg.size()), out.data(), static_cast<uint32_t>(out.size()), 70);
    accurate.DecodeToBgrx(jpeg.data(), static_cast<int32_t>(jpeg.size()), out.data(), static_cast<uint32_t>(out.size()),
                          70);
  };
  std::mt19937 random(19);
  for (const Bytes& picture : pictures) {
    ASSERT_FALSE(picture.empty());
    for (size_t part = 0; part < 64; ++part) decode(Bytes(picture.begin(), picture.begin() + static_cast<ptrdiff_t>(picture.size() * part / 64)));
    for (int round = 0; round < 750; ++round) {
      Bytes mutated = picture;
      const int changes = 1 + static_cast<int>(random() % 4);
      for (int i = 0; i < changes; ++i) mutated[random() % mutated.size()] = static_cast<uint8_t>(random());
      decode(mutated);
    }
  }
}

// One grey 8 × 8 block coded by hand: DC category 0, and AC codes 00 ZRL,
// 01 run 14 size 1, 10 EOB.
Bytes OneBlock(const Bytes& entropyData) {
  Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00};
  jpeg.insert(jpeg.end(), 64, 1);
  jpeg.insert(jpeg.end(), {0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x08, 0x00, 0x08, 0x01, 0x01, 0x11, 0x00});
  Bytes dc = {0xFF, 0xC4, 0x00, 0x14, 0x00, 0x01};
  dc.insert(dc.end(), 15, 0);
  dc.push_back(0x00);
  Bytes ac = {0xFF, 0xC4, 0x00, 0x16, 0x10, 0x00, 0x03};
  ac.insert(ac.end(), 14, 0);
  ac.insert(ac.end(), {0xF0, 0xE1, 0x00});
  jpeg.insert(jpeg.end(), dc.begin(), dc.end());
  jpeg.insert(jpeg.end(), ac.begin(), ac.end());
  jpeg.insert(jpeg.end(), {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00});
  jpeg.insert(jpeg.end(), entropyData.begin(), entropyData.end());
  jpeg.insert(jpeg.end(), {0xFF, 0xD9});
  return jpeg;
}

TEST(JpegBlocks, ZeroRunMayEndTheBlockButNotRunPastIt) {
  // DC 0; run 14 size 1 (value 1) to k = 16; ZRL to 32, 48 and 64.
  const Bytes endsAt64 = OneBlock({0x30, 0x3F});
  // DC 0; ZRL to 17, 33, 49, then one from 49.
  const Bytes runsPast = OneBlock({0x00, 0x7F});
  for (bool fast : {true, false}) {
    EXPECT_EQ(0, jpeg_test::DecodeError(endsAt64, fast));
    EXPECT_EQ(jpeg::kJpegBlockOverrun, jpeg_test::DecodeError(runsPast, fast));
  }
}

TEST_F(JpegRobustness, NothingToDecodeWritesNothing) {
  CJpegImage image;
  std::vector<uint8_t> out(16 * 16 * 4, 0xAB);
  const Bytes jpeg = Cjpeg("", 16, 16);
  EXPECT_EQ(0u, image.DecodeToBgrx(nullptr, 100, out.data(), static_cast<uint32_t>(out.size()), 16));
  EXPECT_EQ(0u, image.DecodeToBgrx(jpeg.data(), 0, out.data(), static_cast<uint32_t>(out.size()), 16));
  EXPECT_EQ(0u, image.DecodeToBgrx(jpeg.data(), -5, out.data(), static_cast<uint32_t>(out.size()), 16));
  const Bytes noStart(600, 0x12);
  EXPECT_EQ(0u, image.DecodeToBgrx(noStart.data(), 600, out.data(), static_cast<uint32_t>(out.size()), 16));
  EXPECT_EQ(std::vector<uint8_t>(out.size(), 0xAB), out);
  // A refused picture leaves the image ready for the next one.
  EXPECT_EQ(1u, image.DecodeToBgrx(jpeg.data(), static_cast<int32_t>(jpeg.size()), out.data(),
                                   static_cast<uint32_t>(out.size()), 16));
}

TEST(JpegMemoryStream, HandsOutWhatIsLeftThenReportsTheEnd) {
  const uint8_t data[5] = {1, 2, 3, 4, 5};
  CJpegMemoryStream stream;
  uint8_t buffer[8] = {};
  bool eof = false;
  EXPECT_EQ(-1, stream.Read(buffer, 4, &eof));
  stream.Reset(data, 5);
  EXPECT_EQ(3, stream.Read(buffer, 3, &eof));
  EXPECT_FALSE(eof);
  EXPECT_EQ(2, stream.Read(buffer, 8, &eof));
  EXPECT_TRUE(eof);
  EXPECT_EQ(4, buffer[0]);
  EXPECT_EQ(0, stream.Read(buffer, 8, &eof));
  stream.Reset(data, 5);
  EXPECT_EQ(5, stream.Read(buffer, 8, &eof));
}

}  // namespace
