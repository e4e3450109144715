// The decoder's entry points: create rules, results, what it refuses, and
// hostile input (truncated, corrupt and mutated streams) that must neither
// crash nor read outside its buffers.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

#include "codecs/h264/avc_decoder.h"
#include "codecs/h264/error_codes.h"
#include "tests/codecs/h264/avc_test_decoder.h"
#include "tests/codecs/h264/avc_test_support.h"
#include "tests/support/test_support.h"

namespace {

using avc_test::Decoder;

// Stamps each unit with user values the returned picture must carry.
int32_t Decode(AvcDecContext* decoder, const std::vector<uint8_t>& bytes, AvcDecPicture& picture) {
  return AvcDecDecode(decoder, bytes.data(), static_cast<int32_t>(bytes.size()), 7, 9, &picture, nullptr);
}

class DecoderApi : public testing::Test {
 protected:
  void SetUp() override {
    if (!testing_support::HaveProgram("ffmpeg")) GTEST_SKIP() << "program absent: ffmpeg";
    ASSERT_TRUE(avc_test::MakeIntraStream(dir_ / "qcif.264", 176, 144, 3, "slices=3"));
    units_ = avc_test::SplitAccessUnits(testing_support::ReadFile(dir_ / "qcif.264"));
    ASSERT_EQ(units_.size(), 3u);
  }
  testing_support::ScratchDir dir_{"h264_api"};
  std::vector<std::vector<uint8_t>> units_;
};

TEST(DecoderCreate, AppliesTheSizeRulesAndRefusesNullParameters) {
  EXPECT_EQ(AvcDecCreate(nullptr), nullptr);
  EXPECT_GE(DetectCpuLevel(), 2);
  EXPECT_NE(avc_test::CreateDecoder(1, 5, 0).get(), nullptr);
  EXPECT_NE(avc_test::CreateDecoder(129, 129, 17).get(), nullptr);
}

TEST(DecoderDecode, ChecksItsArguments) {
  Decoder decoder = avc_test::CreateDecoder(11, 9);
  AvcDecPicture picture;
  picture.y = reinterpret_cast<uint8_t*>(&picture);
  const uint8_t byte = 0;
  EXPECT_EQ(AvcDecDecode(nullptr, &byte, 1, 0, 0, &picture, nullptr), kAvcDecBadArgument);
  EXPECT_EQ(AvcDecDecode(decoder.get(), &byte, 1, 0, 0, nullptr, nullptr), kAvcDecBadArgument);
  EXPECT_EQ(AvcDecDecode(decoder.get(), &byte, 0, 0, 0, &picture, nullptr), kAvcDecNoPicture);
  EXPECT_EQ(picture.y, nullptr);
  EXPECT_EQ(AvcDecDecode(decoder.get(), nullptr, 5, 0, 0, &picture, nullptr), kAvcDecNoPicture);
}

TEST_F(DecoderApi, ReturnsEachPictureWithItsValues) {
  // A created width of 1 macroblock means 45: a 176-wide stream fits.
  Decoder decoder = avc_test::CreateDecoder(1, 5);
  for (size_t i = 0; i < units_.size(); ++i) {
    AvcDecPicture picture;
    ASSERT_EQ(Decode(decoder.get(), units_[i], picture), kAvcDecPicture);
    EXPECT_EQ(picture.width, 176);
    EXPECT_EQ(picture.height, 144);
    EXPECT_EQ(picture.lumaStride, 176);
    EXPECT_EQ(picture.chromaStride, 88);
    EXPECT_EQ(picture.incomplete, 0);
    EXPECT_EQ(picture.idr, 1);
    EXPECT_EQ(picture.user1, 7u);
    EXPECT_EQ(picture.user2, 9u);
  }
}

TEST_F(DecoderApi, ParameterSetsAloneGiveNoPictureAndTwoPicturesGiveTheSecond) {
  Decoder decoder = avc_test::CreateDecoder(11, 9);
  AvcDecPicture picture;
  // The first unit up to its first slice: parameter sets (and SEI) only.
  const std::vector<uint8_t>& first = units_[0];
  size_t sliceAt = 0;
  for (size_t i = 0; i + 4 < first.size(); ++i) {
    if (first[i] == 0 && first[i + 1] == 0 && first[i + 2] == 1 && (first[i + 3] & 31) == 5) {
      sliceAt = i;
      break;
    }
  }
  ASSERT_GT(sliceAt, 0u);
  EXPECT_EQ(Decode(decoder.get(), std::vector<uint8_t>(first.begin(), first.begin() + sliceAt), picture),
            kAvcDecNoPicture);
  std::vector<uint8_t> two = units_[1];
  two.insert(two.end(), units_[2].begin(), units_[2].end());
  ASSERT_EQ(Decode(decoder.get(), first, picture), kAvcDecPicture);
  ASSERT_EQ(Decode(decoder.get(), two, picture), kAvcDecPicture);
  EXPECT_EQ(avc_test::PictureMd5(picture), [&] {
    Decoder other = avc_test::CreateDecoder(11, 9);
    AvcDecPicture third;
    for (const auto& unit : units_) Decode(other.get(), unit, third);
    return avc_test::PictureMd5(third);
  }());
}

TEST_F(DecoderApi, APictureSplitOverTwoCallsIsReturnedIncompleteOnce) {
  Decoder decoder = avc_test::CreateDecoder(11, 9);
  const std::vector<uint8_t>& unit = units_[0];
  // Cut before the last slice.
  size_t lastSlice = 0;
  for (size_t i = 0; i + 4 < unit.size(); ++i) {
    if (unit[i] == 0 && unit[i + 1] == 0 && unit[i + 2] == 1 && (unit[i + 3] & 31) == 5) lastSlice = i;
  }
  AvcDecPicture picture;
  ASSERT_EQ(Decode(decoder.get(), std::vector<uint8_t>(unit.begin(), unit.begin() + lastSlice), picture),
            kAvcDecPicture);
  EXPECT_EQ(picture.incomplete, 1);
  EXPECT_EQ(Decode(decoder.get(), std::vector<uint8_t>(unit.begin() + lastSlice, unit.end()), picture),
            kAvcDecNoPicture);
}

TEST_F(DecoderApi, PicturesCarryTheLastUserDataMessage) {
  Decoder decoder = avc_test::CreateDecoder(11, 9);
  AvcDecPicture picture;
  ASSERT_EQ(Decode(decoder.get(), units_[0], picture), kAvcDecPicture);
  EXPECT_EQ(picture.userData, nullptr);
  std::vector<uint8_t> withMessage = {0x00, 0x00, 0x00, 0x01, 0x06, 0xF0, 0x01, 0x41, 0x80};
  withMessage.insert(withMessage.end(), units_[1].begin(), units_[1].end());
  ASSERT_EQ(Decode(decoder.get(), withMessage, picture), kAvcDecPicture);
  ASSERT_NE(picture.userData, nullptr);
  EXPECT_EQ(picture.userData[0], 0x41);
  ASSERT_EQ(Decode(decoder.get(), units_[2], picture), kAvcDecPicture);
  EXPECT_NE(picture.userData, nullptr);  // kept for every later picture
}

TEST_F(DecoderApi, RefusesStreamsLargerThanCreated) {
  Decoder decoder = avc_test::CreateDecoder(10, 9);
  AvcDecPicture picture;
  for (const auto& unit : units_) EXPECT_EQ(Decode(decoder.get(), unit, picture), kAvcDecNoPicture);
}

// Each call's refusal names the first unit it abandoned: in the first
// access unit the parameter set that could not be taken.
TEST(DecoderRefusals, CabacTenBitAndHighStreamsGiveNoPicture) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir dir("h264_refused");
  struct Case {
    const char* name;
    const char* args;
    uint32_t firstRefusal;
  };
  const Case cases[] = {
      {"cabac", "-c:v libx264 -profile:v main -x264-params keyint=1", avc::kPpsCabac},
      {"high10", "-pix_fmt yuv420p10le -c:v libx264 -profile:v high10 -x264-params keyint=1:cabac=0",
       avc::kSpsProfileNotSupported},
      {"high", "-c:v libx264 -profile:v high -x264-params keyint=1:cabac=0", avc::kSpsProfileNotSupported},
  };
  for (const Case& c : cases) {
    const auto file = dir / (std::string(c.name) + ".264");
    ASSERT_EQ(testing_support::Run("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=176x144:rate=25 "
                                   "-frames:v 2 " + std::string(c.args) + " -f h264 '" + file.string() + "'"),
              0)
        << c.name;
    Decoder decoder = avc_test::CreateDecoder(11, 9);
    bool first = true;
    for (const auto& unit : avc_test::SplitAccessUnits(testing_support::ReadFile(file))) {
      AvcDecPicture picture;
      EXPECT_EQ(Decode(decoder.get(), unit, picture), kAvcDecNoPicture) << c.name;
      if (first) {
        EXPECT_EQ(AvcDecLastRefusal(decoder.get()), c.firstRefusal) << c.name;
      }
      EXPECT_TRUE(avc::IsRefusal(AvcDecLastRefusal(decoder.get()))) << c.name;
      first = false;
    }
  }
}

