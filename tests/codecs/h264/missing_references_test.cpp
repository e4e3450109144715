// Pictures whose references were not decoded: a lost reference picture
// keeps its place in the lists as a gap frame, the pictures predicted from
// it, and from those in turn, are withheld until the next IDR picture, and
// every picture returned is FFmpeg's picture of the whole stream.
#include <gtest/gtest.h>

#include "codecs/h264/avc_decoder.h"
#include "codecs/h264/error_codes.h"
#include "tests/codecs/h264/avc_test_decoder.h"
#include "tests/codecs/h264/avc_test_support.h"
#include "tests/support/frame_md5s.h"
#include "tests/support/test_support.h"

namespace {

TEST(MissingReferences, PicturesPredictedFromALostReferenceAreWithheldUntilTheNextIdr) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir dir("h264_missing_reference");
  const auto file = dir / "p.264";
  // Three references, so that a list that lost its place would still name
  // decoded pictures.
  ASSERT_TRUE(avc_test::MakeInterStream(file, "testsrc2", 176, 144, 20, "ref=3:keyint=10:min-keyint=10:scenecut=0"));
  const auto expected = testing_support::FfmpegFrameMd5s(file);
  ASSERT_FALSE(expected.empty());
  ASSERT_EQ(expected.size(), 20u);
  const auto units = avc_test::SplitAccessUnits(testing_support::ReadFile(file));
  ASSERT_EQ(units.size(), 20u);
  constexpr size_t kLost = 3;
  for (const uint32_t flags : {0u, kAvcDecBumping}) {
    const avc_test::Decoder decoder = avc_test::CreateDecoder(11, 9, 4, flags);
    ASSERT_TRUE(decoder);
    for (size_t i = 0; i < units.size(); ++i) {
      if (i == kLost) continue;
      AvcDecPicture picture;
      const int32_t result = avc_test::DecodeUnit(decoder.get(), units[i], picture);
      if (i > kLost && i < 10) {
        EXPECT_EQ(result, kAvcDecNoPicture) << "picture " << i << " flags " << flags;
        EXPECT_EQ(AvcDecLastRefusal(decoder.get()), avc::kPictureWithheld) << "picture " << i;
        continue;
      }
      ASSERT_EQ(result, kAvcDecPicture) << "picture " << i << " flags " << flags;
      EXPECT_EQ(AvcDecLastRefusal(decoder.get()), 0u) << "picture " << i;
      EXPECT_EQ(avc_test::PictureMd5(picture), expected[i]) << "picture " << i << " flags " << flags;
    }
  }
}

}  // namespace
