// The best SIMD set's edge filters and intra predictors against the plain
// ones that define them, on the same picture in the same run.  The edges
// are walked as the deblocking driver walks them: per macroblock the four
// vertical luma edges and two chroma edges of each plane, then the
// horizontal ones, with an intra macroblock's strong outer edges now and
// then.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "bench/support/ratio.h"
#include "codecs/h264/kernel_set.h"
#include "codecs/h264/simd_kernel_sets.h"

namespace {

constexpr int kWidthMbs = 120, kHeightMbs = 68;
constexpr ptrdiff_t kLumaStride = kWidthMbs * 16, kChromaStride = kLumaStride / 2;

const avc::KernelSet* BestSimd() {
  const std::vector<avc::SimdKernelSet>& sets = avc::SimdKernelSets();
  return sets.empty() ? nullptr : sets.back().kernels;
}

// A smooth picture with noise: most edges pass the sample tests.
std::vector<uint8_t> Plane(size_t size, std::mt19937& random) {
  std::vector<uint8_t> plane(size);
  for (size_t i = 0; i < size; ++i) plane[i] = uint8_t(100 + (i / 7) % 50 + random() % 6);
  return plane;
}

void FilterPicture(const avc::KernelSet& k, uint8_t* luma, uint8_t* cb, uint8_t* cr) {
  for (int mby = 1; mby < kHeightMbs; ++mby) {
    for (int mbx = 1; mbx < kWidthMbs; ++mbx) {
      const bool intra = (mbx + mby) % 5 == 0;
      for (int dir = 0; dir < 2; ++dir) {
        const bool vertical = dir == 0;
        for (int edge = 0; edge < 4; ++edge) {
          avc::EdgeFilterArgs a{};
          a.alpha = 40;
          a.beta = 10;
          for (int i = 0; i < 4; ++i) {
            a.bS[i] = intra ? (edge == 0 ? 4 : 3) : uint8_t((edge + i) % 3);
            a.tc0[i] = a.bS[i] == 4 ? 0 : a.bS[i];
          }
          uint8_t* q = luma + mby * 16 * kLumaStride + mbx * 16;
          a.q0 = vertical ? q + edge * 4 : q + edge * 4 * kLumaStride;
          a.across = vertical ? 1 : kLumaStride;
          a.along = vertical ? kLumaStride : 1;
          k.lumaEdge(a);
          if (edge & 1) continue;
          for (uint8_t* plane : {cb, cr}) {
            uint8_t* c = plane + mby * 8 * kChromaStride + mbx * 8;
            a.q0 = vertical ? c + edge * 2 : c + edge * 2 * kChromaStride;
            a.across = vertical ? 1 : kChromaStride;
            a.along = vertical ? kChromaStride : 1;
            k.chromaEdge(a);
          }
        }
      }
    }
  }
}

void BM_AvcEdgeFiltersSimdVersusPlain(benchmark::State& state) {
  const avc::KernelSet* simd = BestSimd();
  if (!simd) {
    state.SkipWithError("no SIMD kernel set in this build");
    return;
  }
  // One picture per set, filtered again each round: the sets give the same
  // bytes, so both pictures change alike.
  struct Picture {
    std::vector<uint8_t> luma, cb, cr;
  };
  std::mt19937 random(1);
  Picture first{Plane(kLumaStride * kHeightMbs * 16, random), Plane(kChromaStride * kHeightMbs * 8, random),
                Plane(kChromaStride * kHeightMbs * 8, random)};
  Picture second = first;
  auto run = [](const avc::KernelSet& k, Picture& p) {
    FilterPicture(k, p.luma.data(), p.cb.data(), p.cr.data());
    benchmark::DoNotOptimize(p.luma.data());
  };
  bench_support::MeasureRatio(state, [&] { run(*simd, first); }, [&] { run(avc::PlainKernels(), second); });
}
BENCHMARK(BM_AvcEdgeFiltersSimdVersusPlain)->UseManualTime()->Unit(benchmark::kMillisecond);

// Every mode of the three tables in turn over a picture's worth of blocks.
void BM_AvcIntraPredictorsSimdVersusPlain(benchmark::State& state) {
  const avc::KernelSet* simd = BestSimd();
  if (!simd) {
    state.SkipWithError("no SIMD kernel set in this build");
    return;
  }
  std::mt19937 random(2);
  std::vector<avc::IntraEdge> edges(64);
  for (avc::IntraEdge& e : edges) {
    e.corner = uint8_t(random());
    for (auto& p : e.top) p = uint8_t(random());
    for (auto& p : e.left) p = uint8_t(random());
    e.hasTop = e.hasLeft = e.hasCorner = true;
  }
  std::vector<uint8_t> picture(kLumaStride * 16);
  auto run = [&](const avc::KernelSet& k) {
    for (int mb = 0; mb < kWidthMbs * kHeightMbs; ++mb) {
      const avc::IntraEdge& e = edges[size_t(mb) % edges.size()];
      uint8_t* at = picture.data() + (mb % kWidthMbs) * 16;
      for (int block = 0; block < 16; ++block) {
        k.intra4x4[(mb + block) % 9](at + (block >> 2) * 4 * kLumaStride + (block & 3) * 4, kLumaStride, e);
      }
      k.intra16x16[mb % 4](at, kLumaStride, e);
      k.intraChroma[mb % 4](at, kLumaStride, e);
      k.intraChroma[(mb + 1) % 4](at + 8, kLumaStride, e);
    }
    benchmark::DoNotOptimize(picture.data());
  };
  bench_support::MeasureRatio(state, [&] { run(*simd); }, [&] { run(avc::PlainKernels()); });
}
BENCHMARK(BM_AvcIntraPredictorsSimdVersusPlain)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
