#include "tools/vyxdecode/decode_arguments.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::optional<DecodeArguments> Parse(std::vector<const char*> words, std::string* error = nullptr) {
  words.insert(words.begin(), "vyxdecode");
  std::string message;
  auto parsed = ParseDecodeArguments(static_cast<int>(words.size()), words.data(), message);
  if (error) *error = message;
  return parsed;
}

TEST(VyxdecodeArguments, ValuesFollowTheOptionOrItsEqualsSign) {
  for (const auto& words : {std::vector<const char*>{"a.vyx", "--threads", "3", "--planes"},
                            std::vector<const char*>{"--threads=3", "--planes", "a.vyx"}}) {
    const auto parsed = Parse(words);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->archive, "a.vyx");
    EXPECT_TRUE(parsed->planes);
    EXPECT_EQ(parsed->options.h264Threads, 3);
  }
  const auto jpeg = Parse({"--accurate", "a.vyx", "--ppm", "out"});
  ASSERT_TRUE(jpeg);
  EXPECT_TRUE(jpeg->options.jpegAccurate);
  EXPECT_EQ(jpeg->ppmDirectory, "out");
  const auto defaults = Parse({"a.vyx"});
  ASSERT_TRUE(defaults);
  EXPECT_FALSE(defaults->planes);
  EXPECT_FALSE(defaults->options.jpegAccurate);
  EXPECT_TRUE(defaults->ppmDirectory.empty());
  EXPECT_EQ(defaults->options.h264Threads, VideoDecodeOptions{}.h264Threads);
  EXPECT_FALSE(defaults->options.ownH264);
  const auto own = Parse({"--decoder=qx264", "a.vyx"});
  ASSERT_TRUE(own);
  EXPECT_TRUE(own->options.ownH264);
  const auto ffmpeg = Parse({"a.vyx", "--decoder", "ffmpeg"});
  ASSERT_TRUE(ffmpeg);
  EXPECT_FALSE(ffmpeg->options.ownH264);
  EXPECT_FALSE(own->options.ownH264Deinterlace);
  const auto deinterlaced = Parse({"--deinterlace", "a.vyx", "--decoder=qx264"});
  ASSERT_TRUE(deinterlaced);
  EXPECT_TRUE(deinterlaced->options.ownH264Deinterlace);
  EXPECT_EQ(ffmpeg->kernels, DecodeArguments::Kernels::kProcessor);
  const auto plain = Parse({"--kernels=plain", "a.vyx", "--decoder=qx264"});
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->kernels, DecodeArguments::Kernels::kPlain);
  const auto simd = Parse({"--decoder=qx264", "a.vyx", "--kernels", "simd"});
  ASSERT_TRUE(simd);
  EXPECT_EQ(simd->kernels, DecodeArguments::Kernels::kSimd);
  // The kernel choice holds for every decoder, FFmpeg's front included.
  const auto plainAlone = Parse({"a.vyx", "--kernels=plain"});
  ASSERT_TRUE(plainAlone);
  EXPECT_EQ(plainAlone->kernels, DecodeArguments::Kernels::kPlain);
  const auto simdWithFfmpeg = Parse({"a.vyx", "--decoder=ffmpeg", "--kernels=simd"});
  ASSERT_TRUE(simdWithFfmpeg);
  EXPECT_EQ(simdWithFfmpeg->kernels, DecodeArguments::Kernels::kSimd);
}

TEST(VyxdecodeArguments, RefusesWhatItDoesNotKnow) {
  struct Case {
    std::vector<const char*> words;
    const char* error;
  };
  const Case cases[] = {
      {{}, "no archive given"},
      {{"a.vyx", "b.vyx"}, "unexpected argument 'b.vyx'"},
      {{"a.vyx", "--threads"}, "--threads wants a value"},
      {{"a.vyx", "--threads=17"}, "--threads wants 0..16, got '17'"},
      {{"a.vyx", "--threads", "x"}, "--threads wants 0..16, got 'x'"},
      {{"a.vyx", "--threads="}, "--threads wants 0..16, got ''"},
      {{"a.vyx", "--planes=1"}, "unknown option --planes=1"},
      {{"a.vyx", "--ppm"}, "--ppm wants a value"},
      {{"a.vyx", "--ppm="}, "--ppm wants a directory"},
      {{"a.vyx", "--md5"}, "unknown option --md5"},
      {{"a.vyx", "-p"}, "unexpected argument '-p'"},
      {{"a.vyx", "--decoder=x264"}, "--decoder wants ffmpeg or qx264, got 'x264'"},
      {{"a.vyx", "--deinterlace"}, "--deinterlace needs --decoder=qx264"},
      {{"a.vyx", "--deinterlace", "--decoder=ffmpeg"}, "--deinterlace needs --decoder=qx264"},
      {{"a.vyx", "--decoder=qx264", "--kernels=sse2"}, "--kernels wants plain or simd, got 'sse2'"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(Parse(c.words, &error));
    EXPECT_EQ(error, c.error);
  }
}

}  // namespace
