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

// One line of a quarter-sample pass: n outputs from the n + 1 samples
// s[0], s[step], ..., s[n * step]; taps beyond the line are mirrored back
// into it (the sample beyond the edge repeats the edge sample, the next
// one the sample inside it, and so on).  The taps (-8, 24, -48, 160) / 256
// are applied as (-1, 3, -6, 20) / 32, which rounds identically.
void QuarterLine(const uint8_t* s, ptrdiff_t step, int n, int frac, int rounding, uint8_t* out, ptrdiff_t outStep) {
  if (frac == 0) {
    for (int i = 0; i < n; ++i) out[i * outStep] = s[i * step];
    return;
  }
  int e[16 + 1 + 6];
  int* v = e + 3;
  for (int k = 0; k <= n; ++k) v[k] = s[k * step];
  v[-1] = v[0], v[-2] = v[1], v[-3] = v[2];
  v[n + 1] = v[n], v[n + 2] = v[n - 1], v[n + 3] = v[n - 2];
  for (int i = 0; i < n; ++i) {
    const int* p = v + i;
    const int sum = 20 * (p[0] + p[1]) - 6 * (p[-1] + p[2]) + 3 * (p[-2] + p[3]) - (p[-3] + p[4]);
    const int half = std::clamp((sum + 16 - rounding) >> 5, 0, 255);
    int value = half;
    if (frac == 1) value = (p[0] + half + 1 - rounding) >> 1;
    else if (frac == 3) value = (half + p[1] + 1 - rounding) >> 1;
    out[i * outStep] = uint8_t(value);
  }
}

}  // namespace

void Mp4PredictQuarter(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src, ptrdiff_t srcStride, int w, int h,
                       int fracX, int fracY, int rounding) {
  // Horizontal pass over the rows the vertical pass needs, then the
  // vertical pass down the columns of its result.
  uint8_t rows[17 * 16];
  const int needed = fracY ? h + 1 : h;
  for (int y = 0; y < needed; ++y) QuarterLine(src + y * srcStride, 1, w, fracX, rounding, rows + y * 16, 1);
  for (int x = 0; x < w; ++x) QuarterLine(rows + x, 16, h, fracY, rounding, dst + x, dstStride);
}