// B access units are refused one by one; the I and P pictures around them
// are returned with no refusal.
TEST(DecoderRefusals, EachBAccessUnitIsRefusedAsABSlice) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir dir("h264_refused_b");
  const auto file = dir / "b.264";
  ASSERT_EQ(testing_support::Run("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=176x144:rate=25 "
                                 "-frames:v 9 -c:v libx264 -profile:v main -coder 0 -bf 3 -x264-params "
                                 "b-adapt=0:b-pyramid=none -f h264 '" + file.string() + "'"),
            0);
  const auto expected = avc_test::FfmpegPicturesInDecodingOrder(file);
  ASSERT_TRUE(expected);
  const auto units = avc_test::SplitAccessUnits(testing_support::ReadFile(file));
  ASSERT_EQ(units.size(), expected->size());
  Decoder decoder = avc_test::CreateDecoder(11, 9);
  for (size_t i = 0; i < units.size(); ++i) {
    AvcDecPicture picture;
    const bool b = (*expected)[i].type == 'B';
    EXPECT_EQ(Decode(decoder.get(), units[i], picture), b ? kAvcDecNoPicture : kAvcDecPicture) << i;
    EXPECT_EQ(AvcDecLastRefusal(decoder.get()), b ? avc::kSliceB : 0u) << i;
  }
  EXPECT_EQ(AvcDecLastRefusal(nullptr), 0u);
}

