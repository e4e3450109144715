#include "codecs/mpeg4/mp4_motion.h"

#include <algorithm>

namespace {
// The reference decoders' averages without rounding up take one from the
// sample of one side, saturating at 0, and then average with rounding up;
// that equals (a + b) >> 1 except where the decremented sample is 0.
int Dec(int v) { return v > 0 ? v - 1 : 0; }
}  // namespace

void Mp4PredictHalf(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src, ptrdiff_t srcStride, int w, int h,
                    int halfX, int halfY, int rounding) {
  for (int y = 0; y < h; ++y, dst += dstStride, src += srcStride) {
    const uint8_t* below = src + srcStride;
    if (!halfX && !halfY) {
      for (int x = 0; x < w; ++x) dst[x] = src[x];
    } else if (halfX && !halfY) {
      if (rounding) for (int x = 0; x < w; ++x) dst[x] = uint8_t((Dec(src[x]) + src[x + 1] + 1) >> 1);
      else for (int x = 0; x < w; ++x) dst[x] = uint8_t((src[x] + src[x + 1] + 1) >> 1);
    } else if (!halfX) {
      if (!rounding) for (int x = 0; x < w; ++x) dst[x] = uint8_t((src[x] + below[x] + 1) >> 1);
      else if (y & 1) for (int x = 0; x < w; ++x) dst[x] = uint8_t((Dec(src[x]) + below[x] + 1) >> 1);
      else for (int x = 0; x < w; ++x) dst[x] = uint8_t((src[x] + Dec(below[x]) + 1) >> 1);
    } else {
      for (int x = 0; x < w; ++x)
        dst[x] = uint8_t((src[x] + src[x + 1] + below[x] + below[x + 1] + 2 - rounding) >> 2);
    }
  }
}

int Mp4ChromaFromSum4(int sum) {
  static constexpr int kRound[16] = {0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2};
  if (sum >= 0) return (sum / 16) * 2 + kRound[sum % 16];
  return -((-sum / 16) * 2 + kRound[(-sum) % 16]);
}

namespace {

uint8_t Clip(int v) { return uint8_t(std::clamp(v, 0, 255)); }

// Half-sample value between s[i] and s[i + 1] of a line of n + 1 samples
// s[0..n] taken `step` apart, the taps beyond the line mirrored back into it.
int HalfTap(const int* s, int n, int i, int rounding) {
  auto at = [&](int k) { return s[k < 0 ? -1 - k : (k > n ? 2 * n + 1 - k : k)]; };
  const int sum = 160 * (at(i) + at(i + 1)) - 48 * (at(i - 1) + at(i + 2)) + 24 * (at(i - 2) + at(i + 3)) -
                  8 * (at(i - 3) + at(i + 4));
  return Clip((sum + 128 - rounding) >> 8);
}

// One line of a quarter-sample pass: n outputs from n + 1 inputs.
void FilterLine(const int* in, int* out, int n, int frac, int rounding) {
  for (int i = 0; i < n; ++i) {
    if (frac == 0) {
      out[i] = in[i];
      continue;
    }
    const int half = HalfTap(in, n, i, rounding);
    if (frac == 2) out[i] = half;
    else if (frac == 1) out[i] = (in[i] + half + 1 - rounding) >> 1;
    else out[i] = (half + in[i + 1] + 1 - rounding) >> 1;
  }
}

}  // namespace

void Mp4PredictQuarter(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src, ptrdiff_t srcStride, int w, int h,
                       int fracX, int fracY, int rounding) {
  // Horizontal pass over h + 1 rows, then the vertical pass down its columns.
  int rows[17][17];
  int line[17], filtered[17];
  for (int y = 0; y <= h; ++y) {
    const uint8_t* s = src + y * srcStride;
    for (int x = 0; x <= w; ++x) line[x] = s[x];
    FilterLine(line, rows[y], w, fracX, rounding);
  }
  for (int x = 0; x < w; ++x) {
    for (int y = 0; y <= h; ++y) line[y] = rows[y][x];
    FilterLine(line, filtered, h, fracY, rounding);
    for (int y = 0; y < h; ++y) dst[y * dstStride + x] = uint8_t(filtered[y]);
  }
}
