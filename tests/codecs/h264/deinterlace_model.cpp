#include "tests/codecs/h264/deinterlace_model.h"

#include <cstdlib>

namespace avc_test {

DeinterlaceModel::DeinterlaceModel(int width, int height)
    : width_(width),
      height_(height),
      previous_(static_cast<size_t>(width) * height),
      counters_(static_cast<size_t>(width) * height / 2) {}

YuvFrame DeinterlaceModel::FramePicture(const YuvFrame& in) {
  const int w = width_, h = height_;
  for (int i = w; i < w + (h / 2 - 2) * w; i += 2) {
    if (counters_[i] < 3) {
      ++counters_[i];
      ++counters_[i + 1];
    }
  }
  previous_ = in.y;
  return in;
}

YuvFrame DeinterlaceModel::FieldPicture(const YuvFrame& in) {
  const int w = width_, h = height_;
  YuvFrame out = in;
  for (std::vector<uint8_t> YuvFrame::*plane : {&YuvFrame::cb, &YuvFrame::cr}) {
    for (int row = 0; row < h / 2; ++row) {
      for (int x = 0; x < w / 2; ++x) (out.*plane)[row * (w / 2) + x] = (in.*plane)[(row & ~1) * (w / 2) + x];
    }
  }
  auto at = [w](std::vector<uint8_t>& plane, int x, int row) -> uint8_t& { return plane[row * w + x]; };
  std::vector<uint8_t> source = in.y;
  for (int x = 0; x < w; ++x) {
    at(out.y, x, 1) = at(source, x, 0);
    at(out.y, x, h - 1) = at(source, x, h - 2);
  }
  auto d = [](int a, int b, int c) { return std::abs(a - c) + std::abs(a - b); };
  for (int k = 1; k <= h / 2 - 2; ++k) {
    const int top = 2 * k;
    auto S = [&](int i, int x) { return int{at(source, x, top + i)}; };
    auto P = [&](int i, int x) { return int{at(previous_, x, top + i)}; };
    auto pairs = [](auto line, int i, int x) { return line(i, x) + line(i, x + 1); };
    for (int x = 0; x < w; x += 2) {
      const bool flat = d(S(1, x), S(1, x + 1), S(3, x)) < 45 && d(S(0, x), S(0, x + 1), S(2, x)) < 45 &&
                        d(P(1, x), P(1, x + 1), P(3, x)) < 45 && d(P(0, x), P(0, x + 1), P(2, x)) < 45;
      const int t = flat ? 40 : 130;
      const int m13 = std::abs(pairs(S, 1, x) + pairs(S, 3, x) - pairs(P, 1, x) - pairs(P, 3, x));
      const int m02 = std::abs(pairs(S, 0, x) + pairs(S, 2, x) - pairs(P, 0, x) - pairs(P, 2, x));
      const bool still = m13 < t && m02 < t;
      uint8_t& first = at(counters_, x, k);
      uint8_t& second = at(counters_, x + 1, k);
      if (still && first >= 3) {
        for (int xp : {x, x + 1}) at(out.y, xp, top + 1) = static_cast<uint8_t>((S(1, xp) + P(1, xp) + 1) >> 1);
        continue;
      }
      if (still) {
        ++first;
        ++second;
      } else {
        first = second = 0;
      }
      for (int xp : {x, x + 1}) {
        if (xp == 0 || xp == w - 1) continue;  // replaced below
        const int v = std::abs(S(0, xp) - S(2, xp));
        const int b = std::abs(S(0, xp + 1) - S(2, xp - 1));
        const int a = std::abs(S(0, xp - 1) - S(2, xp + 1));
        int direction = 0, best = v;
        if (b < best) {
          direction = -1;
          best = b;
        }
        if (a < best) direction = 1;
        at(out.y, xp, top + 1) = static_cast<uint8_t>((S(0, xp - direction) + S(2, xp + direction) + 1) >> 1);
      }
    }
    for (int x : {0, 1, w - 2, w - 1}) at(out.y, x, top + 1) = at(source, x, top);
  }
  previous_ = in.y;
  return out;
}

}  // namespace avc_test
