// Decoders share nothing: two threads decoding streams with different
// quantiser matrices get the pictures each gets alone.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/codecs/mpeg4/mp4_test_streams.h"
#include "tests/support/test_support.h"

namespace {

TEST(Mp4DecoderConcurrency, TwoDecodersWithDifferentMatricesInTwoThreads) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir dir("mp4_concurrency");
  std::string steep, flat;
  for (int i = 0; i < 64; ++i) {
    steep += (i ? "," : "") + std::to_string(8 + 3 * i);
    flat += (i ? "," : "") + std::string("16");
  }
  const auto a =
      EncodeMp4TestStream(dir / "a.m4v", 176, 144, 12,
                          "-c:v mpeg4 -mpeg_quant 1 -q:v 3 -intra_matrix " + steep + " -inter_matrix " + steep);
  const auto b =
      EncodeMp4TestStream(dir / "b.m4v", 176, 144, 12,
                          "-c:v mpeg4 -mpeg_quant 1 -q:v 3 -intra_matrix " + flat + " -inter_matrix " + flat, "negate");
  ASSERT_TRUE(a && b);
  const auto expectedA = PictureMd5s(DecodeMp4Units(a->units, 176, 144));
  const auto expectedB = PictureMd5s(DecodeMp4Units(b->units, 176, 144));
  ASSERT_EQ(expectedA, *FfmpegPictureMd5s(dir / "a.m4v"));
  ASSERT_EQ(expectedB, *FfmpegPictureMd5s(dir / "b.m4v"));

  std::vector<std::string> gotA, gotB;
  std::thread ta([&] {
    for (int round = 0; round < 4; ++round) gotA = PictureMd5s(DecodeMp4Units(a->units, 176, 144));
  });
  std::thread tb([&] {
    for (int round = 0; round < 4; ++round) gotB = PictureMd5s(DecodeMp4Units(b->units, 176, 144));
  });
  ta.join();
  tb.join();
  EXPECT_EQ(gotA, expectedA);
  EXPECT_EQ(gotB, expectedB);
}

}  // namespace
