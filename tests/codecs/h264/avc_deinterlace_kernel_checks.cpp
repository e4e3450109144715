// The deinterlacer's row slot: each SIMD kernel against the plain one on
// rows of every width class (shorter than a vector, whole vectors, vectors
// and a remainder), with random, extreme and near-threshold samples and
// counters over 0..255.  Every row is an allocation of exactly its width,
// so a sanitizer build catches a kernel reading outside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/codecs/h264/avc_kernel_checks.h"

namespace avc_kernel_checks {

namespace {

// Current lines (0-3) and previous lines (4-7) of one of five kinds.
void FillLines(std::vector<uint8_t> (&lines)[8], std::mt19937& random, int kind) {
  const int base = static_cast<int>(random() % 200);
  for (int i = 0; i < 8; ++i) {
    for (size_t x = 0; x < lines[i].size(); ++x) {
      uint8_t& s = lines[i][x];
      switch (kind) {
        case 0: s = static_cast<uint8_t>(random()); break;
        case 1: s = random() % 2 ? 255 : 0; break;
        case 2:  // gentle areas whose changes straddle both motion thresholds
          s = i < 4 ? static_cast<uint8_t>(base + static_cast<int>(random() % 24))
                    : static_cast<uint8_t>(std::clamp(lines[i - 4][x] + static_cast<int>(random() % 25) - 12, 0, 255));
          break;
        case 3: s = i < 4 ? static_cast<uint8_t>(random()) : lines[i - 4][x]; break;  // still
        default: s = i < 4 ? 255 : 0; break;
      }
    }
  }
}

void CompareRows(const avc::KernelSet& set, std::mt19937& random, int width, int kind) {
  const size_t w = static_cast<size_t>(width);
  std::vector<uint8_t> lines[8];
  for (auto& line : lines) line.resize(w);
  FillLines(lines, random, kind);
  std::vector<uint8_t> counters(w), out0(w), out1(w);
  for (uint8_t& c : counters) c = static_cast<uint8_t>(random() % 3 ? random() % 5 : random());
  for (uint8_t& s : out0) s = static_cast<uint8_t>(random());
  for (uint8_t& s : out1) s = static_cast<uint8_t>(random());
  std::vector<uint8_t> counters2 = counters, out0b = out0, out1b = out1;
  auto job = [&](std::vector<uint8_t>& c, std::vector<uint8_t>& d0, std::vector<uint8_t>& d1) {
    return avc::DeinterlaceRowJob{{lines[0].data(), lines[1].data(), lines[2].data(), lines[3].data()},
                                  {lines[4].data(), lines[5].data(), lines[6].data(), lines[7].data()},
                                  {d0.data(), d1.data()},
                                  c.data(),
                                  width};
  };
  avc::PlainKernels().deinterlace(job(counters, out0, out1));
  set.deinterlace(job(counters2, out0b, out1b));
  ASSERT_EQ(out1b, out1) << "width " << width << " kind " << kind;
  ASSERT_EQ(out0b, out0) << "width " << width << " kind " << kind;
  ASSERT_EQ(counters2, counters) << "width " << width << " kind " << kind;
}

}  // namespace

void CompareDeinterlace(const avc::KernelSet& set, std::mt19937& random) {
  for (int width = 2; width <= 80; width += 2) {
    for (int n = 0; n < 100; ++n) {
      CompareRows(set, random, width, n % 5);
      if (testing::Test::HasFatalFailure()) return;
    }
  }
  for (int width : {352, 720, 1920}) {
    for (int n = 0; n < 20; ++n) {
      CompareRows(set, random, width, n % 5);
      if (testing::Test::HasFatalFailure()) return;
    }
  }
}

}  // namespace avc_kernel_checks