TEST(DecoderRefusals, EveryCodeHasItsOwnText) {
  const uint32_t codes[] = {
      avc::kNalTypeNotHandled, avc::kSliceBeforeParameters, avc::kSpsIdRange, avc::kSpsFrameNumRange,
      avc::kSpsRefFramesRange, avc::kSpsPocTypeRange, avc::kSpsPocCycleRange, avc::kSpsCropTooLarge,
      avc::kSpsProfileNotSupported, avc::kSpsPocLsbRange, avc::kSpsRefFramesAboveCreate, avc::kSpsMbaff,
      avc::kSpsSizeRange, avc::kSpsTruncated, avc::kPpsIdRange, avc::kPpsSpsMissing, avc::kPpsInitQpRange,
      avc::kPpsInitQsRange, avc::kPpsChromaOffsetRange, avc::kPpsRefIdxL0Range, avc::kPpsRefIdxL1Range,
      avc::kPpsTruncated, avc::kPpsSliceGroups, avc::kPpsCabac, avc::kSliceTypeRange, avc::kSlicePpsMissing,
      avc::kSliceIdrFrameNum, avc::kSliceRefList, avc::kSlicePictureSetUp, avc::kSliceRefIdxRange,
      avc::kSliceQpRange, avc::kSliceWeightDenomRange, avc::kSliceWeightRange, avc::kSliceDeblockIdcRange,
      avc::kSliceDeblockOffsetRange, avc::kSliceReorderingRange, avc::kSliceMarkingRange, avc::kSliceTruncated,
      avc::kSliceSwitching, avc::kSliceB, avc::kSliceRedundant, avc::kPictureWithheld, avc::kSliceDataError};
  std::set<std::string> texts;
  for (const uint32_t code : codes) {
    const std::string text = avc::DescribeRefusal(code);
    EXPECT_FALSE(text.empty()) << std::hex << code;
    EXPECT_TRUE(texts.insert(text).second) << std::hex << code << ": " << text;
  }
  EXPECT_STREQ(avc::DescribeRefusal(avc::kSliceB), "B slice: not decoded");
  EXPECT_STREQ(avc::DescribeRefusal(avc::kPpsCabac), "CABAC: not decoded");
  // A slice data error carries the macroblock's error bits.
  EXPECT_STREQ(avc::DescribeRefusal(avc::kSliceDataError + 0x120), avc::DescribeRefusal(avc::kSliceDataError));
  EXPECT_STREQ(avc::DescribeRefusal(0), "");
  EXPECT_STREQ(avc::DescribeRefusal(0x2000001c), "");
}

