// The decoder's inverse DCT against libavcodec's "xvid" IDCT (the x86-64
// SSE2 one the reference decodes use), bit for bit, over random blocks of
// every kind the stream can produce and of the full 16-bit range.
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/avdct.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
}

#include <cstring>
#include <random>

#include "codecs/mpeg4/mp4_idct.h"

namespace {

TEST(Mp4Idct, EqualsLibavcodecXvidIdctOnAMillionBlocks) {
  AVDCT* dct = avcodec_dct_alloc();
  ASSERT_NE(dct, nullptr);
  ASSERT_GE(av_opt_set_int(dct, "idct", FF_IDCT_XVID, 0), 0);
  ASSERT_GE(avcodec_dct_init(dct), 0);
  ASSERT_NE(dct->idct, nullptr);

  std::mt19937 random(18);
  auto coefficient = [&](int kind, int i) -> int16_t {
    switch (kind) {
      case 0: return random() % 8 == 0 ? int16_t(int(random() % 4096) - 2048) : 0;  // sparse, dequantised range
      case 1: return int16_t(int(random() % 512) - 256);                           // dense, small
      case 2: return (i < 8 || i % 8 == 0) ? int16_t(int(random() % 4096) - 2048) : 0;  // first row and column
      case 3: return i == 0 ? int16_t(int(random() % 4096) - 2048) : 0;            // DC only
      default: return int16_t(random());                                            // full 16-bit range
    }
  };
  long mismatches = 0;
  for (int n = 0; n < 1000000; ++n) {
    alignas(16) int16_t ours[64], theirs[64];
    const int kind = n % 5;
    for (int i = 0; i < 64; ++i) ours[i] = coefficient(kind, i);
    for (int i = 0; i < 64; ++i) theirs[dct->idct_permutation[i]] = ours[i];
    dct->idct(theirs);
    Mp4Idct(ours);
    if (std::memcmp(ours, theirs, sizeof ours) != 0 && ++mismatches < 4) ADD_FAILURE() << "block " << n;
  }
  EXPECT_EQ(mismatches, 0);
  av_free(dct);
}

}  // namespace