// Every prefix, a spread of single-byte corruptions and random mutations:
// the decoder must stay inside its buffers (checked under ASan+UBSan) and
// keep returning well-formed results.
TEST_F(DecoderApi, SurvivesTruncatedCorruptAndMutatedInput) {
  Decoder decoder = avc_test::CreateDecoder(11, 9);
  AvcDecPicture picture;
  const std::vector<uint8_t>& unit = units_[0];
  for (size_t n = 0; n <= unit.size(); n += 7) {
    const int32_t result = Decode(decoder.get(), std::vector<uint8_t>(unit.begin(), unit.begin() + n), picture);
    EXPECT_TRUE(result == kAvcDecPicture || result == kAvcDecNoPicture);
  }
  std::mt19937 random(20261210);
  for (int round = 0; round < 600; ++round) {
    std::vector<uint8_t> bytes = units_[round % units_.size()];
    const int flips = 1 + static_cast<int>(random() % 8);
    for (int f = 0; f < flips; ++f) {
      const size_t at = random() % bytes.size();
      switch (random() % 3) {
        case 0: bytes[at] ^= static_cast<uint8_t>(1u << (random() % 8)); break;
        case 1: bytes[at] = static_cast<uint8_t>(random()); break;
        default: bytes.resize(at + 1); break;
      }
    }
    const int32_t result = Decode(decoder.get(), bytes, picture);
    ASSERT_TRUE(result == kAvcDecPicture || result == kAvcDecNoPicture);
    if (result == kAvcDecPicture) {
      EXPECT_LE(picture.width, 45 * 16);
      EXPECT_FALSE(avc_test::PictureMd5(picture).empty());
    }
  }
  std::vector<uint8_t> garbage(5000);
  for (uint8_t& b : garbage) b = static_cast<uint8_t>(random());
  const int32_t garbageResult = Decode(decoder.get(), garbage, picture);
  EXPECT_TRUE(garbageResult == kAvcDecPicture || garbageResult == kAvcDecNoPicture);
  // After all that, a clean stream decodes as before.
  Decoder fresh = avc_test::CreateDecoder(11, 9);
  AvcDecPicture expected;
  ASSERT_EQ(Decode(fresh.get(), units_[0], expected), kAvcDecPicture);
  ASSERT_EQ(Decode(decoder.get(), units_[0], picture), kAvcDecPicture);
  EXPECT_EQ(avc_test::PictureMd5(picture), avc_test::PictureMd5(expected));
}

TEST_F(DecoderApi, RepeatedIdrPicturesNeverExhaustTheStore) {
  // Decoding without bumping and with one reference frame, many times over.
  Decoder decoder = avc_test::CreateDecoder(11, 9, 1, 0);
  AvcDecPicture picture;
  for (int i = 0; i < 200; ++i) ASSERT_EQ(Decode(decoder.get(), units_[i % 3], picture), kAvcDecPicture) << i;
  Decoder bumping = avc_test::CreateDecoder(11, 9, 1);
  for (int i = 0; i < 200; ++i) ASSERT_EQ(Decode(bumping.get(), units_[i % 3], picture), kAvcDecPicture) << i;
}

}  // namespace

namespace {

// The I_PCM conformance stream, mutated: PCM samples are read straight from
// the unit, so a unit cut inside them must be refused, not read past.
TEST(DecoderHostileInput, MutatedPcmPicturesStayInsideTheirUnits) {
  ORLENTA_REQUIRE_TESTDATA(stream, "h264/CVPCMNL1_SVA_C.264");
  const auto units = avc_test::SplitAccessUnits(testing_support::ReadFile(stream));
  ASSERT_FALSE(units.empty());
  Decoder decoder = avc_test::CreateDecoder(22, 18);
  std::mt19937 random(7);
  AvcDecPicture picture;
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> bytes = units[random() % std::min<size_t>(units.size(), 4)];
    if (round % 2) {
      bytes.resize(1 + random() % bytes.size());
    } else {
      for (int f = 0; f < 4; ++f) bytes[random() % bytes.size()] ^= static_cast<uint8_t>(1u << (random() % 8));
    }
    const int32_t result = Decode(decoder.get(), bytes, picture);
    ASSERT_TRUE(result == kAvcDecPicture || result == kAvcDecNoPicture);
  }
}

}  // namespace
